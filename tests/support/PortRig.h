#pragma once
// The main window logic over one port on an in-memory line of simulated modules, with the
// fake clock installed and the port's page shown (the port node selected, the line open).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/Clock.h"
#include "comm/prNode.h"
#include "shell/MainUnit.h"
#include "shell/PortUnit.h"
#include "sim/SimBackend.h"
#include "sim/SimBus.h"

// The fake clock, telling the test of every pause before it is taken.
class TWatchedClock : public TFakeClock {
 public:
  void Sleep(int ms) override {
    if (OnSleep) OnSleep(ms);
    TFakeClock::Sleep(ms);
  }
  std::function<void(int)> OnSleep;
};

class TPortRig {
 public:
  TPortRig() : Guard(&Fake), Form(Line) {
    Form.EnumPorts = [](std::vector<std::string>& list) { list = {"/dev/ttyUSB0"}; };
  }

  // Builds the tree and selects the port node; false when its page is no port page.
  bool Start() {
    if (!Form.FormShowFirst()) return false;
    PortNode = Form.Root()->Children.at(0).get();
    Form.Select(PortNode);
    Page = dynamic_cast<TPortForm*>(PortNode->Data->Page);
    return Page && Sim->IsOpen();
  }

  // The bus address of every frame written since frame `from`, in order.
  std::vector<int> ProbedAddresses(size_t from = 0) const {
    std::vector<int> probed;
    for (size_t i = from; i < Sim->Frames.size(); ++i) probed.push_back(Sim->Frames[i].at(0));
    return probed;
  }

  TWatchedClock Fake;
  TClockGuard Guard;
  std::shared_ptr<TSimBus> Bus = std::make_shared<TSimBus>();
  std::unique_ptr<TSimBackend> Backend = std::make_unique<TSimBackend>(Bus);
  TSimBackend* Sim = Backend.get();
  TComPort Line{std::move(Backend)};
  TMainForm Form;
  TTreeNode* PortNode = nullptr;
  TPortForm* Page = nullptr;
};

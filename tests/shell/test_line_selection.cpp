// The main window logic with the module pages over two ports of simulated modules: the line
// carries the settings of the selected node's port, comes back after the adapter does, and a
// port that cannot be opened reports its open error and nothing else.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comm/CPort.h"
#include "comm/Clock.h"
#include "comm/prPort.h"
#include "pages/ModuleForm.h"
#include "shell/MainUnit.h"
#include "shell/PortUnit.h"
#include "sim/SimBackend.h"
#include "sim/SimBus.h"
#include "support/RecordingUi.h"

namespace {

// Port A at 9600 without parity, port B at 115200 with even parity; each has KAPPA-01 modules
// that hear only their own port's settings, so a read at the other port's settings fails.
class TwoPortRig : public ::testing::Test {
 protected:
  TwoPortRig() : Guard(&Fake), Form(Line) {
    Form.EnumPorts = [](std::vector<std::string>& list) { list = {"/dev/ttyA", "/dev/ttyB"}; };
    Sim->SetBus("/dev/ttyA", BusA);
    Sim->SetBus("/dev/ttyB", BusB);
    AddModule(*BusA, 5, 6, 0);
    AddModule(*BusA, 7, 6, 0);
    AddModule(*BusB, 6, 10, 2);
    EXPECT_TRUE(Form.FormShowFirst());
    PortA = Form.Root()->Children.at(0).get();
    PortB = Form.Root()->Children.at(1).get();
    Port(PortA)->SetBaudRate(9600);
    Port(PortB)->SetBaudRate(115200);
    Port(PortB)->SetParity(TLineParity::Even);
    ModuleA = Form.AddDevice(PortA, 1, 5);
    ModuleA2 = Form.AddDevice(PortA, 1, 7);
    ModuleB = Form.AddDevice(PortB, 1, 6);
  }

  static void AddModule(TSimBus& bus, uint8_t address, uint32_t baudCode, uint32_t parityCode) {
    TSimModule& m = bus.AddModel(1, address);
    m.SetInt("NETBDRT", baudCode);
    m.SetInt("MDBFMT", parityCode);
    m.StrictLine = true;
  }

  static TprPort* Port(TTreeNode* node) { return static_cast<TprPort*>(node->Data); }
  static TTreeNode* PortNodeOf(TTreeNode* node) { return node->Level() == 1 ? node : node->Parent; }
  static TModuleForm* ModulePage(TTreeNode* node) {
    return dynamic_cast<TModuleForm*>(node->Data->Page);
  }

  // Selects the node; true when every read of the page's cycle since then was answered.
  bool SelectAndRead(TTreeNode* node) {
    const size_t from = Sim->Reads.size();
    Form.Select(node);
    bool answered = Sim->Reads.size() > from;
    for (size_t i = from; i < Sim->Reads.size(); ++i) answered = answered && !Sim->Reads[i].empty();
    return answered;
  }

  // The page timer's next tick, when it falls due on the fake clock.
  void Tick(TModuleForm* page) {
    if (Fake.Now < page->MainTimer.DueAtMs()) Fake.Now = page->MainTimer.DueAtMs();
    page->MainTimer.Tick();
  }

  TFakeClock Fake;
  TClockGuard Guard;
  TRecordingUi Ui;
  std::shared_ptr<TSimBus> BusA = std::make_shared<TSimBus>();
  std::shared_ptr<TSimBus> BusB = std::make_shared<TSimBus>();
  std::unique_ptr<TSimBackend> Backend = std::make_unique<TSimBackend>();
  TSimBackend* Sim = Backend.get();
  TComPort Line{std::move(Backend)};
  TMainForm Form;
  TTreeNode* PortA = nullptr;
  TTreeNode* PortB = nullptr;
  TTreeNode* ModuleA = nullptr;
  TTreeNode* ModuleA2 = nullptr;
  TTreeNode* ModuleB = nullptr;
};

using LineFollowsSelection = TwoPortRig;

// Every move between two nodes ends with the line open on the new node's port, at that port's
// settings, whatever page was released on the way (a port page pushes its settings when it
// is hidden).
TEST_F(LineFollowsSelection, EveryPairOfNodesEndsWithTheSelectedPortsSettings) {
  TTreeNode* nodes[] = {PortA, PortB, ModuleA, ModuleB};
  const char* names[] = {"port A", "port B", "module A", "module B"};
  for (int from = 0; from < 4; ++from)
    for (int to = 0; to < 4; ++to) {
      if (from == to) continue;
      SCOPED_TRACE(std::string(names[from]) + " -> " + names[to]);
      Form.Select(Form.Root());
      Form.Select(nodes[from]);
      const bool answered = SelectAndRead(nodes[to]);
      TprPort* port = Port(PortNodeOf(nodes[to]));
      ASSERT_TRUE(Sim->IsOpen());
      EXPECT_EQ(Sim->OpenPort(), port->PortName());
      EXPECT_EQ(BaudRateValue(Sim->Line.BaudRate), port->BaudRate());
      EXPECT_EQ(Sim->Line.Parity.Bits, port->Parity() == TLineParity::Even ? prEven : prNone);
      // A fresh line returns from a read at once; the port's automatic time-outs wait.
      EXPECT_GT(Sim->Timeouts.ReadTotalConstant, 0);
      if (nodes[to]->Level() == 2) {
        EXPECT_TRUE(answered);
      }
      // The settings shown on a port page are its own port's.
      if (auto* page = dynamic_cast<TPortForm*>(nodes[to]->Data->Page)) {
        EXPECT_EQ(page->cbBaud->ItemIndex(), BaudRateIndex(port->BaudRate()));
      }
    }
  // Neither port's settings were changed by the moves.
  EXPECT_EQ(Port(PortA)->BaudRate(), 9600);
  EXPECT_EQ(Port(PortB)->BaudRate(), 115200);
  EXPECT_EQ(Port(PortB)->Parity(), TLineParity::Even);
}

using StoppedPollingAdapterBack = TwoPortRig;

// An adapter unplugged mid-poll stops the page with its line error; once it is back, choosing
// any node of that port opens the line again and polling resumes, the tree's selection and
// the page shown agreeing at every step.
TEST_F(StoppedPollingAdapterBack, SelectingANodeOfThePortAgainResumesPolling) {
  ASSERT_TRUE(SelectAndRead(ModuleA));
  TModuleForm* page = ModulePage(ModuleA);
  ASSERT_NE(page, nullptr);
  Sim->Unplugged = true;
  EXPECT_THROW(Tick(page), EComPort);
  EXPECT_FALSE(page->MainTimer.Enabled());

  // Still unplugged: the other module of the port is selected and shows its page, with the
  // open error to report and no cycle run on the closed line.
  const size_t frames = Sim->Frames.size();
  try {
    Form.Select(ModuleA2);
    ADD_FAILURE() << "no open error";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_OpenFailed);
  }
  EXPECT_EQ(Form.Selected(), ModuleA2);
  ASSERT_NE(ModulePage(ModuleA2), nullptr);
  EXPECT_EQ(ModuleA->Data->Page, nullptr);
  EXPECT_EQ(Sim->Frames.size(), frames);

  // Back again: the first module of the port polls as before, and so does the second.
  Sim->Unplugged = false;
  EXPECT_TRUE(SelectAndRead(ModuleA));
  EXPECT_TRUE(ModulePage(ModuleA)->MainTimer.Enabled());
  EXPECT_TRUE(SelectAndRead(ModuleA2));
  EXPECT_EQ(Form.Selected(), ModuleA2);

  // An adapter that is back before the next selection: only the close of the old line fails,
  // and the selection still moves and opens the line.
  Sim->Unplugged = true;
  EXPECT_THROW(Tick(ModulePage(ModuleA2)), EComPort);
  Sim->Unplugged = false;
  EXPECT_NO_THROW(Form.Select(PortA));
  EXPECT_EQ(Form.Selected(), PortA);
  EXPECT_NE(PortA->Data->Page, nullptr);
  EXPECT_TRUE(Sim->IsOpen());
  EXPECT_TRUE(SelectAndRead(ModuleA));
}

using OpenFailure = TwoPortRig;

// A port in use: the selection moves, the page is shown, the error reported is the open error,
// once, and nothing is sent on the closed line, neither by the page's cycle nor by its timer.
TEST_F(OpenFailure, TheOpenErrorIsTheOneErrorAndNoCycleRuns) {
  Sim->BusyPorts = {"/dev/ttyA"};
  const size_t frames = Sim->Frames.size();
  int errors = 0;
  try {
    Form.Select(ModuleA);
  } catch (const EComPort& e) {
    ++errors;
    EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 16)");
  }
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(Form.Selected(), ModuleA);
  TModuleForm* page = ModulePage(ModuleA);
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(page->MainTimer.Enabled());
  EXPECT_EQ(Sim->Frames.size(), frames);

  // The port page's search on the closed line tries the open again and reports that.
  EXPECT_THROW(Form.Select(PortA), EComPort);
  auto* portPage = dynamic_cast<TPortForm*>(PortA->Data->Page);
  ASSERT_NE(portPage, nullptr);
  try {
    portPage->bbSearchClick();
    ADD_FAILURE() << "no open error";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_OpenFailed);
  }
  EXPECT_EQ(Sim->Frames.size(), frames);
  // The modules of the port are still there: the search did not start.
  EXPECT_EQ(PortA->Children.size(), 2u);

  // Free again: the next selection opens the port and the page polls.
  Sim->BusyPorts.clear();
  EXPECT_TRUE(SelectAndRead(ModuleA2));
}

}  // namespace

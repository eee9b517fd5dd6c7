#pragma once
// A module page against one simulated module: fake clock, in-memory line, port node, device
// object from CreateDevice and the page from its class name, with the frames on the line
// decoded back to register names for the checks.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "comm/CPort.h"
#include "comm/Clock.h"
#include "comm/Resources.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
#include "shell/UiServices.h"
#include "sim/SimBackend.h"
#include "sim/SimBus.h"

class TUiRecorder : public TUiServices {
 public:
  TUiRecorder() : Previous(SetUi(this)) {}
  ~TUiRecorder() override { SetUi(Previous); }
  void Beep() override { ++Beeps; }
  void MessageBox(const std::string& text, const std::string&, TMsgIcon) override {
    ++Dialogs;
    MessageTexts.push_back(text);
  }
  void ShowError(const std::string&) override { ++Dialogs; }
  TCursorKind Cursor() override { return TCursorKind::Default; }
  void SetCursor(TCursorKind) override {}
  // A modal dialog: OnModal plays the user while it is open.
  TModalResult ShowModal(TModalDialog& dialog) override {
    ++Modals;
    return OnModal ? OnModal(dialog) : TModalResult::None;
  }
  int Beeps = 0;
  int Dialogs = 0;
  int Modals = 0;
  std::vector<std::string> MessageTexts;
  std::function<TModalResult(TModalDialog&)> OnModal;

 private:
  TUiServices* Previous;
};

// One request seen on the line (Modbus).
struct TSeenFrame {
  uint8_t Address;
  bool Write;
  std::string Register;
  std::string Value;  // a one-word write in decimal, a single-precision one with "%g"
};

class TPageRig {
 public:
  explicit TPageRig(int modelIndex, uint8_t address = 5) {
    Module = &Bus->AddModel(modelIndex, address);
    Module->RandomInputs = false;
    Module->MovingInputs = false;
    auto backend = std::make_unique<TSimBackend>(Bus);
    Sim = backend.get();
    Line = std::make_unique<TComPort>(std::move(backend));
    Line->SetPort("/dev/ttyUSB0");
    Port.SetComPort(Line.get());
    Port.SetProtocol(ptModbus);
    Port.ApplySettings();
    Line->Open();
    Device.reset(CreateDevice(modelIndex, address, &Port));
    Model = dynamic_cast<TprModel*>(Device.get());
    TprForm* page = CreatePage(Device->PageClass, Device.get());
    Device->Page = page;
    Page = dynamic_cast<TModuleForm*>(page);
  }

  // Moves the port, with its device and page, onto another line (a gateway's connection);
  // the frames are no longer recorded there.
  void UseLine(std::unique_ptr<TComPort> line, const std::string& portName) {
    Line->Close();
    Port.SetComPort(line.get());
    Port.SetPortName(portName);
    Port.ApplySettings();
    line->Open();
    Line = std::move(line);
    Sim = nullptr;
  }

  // Runs the next n timer ticks, each when it falls due on the fake clock.
  void Ticks(int n = 1) {
    for (int i = 0; i < n && Page->MainTimer.Enabled(); ++i) {
      if (Clock.Now < Page->MainTimer.DueAtMs()) Clock.Now = Page->MainTimer.DueAtMs();
      Page->MainTimer.Tick();
    }
  }
  void ShowTab(int index) {
    Page->pcMain->UserSelectTab(index);
    Ticks();
  }

  std::string NameAt(uint16_t modbusAddress) const {
    for (const TRegisterDef& def : Model->Map())
      if (def.ModbusAddress == modbusAddress) return def.Name;
    return "?";
  }
  std::vector<TSeenFrame> Seen(size_t from = 0) const {
    std::vector<TSeenFrame> out;
    for (size_t i = from; i < Sim->Frames.size(); ++i) {
      const auto& f = Sim->Frames[i];
      if (f.size() < 8) continue;
      TSeenFrame s{f[0], f[1] == 0x10, NameAt(uint16_t(f[2] << 8 | f[3])), {}};
      if (s.Write && f.size() >= 11 && f[6] == 2) s.Value = std::to_string(f[7] << 8 | f[8]);
      if (s.Write && f.size() >= 13 && f[6] == 4) s.Value = SingleText(&f[7]);
      out.push_back(s);
    }
    return out;
  }
  // A single-precision value as Modbus carries it: the low word first, each word high byte
  // first.
  static std::string SingleText(const uint8_t* words) {
    const uint32_t bits = uint32_t(words[2]) << 24 | uint32_t(words[3]) << 16 |
                          uint32_t(words[0]) << 8 | words[1];
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
  }
  std::vector<std::string> Reads(size_t from = 0) const {
    std::vector<std::string> names;
    for (const auto& s : Seen(from))
      if (!s.Write) names.push_back(s.Register);
    return names;
  }
  std::vector<std::pair<std::string, std::string>> Writes(size_t from = 0) const {
    std::vector<std::pair<std::string, std::string>> w;
    for (const auto& s : Seen(from))
      if (s.Write) w.emplace_back(s.Register, s.Value);
    return w;
  }
  // The page's control of the name; a misspelt name fails the test instead of crashing it.
  template <class T>
  T& Get(const std::string& name) const {
    T* control = Page->Controls.FindAs<T>(name);
    if (!control) throw std::logic_error("no control " + name);
    return *control;
  }
  // The shortest and the longest read time-out of the model's registers on the port's
  // protocol at the line's time-outs.
  std::pair<int, int> ReadTimeoutRange() const {
    const TComTimeouts& t = Line->Timeouts();
    int lo = INT32_MAX, hi = 0;
    for (const TRegisterDef& def : Model->Map()) {
      const TprDevReg* reg = Model->FindRegister(def.Name);
      const int length =
          Port.Protocol() == ptVela ? reg->VelaRead.ReplyLength : reg->ModbusRead.ReplyLength;
      const int ms = t.ReadTotalMultiplier * length + t.ReadTotalConstant;
      lo = std::min(lo, ms);
      hi = std::max(hi, ms);
    }
    return {lo, hi};
  }
  // The value controls of a tab that show anything but their failure display ("Н/Д", grayed,
  // no selection).
  std::vector<std::string> LiveLooking(int tab) const {
    std::vector<std::string> live;
    const TContainer* sheet = Page->pcMain->Sheets().at(size_t(tab));
    for (const auto& c : Page->Controls.Controls()) {
      const TControl* p = c->Parent();
      while (p && p != sheet) p = p->Parent();
      if (!p) continue;
      bool failed = true;
      if (auto* e = dynamic_cast<const TEdit*>(c.get())) failed = e->Text() == ResStr("Н/Д");
      if (auto* b = dynamic_cast<const TCheckBox*>(c.get())) failed = b->State() == TCheckState::Grayed;
      if (auto* l = dynamic_cast<const TComboBox*>(c.get())) failed = l->ItemIndex() == -1;
      if (!failed) live.push_back(c->Name());
    }
    return live;
  }
  size_t Mark() const { return Sim->Frames.size(); }
  void Silence() { Module->Fault = TSimFault{TSimFaultKind::Silence, 0, -1}; }
  void Speak() { Module->Fault = TSimFault{}; }

  TFakeClock Clock;
  TClockGuard Guard{&Clock};
  TUiRecorder Ui;
  std::shared_ptr<TSimBus> Bus = std::make_shared<TSimBus>();
  TSimModule* Module = nullptr;
  TSimBackend* Sim = nullptr;
  std::unique_ptr<TComPort> Line;
  TprPort Port;
  std::unique_ptr<TprNode> Device;
  TprModel* Model = nullptr;
  TModuleForm* Page = nullptr;
};

#include "pages/ModuleForm.h"

#include "comm/Codecs.h"
#include "comm/LineOps.h"
#include "comm/Resources.h"
#include "comm/SerialById.h"
#include "comm/prPort.h"
#include "models/ValueRules.h"
#include "shell/UiServices.h"

namespace {
constexpr char kEnter = 13;
constexpr char kEscape = 27;

}  // namespace

TModuleForm::TModuleForm(TprNode* owner, bool analog)
    : TprForm(owner), Analog(analog), Module(dynamic_cast<TprModel*>(owner)) {
  pcMain = Controls.Add<TPageControl>("pcMain", &Controls.Root());
  pcMain->OnChange = [this](TPageControl&) { pcMainChange(); };
  Controls.Root().Layout.AddGrid().Row({ControlCell(pcMain)});
  MainTimer.Interval = 100;
  MainTimer.OnTimer = [this] { MainTimerTimer(); };
  ReconnectTimer.Interval = 1000;
  ReconnectTimer.OnTimer = [this] { ReconnectTimerTimer(); };
  BuildCommonTab();
  BuildNetworkTab();
  AfterEveryCycle([this] { ShowLateNotice(); });
}

TModuleForm::~TModuleForm() {
  MainTimer.OnViewUpdate = nullptr;
  ReconnectTimer.OnViewUpdate = nullptr;
}

TContainer* TModuleForm::AddTab(const std::string& name, const std::string& caption,
                                TRefreshStep refresh) {
  TContainer* sheet = pcMain->AddSheet(name, caption);
  RefreshSteps.push_back(std::move(refresh));
  return sheet;
}

// ---- life cycle and polling

std::string TModuleForm::ModuleCaption() const {
  const TprNode* node = OwnerNode();
  if (!node || !Module) return lbCaption;
  return ResStr(node->NameText) + " - " + ResStr(node->KindText) + ResStr(" (адрес: ") +
         std::to_string(Module->Address) + ")";
}

void TModuleForm::SetCaption() {
  lbCaption = ModuleCaption();
  Changed();
}

void TModuleForm::ShowLateNotice() {
  const int late = SeenLateMs;
  std::string notice;
  if (late > 0) {
    notice = ResStr("Модуль отвечает с опозданием: %d мс; увеличьте таймаут порта");
    const size_t at = notice.find("%d");
    if (at != std::string::npos) notice.replace(at, 2, std::to_string(late));
  }
  if (notice == lbNotice) return;
  lbNotice = notice;
  Changed();
}

void TModuleForm::FormShow() {
  TprForm::FormShow();
  // Work of an earlier showing ends where it waits.
  Shown = std::make_shared<char>();
  InCycle = false;
  ReconnectTimer.SetEnabled(false);
  lbNotice.clear();
  if (const TprPort* port = Module ? Module->Port() : nullptr) LineById = SerialByIdName(port->PortName());
  SetCaption();
  pcMain->SetTabIndex(0);
  MainTimerTimer();
}

void TModuleForm::FormHide() {
  MainTimer.SetEnabled(false);
  ReconnectTimer.SetEnabled(false);
  // The cycle ends with the exchange in flight; nothing it read reaches the page.
  Shown.reset();
  InCycle = false;
}

void TModuleForm::RunTask(TTask<> task) {
  StartTask(std::move(task), ShownToken(), [](std::exception_ptr e) { ShowError(e); });
}

void TModuleForm::MainTimerTimer() {
  // Off while the cycle runs, so cycles never overlap and the next one starts one interval
  // after this one ends. An error escaping the cycle leaves the timer off: it is reported once
  // instead of on every tick.
  MainTimer.SetEnabled(false);
  if (InCycle) return;
  RunTask(Cycle());
}

TTask<> TModuleForm::Cycle() {
  InCycle = true;
  TprPort* port = Module ? Module->Port() : nullptr;
  // No cycle on a line that is not open (the port could not be opened when the node was
  // selected, and that error was shown): every read would only fail with another error. The
  // next selection opens the line again. Asked of the line, behind its queued work.
  auto ask = OnLine(LineOf(port), [port] { return port && port->ComPort && port->ComPort->Connected(); });
  const bool open = co_await ask;
  if (!open) {
    InCycle = false;
    ShowPollingStopped();
    co_return;
  }
  try {
    const int tab = pcMain->TabIndex();
    if (tab >= 0 && tab < static_cast<int>(RefreshSteps.size()) && RefreshSteps[tab])
      co_await RefreshSteps[tab]();
    // How late the module answers, as the port's guard has seen it: its state belongs to the
    // line, so it is read there, after the cycle's reads.
    auto lateness = OnLine(LineOf(port), [port, address = uint8_t(Module->Address)] {
      return port->LateReplyMs(address);
    });
    SeenLateMs = co_await lateness;
    for (const auto& step : CycleSteps) step();
  } catch (const EComPort&) {
    // Polling stops here, so nothing the page shows is read any more: it must not look live.
    InCycle = false;
    ShowPollingStopped();
    LineLost();
    throw;
  } catch (...) {
    InCycle = false;
    ShowPollingStopped();
    throw;
  }
  InCycle = false;
  if (!DialogOpen) MainTimer.SetEnabled(true);
}

void TModuleForm::LineLost() {
  const TprPort* port = Module ? Module->Port() : nullptr;
  if (!port) return;
  std::string notice = ResStr("Нет связи с портом %s, повторное подключение…");
  if (const size_t at = notice.find("%s"); at != std::string::npos) notice.replace(at, 2, port->PortName());
  lbNotice = notice;
  ReconnectTimer.SetEnabled(true);
  Changed();
}

void TModuleForm::ReconnectTimerTimer() {
  ReconnectTimer.SetEnabled(false);
  RunTask(Reconnect());
}

TTask<> TModuleForm::Reconnect() {
  TprPort* port = Module ? Module->Port() : nullptr;
  if (!port) co_return;
  auto reopen = OnLine(LineOf(port), [port, byId = LineById] { return ReopenLine(*port, byId); });
  const bool back = co_await reopen;
  if (!back) {
    ReconnectTimer.SetEnabled(true);
    co_return;
  }
  lbNotice.clear();
  Changed();
  MainTimerTimer();
}

void TModuleForm::ShowPollingStopped() {
  for (const auto& control : Controls.Controls()) {
    if (auto* field = dynamic_cast<TEdit*>(control.get())) field->SetText(NoValueText());
    if (auto* box = dynamic_cast<TCheckBox*>(control.get())) box->SetState(TCheckState::Grayed);
    if (auto* list = dynamic_cast<TComboBox*>(control.get())) list->SetItemIndex(-1);
  }
}

TModalResult TModuleForm::ShowModuleDialog(TModalDialog& dialog) {
  struct TResume {
    TModuleForm& Page;
    ~TResume() {
      Page.DialogOpen = false;
      // A cycle still waiting for the line turns the timer on itself when it ends.
      if (!Page.InCycle) Page.MainTimer.SetEnabled(true);
    }
  } resume{*this};
  MainTimer.SetEnabled(false);
  DialogOpen = true;
  return Ui().ShowModal(dialog);
}

void TModuleForm::pcMainChange() { pcMain->SetFocus(); }

void TModuleForm::cbCloseUp(TComboBox& list) { list.ReleaseFocus(); }

void TModuleForm::edExit(TEdit& field) { field.SetColor(TTextColor::Normal); }

// ---- register access

TTask<bool> TModuleForm::Read(TprDevReg* reg) {
  return ReadOnLine(Module ? Module->Port() : nullptr, reg);
}

TTask<bool> TModuleForm::Write(TprDevReg* reg, std::string text) {
  return WriteOnLine(Module ? Module->Port() : nullptr, reg, std::move(text));
}

TprDevReg* TModuleForm::ChannelRegister(const std::string& prefix, int tag) const {
  return Register(prefix + std::to_string(tag + 1));
}

// ---- display rules

void TModuleForm::ShowText(TEdit& field, bool ok, const std::string& text, bool evenFocused) {
  if (!ok)
    field.SetText(NoValueText());
  else if (evenFocused || !field.Focused())
    field.SetText(text);
}

void TModuleForm::ShowComputed(TEdit& field, bool ok, bool converted, const std::string& text,
                               bool evenFocused) {
  if (!ok)
    field.SetText(NoValueText());
  else if (!converted)
    field.SetText(BadValueText());
  else if (evenFocused || !field.Focused())
    field.SetText(text);
}

void TModuleForm::ShowBit(TCheckBox& box, bool ok, const TprDevReg& reg, int bit) {
  int32_t value = 0;
  if (!ok || !reg.IntegerValue(value))
    box.SetState(TCheckState::Grayed);
  else if (!box.Focused())
    box.SetChecked((static_cast<uint32_t>(value) >> bit) & 1u);
}

void TModuleForm::ShowIndex(TComboBox& list, bool ok, int index) {
  if (!ok)
    list.SetItemIndex(-1);
  else if (!list.Focused() && !list.DroppedDown())
    list.SetItemIndex(index);
}

// ---- edit rules

void TModuleForm::RejectEntry(TEdit& field) {
  field.SetColor(TTextColor::Red);
  Ui().Beep();
}

bool TModuleForm::AcceptNumber(TEdit& field, int64_t lo, int64_t hi, int32_t& value) {
  int64_t number = 0;
  if (CheckInteger(field.Text(), lo, hi, number) == TValueFault::None) {
    value = int32_t(number);
    return true;
  }
  // The user sees only the red text and the beep, never why.
  RejectEntry(field);
  return false;
}

void TModuleForm::CheckedEntry(TEdit& field, TprDevReg* reg) {
  // A text the register does not take is rejected, never changed into one it does (a
  // character the modules' code page cannot hold is not replaced): red text and the beep.
  if (reg && reg->Def && CheckValue(*reg->Def, field.Text()))
    WriteEntry(field, reg);
  else
    RejectEntry(field);
}

bool TModuleForm::Commits(TEdit& field, char key) {
  if (key == kEscape) field.ReleaseFocus();
  return key == kEnter;
}

TTask<> TModuleForm::WriteThenRelease(TControl& control, TprDevReg* reg, std::string text) {
  auto write = Write(reg, std::move(text));
  co_await write;
  control.ReleaseFocus();
}

void TModuleForm::WriteEntry(TEdit& field, TprDevReg* reg) {
  // Written as typed; the result is not shown, the next refresh shows the module's value.
  RunTask(WriteThenRelease(field, reg, field.Text()));
}

TTask<> TModuleForm::NumberWrite(TEdit& field, TprDevReg* reg, std::string text, int32_t value,
                                 std::function<void(bool, int32_t)> written) {
  auto write = Write(reg, std::move(text));
  const bool ok = co_await write;
  if (written) written(ok, value);
  field.ReleaseFocus();
}

void TModuleForm::NumberEntry(TEdit& field, char key, TprDevReg* reg, int64_t lo, int64_t hi,
                              std::function<void(bool, int32_t)> written) {
  if (!Commits(field, key)) return;
  int32_t value = 0;
  if (!AcceptNumber(field, lo, hi, value)) return;
  RunTask(NumberWrite(field, reg, field.Text(), value, std::move(written)));
}

void TModuleForm::SingleEntry(TEdit& field, char key, TprDevReg* reg) {
  if (Commits(field, key)) CheckedEntry(field, reg);
}

void TModuleForm::TextEntry(TEdit& field, char key, TprDevReg* reg) {
  if (Commits(field, key)) CheckedEntry(field, reg);
}

void TModuleForm::Command(TControl& control, TprDevReg* reg, const std::string& text) {
  RunTask(WriteThenRelease(control, reg, text));
}

void TModuleForm::ValueListChange(TComboBox& list, TprDevReg* reg, const std::string& text) {
  RunTask(WriteThenRelease(list, reg, text));
}

namespace {
// The value last read (or last written) of a register, false when there is none.
bool LastValue(const TprDevReg* reg, uint32_t& value) {
  int32_t v = 0;
  if (!reg || !reg->IntegerValue(v)) return false;
  value = static_cast<uint32_t>(v);
  return true;
}
}  // namespace

// Writes a value derived from the one last read; on success it becomes the value last read,
// so that a second change before the next refresh builds on it.
void TModuleForm::WriteDerived(TControl& control, TprDevReg* reg, uint32_t value) {
  RunTask(DerivedWrite(control, reg, std::to_string(static_cast<int32_t>(value))));
}

TTask<> TModuleForm::DerivedWrite(TControl& control, TprDevReg* reg, std::string text) {
  auto write = Write(reg, text);
  const bool ok = co_await write;
  if (ok) reg->SetValue(text);
  control.ReleaseFocus();
}

void TModuleForm::BitToggle(TCheckBox& box, TprDevReg* reg, int bit) {
  // A state set by a refresh never reaches here with the focus, so only the user's click writes.
  uint32_t value = 0;
  if (!box.Focused() || !LastValue(reg, value)) return;
  // From the value last read, not from the box's own state.
  WriteDerived(box, reg, value ^ (1u << (bit < 0 ? box.Tag : bit)));
}

void TModuleForm::BitChoice(TComboBox& list, TprDevReg* reg, int bit) {
  uint32_t value = 0;
  if (!LastValue(reg, value)) return;
  const uint32_t mask = 1u << (bit < 0 ? list.Tag : bit);
  WriteDerived(list, reg, list.ItemIndex() == 0 ? (value & ~mask) : (value | mask));
}

void TModuleForm::BitFieldChoice(TComboBox& list, TprDevReg* reg, int lo, int width) {
  uint32_t value = 0;
  if (list.ItemIndex() < 0 || !LastValue(reg, value)) return;
  const uint32_t mask = ((1u << width) - 1u) << lo;
  WriteDerived(list, reg, (value & ~mask) | ((static_cast<uint32_t>(list.ItemIndex()) << lo) & mask));
}

void TModuleForm::FlagClick(TCheckBox& box, TprDevReg* reg, int32_t value) {
  // Only a user's click (the box has the focus) on a register read before writes; the value
  // last read is left as it is, the next refresh reads the module's.
  if (!box.Focused() || !reg || reg->ValueText.empty()) return;
  RunTask(WriteThenRelease(box, reg, box.Checked() ? std::to_string(value) : "0"));
}

// ---- binding helpers

void TModuleForm::BindField(TEdit* field, std::function<void(TEdit&, char)> keyPress) {
  field->OnKeyPress = std::move(keyPress);
  field->OnExit = [this](TEdit& f) { edExit(f); };
}

void TModuleForm::BindList(TComboBox* list, std::function<void(TComboBox&)> change) {
  list->OnChange = std::move(change);
  list->OnCloseUp = [this](TComboBox& l) { cbCloseUp(l); };
}

void TModuleForm::BindBox(TCheckBox* box, std::function<void(TCheckBox&)> click) {
  if (click)
    box->OnClick = std::move(click);
  else
    box->SetEnabled(false);  // display only: never takes the focus
}

void TModuleForm::BindButton(TButton* button, std::function<void(TButton&)> click) {
  button->OnClick = std::move(click);
}

// ---- "Общие"

void TModuleForm::BuildCommonTab() {
  using namespace rows;
  const auto selfDiag = [](const std::string& text, std::string& shown) {
    int32_t value = 0;
    if (!TryStrToInt(text, value)) return false;
    shown = SelfDiagText(value);
    return true;
  };
  tsCommon = AddRowsTab(
      "tsCommon", "Общие",
      TRowsTable({
           {"Время во включенном состоянии:",
            {Number("edDays", "DAYS").Store(&edDays), Label("суток,")}},
           // The time of day goes under the days: a twelve-hour time ("12:58:58 PM") would not
           // fit after them at the window's minimum size.
           {"",
            {Label(""),
             Field("edTime").Chars(8).Fits(TimeOfDayTexts()).Span(2).Accessible("время").Store(&edTime).OnKey(
                 [this](TEdit& f, char k) { edTimeKeyPress(f, k); })}},
           {"Имя модуля:", {Text("edName", "MNAME").Chars(16).Span(3).Store(&edName)}},
           {"Версия ПО:", {Show("edVersion", "MVERSION").EvenFocused(Analog).Store(&edVersion)}},
           {"Таймаут сторожевого таймера:",
            {Number("edWD", "NETWDT").Store(&edWD), Label("Х 0,1 с.", 2)}},
           {"Статус сторожевого таймера:",
            {BitShow("chbWDStatus", "NWDTSTATUS").Bit(0).Store(&chbWDStatus),
             CommandButton("bbWDStatusReset", "NWDTSTATUS").Writes("0").Hint("Сброс статуса").Store(&bbWDStatusReset)}},
           {"Статус рестарта:",
            {BitShow("chbRestartStatus", "RSTSTATUS").Bit(0).Store(&chbRestartStatus),
             CommandButton("bbRestartStatusReset", "RSTSTATUS").Writes("0").Hint("Сброс статуса").Store(&bbRestartStatusReset)}},
           {"Статус самодиагностики:",
            {Computed("edSelfDiag", "SLFDGNS", selfDiag).Chars(17).Span(3).Store(&edSelfDiag)}},
           {"Модуль в режиме INIT:", {BitShow("chbInitStatus", "SLFDGNS").Bit(15).Store(&chbInitStatus)}},
      }).ReadOrder({[this] { return RefreshClock(); }, "MNAME", "MVERSION", "DAYS", "NETWDT", "NWDTSTATUS",
                    "RSTSTATUS", "SLFDGNS"}));
}

TTask<> TModuleForm::RefreshClock() {
  TprModel& d = *Module;
  // The clock registers go together: a failed one ends the group.
  bool okHour = co_await Read(d.SECNS);
  if (okHour) okHour = co_await Read(d.MINTS);
  if (okHour) okHour = co_await Read(d.HOURS);
  if (!okHour) {
    edTime->SetText(NoValueText());
  } else if (!edTime->Focused()) {
    int32_t h = 0, m = 0, s = 0;
    const bool converted = d.HOURS->IntegerValue(h) && d.MINTS->IntegerValue(m) &&
                           d.SECNS->IntegerValue(s) && h >= 0 && h <= 23 && m >= 0 &&
                           m <= 59 && s >= 0 && s <= 59;
    edTime->SetText(converted ? FormatTimeOfDay(h, m, s) : BadValueText());
  }
}

void TModuleForm::edTimeKeyPress(TEdit& field, char key) {
  if (!Commits(field, key)) return;
  int h = 0, m = 0, s = 0;
  if (!ParseTimeOfDay(field.Text(), h, m, s)) {
    RejectEntry(field);
    return;
  }
  RunTask(TimeWrite(field, h, m, s));
}

TTask<> TModuleForm::TimeWrite(TEdit& field, int h, int m, int s) {
  // All three are written whatever the results.
  auto seconds = Write(Module->SECNS, std::to_string(s));
  co_await seconds;
  auto minutes = Write(Module->MINTS, std::to_string(m));
  co_await minutes;
  auto hours = Write(Module->HOURS, std::to_string(h));
  co_await hours;
  field.ReleaseFocus();
}

// ---- "RS-485"

void TModuleForm::BuildNetworkTab() {
  using namespace rows;
  tsNetwork = AddRowsTab(
      "tsNetwork", "RS-485",
      TRowsTable({
           Step([this] { return ReadInitState(); }),
           {"Сетевой адрес:",
            {Number("edAddress", "NETADDR").Store(&edAddress).AfterWrite(
                [this](bool written, int32_t address) { AddressWritten(written, address); })}},
           {"Скорость обмена:", {List("cbBaud", "NETBDRT").Store(&cbBaud)}},
           {"Четность (Modbus):", {List("cbParity", "MDBFMT").Store(&cbParity)}},
           {"", {Flag("chbLRC", "DCSFMT", 64).Caption("Использовать LRC (DCS)").Span(2).Store(&chbLRC)}},
      }));
}

TTask<> TModuleForm::ReadInitState() {
  Module->InitFlag = true;
  const bool ok = co_await Read(Module->SLFDGNS);
  if (!ok) co_return;
  int32_t value = 0;
  if (!Module->SLFDGNS->IntegerValue(value) || (value & 0x8000)) co_return;
  Module->InitFlag = false;
}

void TModuleForm::AddressWritten(bool written, int32_t address) {
  // In INIT mode (or when the module's state is unknown) the module keeps answering at the
  // address it has now, so the page keeps talking to that one.
  if (!written || Module->InitFlag) return;
  Module->SetAddress(static_cast<uint32_t>(address));
  SetCaption();
}

#include "pages/ModuleForm.h"

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "shell/UiServices.h"

namespace {
constexpr char kEnter = 13;
constexpr char kEscape = 27;

std::string NoData() { return ResStr("Н/Д"); }
std::string BadValue() { return ResStr("Ошибка"); }
}  // namespace

TModuleForm::TModuleForm(TprNode* owner)
    : TprForm(owner), Module(dynamic_cast<TprModel*>(owner)) {
  pcMain = Controls.Add<TPageControl>("pcMain", &Controls.Root());
  pcMain->OnChange = [this](TPageControl&) { pcMainChange(); };
  Controls.Root().Layout.AddGrid().Row({ControlCell(pcMain)});
  MainTimer.Interval = 100;
  MainTimer.OnTimer = [this] { MainTimerTimer(); };
  BuildCommonTab();
  BuildNetworkTab();
}

TModuleForm::~TModuleForm() { MainTimer.OnViewUpdate = nullptr; }

TContainer* TModuleForm::AddTab(const std::string& name, const std::string& caption,
                                std::function<void()> refresh) {
  TContainer* sheet = pcMain->AddSheet(name, caption);
  RefreshSteps.push_back(std::move(refresh));
  return sheet;
}

// ---- life cycle and polling

std::string TModuleForm::ModuleCaption() const {
  const TprNode* node = OwnerNode();
  if (!node || !Module) return lbCaption;
  return node->NameText + " - " + node->KindText + " (адрес: " + std::to_string(Module->Address) +
         ")";
}

void TModuleForm::SetCaption() {
  lbCaption = ModuleCaption();
  Changed();
}

void TModuleForm::FormShow() {
  TprForm::FormShow();
  SetCaption();
  pcMain->SetTabIndex(0);
  MainTimerTimer();
}

void TModuleForm::FormHide() { MainTimer.SetEnabled(false); }

void TModuleForm::MainTimerTimer() {
  // Off while the cycle runs, so cycles never overlap and the next one starts one interval
  // after this one ends. An error escaping the cycle leaves the timer off: it is reported once
  // instead of on every tick.
  MainTimer.SetEnabled(false);
  const int tab = pcMain->TabIndex();
  if (tab >= 0 && tab < static_cast<int>(RefreshSteps.size()) && RefreshSteps[tab])
    RefreshSteps[tab]();
  MainTimer.SetEnabled(true);
}

TModalResult TModuleForm::ShowModuleDialog(TModalDialog& dialog) {
  struct TResume {
    TPageTimer& Timer;
    ~TResume() { Timer.SetEnabled(true); }
  } resume{MainTimer};
  MainTimer.SetEnabled(false);
  return Ui().ShowModal(dialog);
}

void TModuleForm::pcMainChange() { pcMain->SetFocus(); }

void TModuleForm::cbCloseUp(TComboBox& list) { list.ReleaseFocus(); }

void TModuleForm::edExit(TEdit& field) { field.SetColor(TTextColor::Normal); }

// ---- register access

bool TModuleForm::Read(TprDevReg* reg) { return Module && reg && Module->ReadRegister(reg); }

bool TModuleForm::Write(TprDevReg* reg, const std::string& text) {
  return Module && reg && Module->WriteRegister(reg, text);
}

TprDevReg* TModuleForm::ChannelRegister(const std::string& prefix, int tag) const {
  return Module ? Module->FindRegister(prefix + std::to_string(tag + 1)) : nullptr;
}

// ---- display rules

void TModuleForm::ShowText(TEdit& field, bool ok, const std::string& text, bool evenFocused) {
  if (!ok)
    field.SetText(NoData());
  else if (evenFocused || !field.Focused())
    field.SetText(text);
}

void TModuleForm::ShowComputed(TEdit& field, bool ok, bool converted, const std::string& text,
                               bool evenFocused) {
  if (!ok)
    field.SetText(NoData());
  else if (!converted)
    field.SetText(BadValue());
  else if (evenFocused || !field.Focused())
    field.SetText(text);
}

void TModuleForm::ShowBit(TCheckBox& box, bool ok, const std::string& valueText, int bit) {
  int32_t value = 0;
  if (!ok || !TryStrToInt(valueText, value))
    box.SetState(TCheckState::Grayed);
  else if (!box.Focused())
    box.SetChecked((static_cast<uint32_t>(value) >> bit) & 1u);
}

void TModuleForm::ShowBits(const std::vector<TCheckBox*>& boxes, bool ok,
                           const std::string& valueText) {
  for (TCheckBox* box : boxes) ShowBit(*box, ok, valueText, box->Tag);
}

void TModuleForm::ShowIndex(TComboBox& list, bool ok, int index) {
  if (!ok)
    list.SetItemIndex(-1);
  else if (!list.Focused() && !list.DroppedDown())
    list.SetItemIndex(index);
}

void TModuleForm::ShowBitChoices(const std::vector<TComboBox*>& lists, bool ok,
                                 const std::string& valueText) {
  int32_t value = 0;
  const bool converted = ok && TryStrToInt(valueText, value);
  for (TComboBox* list : lists)
    ShowIndex(*list, converted, (static_cast<uint32_t>(value) >> list->Tag) & 1u ? 1 : 0);
}

bool TModuleForm::RefreshText(TEdit& field, TprDevReg* reg, bool evenFocused) {
  const bool ok = Read(reg);
  ShowText(field, ok, ok ? reg->ValueText : std::string(), evenFocused);
  return ok;
}

bool TModuleForm::RefreshBits(const std::vector<TCheckBox*>& boxes, TprDevReg* reg) {
  const bool ok = Read(reg);
  ShowBits(boxes, ok, ok ? reg->ValueText : std::string());
  return ok;
}

bool TModuleForm::RefreshIndex(TComboBox& list, TprDevReg* reg,
                               const std::function<int(int32_t)>& toIndex) {
  const bool ok = Read(reg);
  int32_t value = 0;
  if (ok && TryStrToInt(reg->ValueText, value))
    ShowIndex(list, true, toIndex ? toIndex(value) : value);
  else
    ShowIndex(list, false, -1);
  return ok;
}

bool TModuleForm::RefreshBitChoices(const std::vector<TComboBox*>& lists, TprDevReg* reg) {
  const bool ok = Read(reg);
  ShowBitChoices(lists, ok, ok ? reg->ValueText : std::string());
  return ok;
}

// ---- edit rules

void TModuleForm::RejectEntry(TEdit& field) {
  field.SetColor(TTextColor::Red);
  Ui().Beep();
}

bool TModuleForm::AcceptNumber(TEdit& field, int64_t lo, int64_t hi, int32_t& value) {
  try {
    value = StrToInt(field.Text());
    CheckRange(value, lo, hi);
    return true;
  } catch (const EConvertError&) {
  } catch (const ERangeError&) {
  }
  // The user sees only the red text and the beep, never the error's text.
  RejectEntry(field);
  return false;
}

void TModuleForm::NumberEntry(TEdit& field, char key, TprDevReg* reg, int64_t lo, int64_t hi) {
  if (key == kEscape) {
    field.ReleaseFocus();
    return;
  }
  if (key != kEnter) return;
  int32_t value = 0;
  if (!AcceptNumber(field, lo, hi, value)) return;
  Write(reg, field.Text());
  field.ReleaseFocus();
}

void TModuleForm::TextEntry(TEdit& field, char key, TprDevReg* reg) {
  if (key == kEscape) {
    field.ReleaseFocus();
    return;
  }
  if (key != kEnter) return;
  Write(reg, field.Text());
  field.ReleaseFocus();
}

void TModuleForm::Command(TControl& control, TprDevReg* reg, const std::string& text) {
  Write(reg, text);
  control.ReleaseFocus();
}

void TModuleForm::ValueListChange(TComboBox& list, TprDevReg* reg, const std::string& text) {
  Write(reg, text);
  list.ReleaseFocus();
}

void TModuleForm::BitToggle(TCheckBox& box, TprDevReg* reg) {
  // A state set by a refresh never reaches here with the focus, so only the user's click writes.
  if (!box.Focused() || !reg || reg->ValueText.empty()) return;
  int32_t value = 0;
  if (!TryStrToInt(reg->ValueText, value)) return;
  // From the value last read (or last written), not from the box's own state.
  const std::string text = std::to_string(value ^ static_cast<int32_t>(1u << box.Tag));
  if (Write(reg, text)) reg->ValueText = text;
  box.ReleaseFocus();
}

void TModuleForm::BitChoice(TComboBox& list, TprDevReg* reg) {
  if (!reg || reg->ValueText.empty()) return;
  int32_t value = 0;
  if (!TryStrToInt(reg->ValueText, value)) return;
  const uint32_t mask = 1u << list.Tag;
  const uint32_t v = list.ItemIndex() == 0 ? (static_cast<uint32_t>(value) & ~mask)
                                           : (static_cast<uint32_t>(value) | mask);
  const std::string text = std::to_string(static_cast<int32_t>(v));
  if (Write(reg, text)) reg->ValueText = text;
  list.ReleaseFocus();
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
  tsCommon = AddTab("tsCommon", "Общие", [this] { RefreshCommon(); });
  TContainer* s = tsCommon;
  edDays = Controls.Add<TEdit>("edDays", s, 5);
  edTime = Controls.Add<TEdit>("edTime", s);
  edName = Controls.Add<TEdit>("edName", s, 14);
  edVersion = Controls.Add<TEdit>("edVersion", s, 6, true);
  edWD = Controls.Add<TEdit>("edWD", s, 5);
  chbWDStatus = Controls.Add<TCheckBox>("chbWDStatus", s);
  bbWDStatusReset = Controls.Add<TButton>("bbWDStatusReset", s, "", "Сброс статуса");
  chbRestartStatus = Controls.Add<TCheckBox>("chbRestartStatus", s);
  bbRestartStatusReset = Controls.Add<TButton>("bbRestartStatusReset", s, "", "Сброс статуса");
  edSelfDiag = Controls.Add<TEdit>("edSelfDiag", s, 0, true);
  chbInitStatus = Controls.Add<TCheckBox>("chbInitStatus", s);

  BindField(edDays, [this](TEdit& f, char k) { edDaysKeyPress(f, k); });
  BindField(edTime, [this](TEdit& f, char k) { edTimeKeyPress(f, k); });
  BindField(edName, [this](TEdit& f, char k) { edNameKeyPress(f, k); });
  BindField(edWD, [this](TEdit& f, char k) { edWDKeyPress(f, k); });
  BindBox(chbWDStatus, nullptr);
  BindBox(chbRestartStatus, nullptr);
  BindBox(chbInitStatus, nullptr);
  BindButton(bbWDStatusReset, [this](TButton& b) { bbWDStatusResetClick(b); });
  BindButton(bbRestartStatusReset, [this](TButton& b) { bbRestartStatusResetClick(b); });

  s->Layout.AddGrid()
      .Row({LabelCell("Время во включенном состоянии:"), ControlCell(edDays), LabelCell("суток,"),
            FieldCell(edTime, 8)})
      .Row({LabelCell("Имя модуля:"), FieldCell(edName, 16, 3)})
      .Row({LabelCell("Версия ПО:"), ControlCell(edVersion)})
      .Row({LabelCell("Таймаут сторожевого таймера:"), ControlCell(edWD), LabelCell("Х 0,1 с.", 2)})
      .Row({LabelCell("Статус сторожевого таймера:"), ControlCell(chbWDStatus),
            ControlCell(bbWDStatusReset)})
      .Row({LabelCell("Статус рестарта:"), ControlCell(chbRestartStatus),
            ControlCell(bbRestartStatusReset)})
      .Row({LabelCell("Статус самодиагностики:"), FieldCell(edSelfDiag, 17, 3)})
      .Row({LabelCell("Модуль в режиме INIT:"), ControlCell(chbInitStatus)});
}

void TModuleForm::RefreshCommon() {
  TprModel& d = *Module;
  // The clock registers go together: a failed one ends the group.
  const bool okSec = Read(d.SECNS);
  const bool okMin = okSec && Read(d.MINTS);
  const bool okHour = okMin && Read(d.HOURS);
  if (!okHour) {
    edTime->SetText(NoData());
  } else if (!edTime->Focused()) {
    int32_t h = 0, m = 0, s = 0;
    const bool converted = TryStrToInt(d.HOURS->ValueText, h) && TryStrToInt(d.MINTS->ValueText, m) &&
                           TryStrToInt(d.SECNS->ValueText, s) && h >= 0 && h <= 23 && m >= 0 &&
                           m <= 59 && s >= 0 && s <= 59;
    edTime->SetText(converted ? FormatTimeOfDay(h, m, s) : BadValue());
  }
  RefreshText(*edName, d.MNAME);
  RefreshText(*edVersion, d.MVERSION, VersionIgnoresFocus);
  RefreshText(*edDays, d.DAYS);
  RefreshText(*edWD, d.NETWDT);
  {
    const bool ok = Read(d.NWDTSTATUS);
    ShowBit(*chbWDStatus, ok, ok ? d.NWDTSTATUS->ValueText : "", 0);
  }
  {
    const bool ok = Read(d.RSTSTATUS);
    ShowBit(*chbRestartStatus, ok, ok ? d.RSTSTATUS->ValueText : "", 0);
  }
  const bool ok = Read(d.SLFDGNS);
  int32_t value = 0;
  const bool converted = ok && TryStrToInt(d.SLFDGNS->ValueText, value);
  ShowComputed(*edSelfDiag, ok, converted, converted ? SelfDiagText(value) : "");
  ShowBit(*chbInitStatus, ok, ok ? d.SLFDGNS->ValueText : "", 15);
}

void TModuleForm::edTimeKeyPress(TEdit& field, char key) {
  if (key == kEscape) {
    field.ReleaseFocus();
    return;
  }
  if (key != kEnter) return;
  int h = 0, m = 0, s = 0;
  if (!ParseTimeOfDay(field.Text(), h, m, s)) {
    RejectEntry(field);
    return;
  }
  // All three are written whatever the results.
  Write(Module->SECNS, std::to_string(s));
  Write(Module->MINTS, std::to_string(m));
  Write(Module->HOURS, std::to_string(h));
  field.ReleaseFocus();
}

void TModuleForm::edDaysKeyPress(TEdit& field, char key) {
  NumberEntry(field, key, Module->DAYS, 0, 65535);
}

void TModuleForm::edNameKeyPress(TEdit& field, char key) { TextEntry(field, key, Module->MNAME); }

void TModuleForm::edWDKeyPress(TEdit& field, char key) {
  NumberEntry(field, key, Module->NETWDT, 0, 65535);
}

void TModuleForm::bbWDStatusResetClick(TButton& button) { Command(button, Module->NWDTSTATUS, "0"); }

void TModuleForm::bbRestartStatusResetClick(TButton& button) {
  Command(button, Module->RSTSTATUS, "0");
}

// ---- "RS-485"

void TModuleForm::BuildNetworkTab() {
  tsNetwork = AddTab("tsNetwork", "RS-485", [this] {
    ReadInitState();
    RefreshNetwork();
  });
  TContainer* s = tsNetwork;
  edAddress = Controls.Add<TEdit>("edAddress", s, 3);
  cbBaud = Controls.Add<TComboBox>(
      "cbBaud", s,
      std::vector<std::string>{"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"});
  cbParity = Controls.Add<TComboBox>("cbParity", s,
                                     std::vector<std::string>{"Нет", "Нечетность", "Четность"});
  chbLRC = Controls.Add<TCheckBox>("chbLRC", s, "Использовать LRC (DCS)");

  BindField(edAddress, [this](TEdit& f, char k) { edAddressKeyPress(f, k); });
  BindList(cbBaud, [this](TComboBox& l) { cbBaudChange(l); });
  BindList(cbParity, [this](TComboBox& l) { cbParityChange(l); });
  BindBox(chbLRC, [this](TCheckBox& b) { chbLRCClick(b); });

  s->Layout.AddGrid()
      .Row({LabelCell("Сетевой адрес:"), ControlCell(edAddress)})
      .Row({LabelCell("Скорость обмена:"), ControlCell(cbBaud)})
      .Row({LabelCell("Четность (Modbus):"), ControlCell(cbParity)})
      .Row({ControlCell(chbLRC, 2)});
}

void TModuleForm::ReadInitState() {
  Module->InitFlag = true;
  if (!Read(Module->SLFDGNS)) return;
  int32_t value = 0;
  if (!TryStrToInt(Module->SLFDGNS->ValueText, value) || (value & 0x8000)) return;
  Module->InitFlag = false;
}

void TModuleForm::RefreshNetwork() {
  TprModel& d = *Module;
  RefreshText(*edAddress, d.NETADDR);
  RefreshIndex(*cbBaud, d.NETBDRT, [](int32_t v) { return v >= 3 && v <= 10 ? v - 3 : -1; });
  RefreshIndex(*cbParity, d.MDBFMT, [](int32_t v) { return v >= 0 && v <= 2 ? v : -1; });
  const bool ok = Read(d.DCSFMT);
  int32_t value = 0;
  if (!ok || !TryStrToInt(d.DCSFMT->ValueText, value))
    chbLRC->SetState(TCheckState::Grayed);
  else if (!chbLRC->Focused())
    chbLRC->SetChecked(value == 64);
}

void TModuleForm::edAddressKeyPress(TEdit& field, char key) {
  if (key == kEscape) {
    field.ReleaseFocus();
    return;
  }
  if (key != kEnter) return;
  int32_t address = 0;
  if (!AcceptNumber(field, 1, 247, address)) return;
  // In INIT mode (or when the module's state is unknown) the module keeps answering at the
  // address it has now, so the page keeps talking to that one.
  if (Write(Module->NETADDR, field.Text()) && !Module->InitFlag) {
    Module->SetAddress(static_cast<uint32_t>(address));
    SetCaption();
  }
  field.ReleaseFocus();
}

void TModuleForm::cbBaudChange(TComboBox& list) {
  if (list.ItemIndex() < 0) {
    list.ReleaseFocus();
    return;
  }
  ValueListChange(list, Module->NETBDRT, std::to_string(list.ItemIndex() + 3));
}

void TModuleForm::cbParityChange(TComboBox& list) {
  if (list.ItemIndex() < 0) {
    list.ReleaseFocus();
    return;
  }
  ValueListChange(list, Module->MDBFMT, std::to_string(list.ItemIndex()));
}

void TModuleForm::chbLRCClick(TCheckBox& box) {
  if (!box.Focused() || Module->DCSFMT->ValueText.empty()) return;
  Write(Module->DCSFMT, box.Checked() ? "64" : "0");
  box.ReleaseFocus();
}

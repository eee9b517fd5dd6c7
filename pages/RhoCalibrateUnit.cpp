#include "pages/RhoCalibrateUnit.h"

#include <exception>

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "models/prDevice.h"

namespace texts = RhoCalibrateForm;

TRhoCalibrateForm::TRhoCalibrateForm(TprModel* device)
    : Device(device), ErrorText(ResStr(texts::InitialError)) {
  ShowPage(tsPrepare);
}

// ---- registers

TprDevReg* TRhoCalibrateForm::ModuleRegister(const char* name) const {
  return Device ? Device->FindRegister(name) : nullptr;
}

TprDevReg* TRhoCalibrateForm::ChannelRegister(const char* prefix) const {
  return Device ? Device->FindRegister(prefix, Channel()) : nullptr;
}

bool TRhoCalibrateForm::Read(TprDevReg* reg) { return Device && reg && Device->ReadRegister(reg); }

bool TRhoCalibrateForm::Write(TprDevReg* reg, const std::string& text) {
  return Device && reg && Device->WriteRegister(reg, text);
}

// ---- the settings the preparation changes

void TRhoCalibrateForm::KeepSettings(TprDevReg* outType, TprDevReg* slewRate) {
  Kept.Due = true;
  Kept.Channel = Channel();
  Kept.OutType = outType->ValueText;
  Kept.SlewRate = slewRate->ValueText;
}

std::string TRhoCalibrateForm::SettingsText(const char* format) const {
  // The item of the register's list that a code stands for; the code itself when none does.
  auto item = [this](const char* prefix, const std::string& code) {
    const TRegisterDef* def = Device ? Device->DefOf(Device->FindRegister(prefix, Kept.Channel)) : nullptr;
    int32_t value = 0;
    if (def && def->List && TryStrToInt(code, value))
      for (size_t i = 0; i < def->List->Items.size(); ++i)
        if (CodeOf(*def->List, i) == value) {
          std::string name = ResStr(def->List->Items[i]);
          while (!name.empty() && name.back() == ' ') name.pop_back();
          return name;
        }
    return code;
  };
  return FillIn(ResStr(format), {std::to_string(Kept.Channel), item("OUTTYPE", Kept.OutType),
                                 item("SLEWRATE", Kept.SlewRate)});
}

void TRhoCalibrateForm::RestoreSettings() {
  if (!Kept.Due) return;
  Kept.Due = false;
  TprDevReg* outType = Device ? Device->FindRegister("OUTTYPE", Kept.Channel) : nullptr;
  TprDevReg* slewRate = Device ? Device->FindRegister("SLEWRATE", Kept.Channel) : nullptr;
  bool restored = false;
  try {
    // Both are tried: one that holds is one less to set by hand.
    const bool type = Write(outType, Kept.OutType);
    restored = Write(slewRate, Kept.SlewRate) && type;
  } catch (const std::exception&) {
    // The line failed; the closing write has reported it already or will.
  }
  if (!restored)
    Ui().MessageBox(SettingsText(texts::RestoreFailed), ResStr(texts::Caption), TMsgIcon::Warning);
}

std::string TRhoCalibrateForm::lbUnit() const { return ResStr(texts::ValueUnits[cbType == 1]); }

// ---- pages

void TRhoCalibrateForm::ShowPage(int index) {
  if (index < 0 || index >= PageCount) return;
  Page = index;
  ForwardCaption = index == tsYes  ? texts::btForwardDone
                   : index == tsNo ? texts::btForwardClose
                                   : texts::btForwardNext;
  CancelEnabled = index < tsYes;
  if (index == tsYes || index == tsNo) IsFinished = true;
  Changed();
}

void TRhoCalibrateForm::ShowError(const std::string& reason) {
  // The two pieces are looked up apart, so that a translation keeps the reason after it.
  ErrorText = ResStr(texts::ErrorPrefix) + ResStr(reason.c_str());
  ShowPage(tsNo);
}

// ---- life cycle

void TRhoCalibrateForm::FormShow() {
  IsFinished = false;
  Changed();
}

void TRhoCalibrateForm::btCancelClick() { ShowError(texts::ReasonCancelled); }

bool TRhoCalibrateForm::FormCloseQuery() {
  if (IsFinished) return true;
  btCancelClick();
  return false;
}

void TRhoCalibrateForm::FormClose() {
  // Ends the tuning mode whatever state the wizard got to; nothing more can be done about a
  // module that does not take it. Then, unless the calibration succeeded, the channel gets
  // back the settings the preparation changed.
  std::exception_ptr error;
  try {
    Write(ModuleRegister("TUNINGENABLE"), "0");
  } catch (...) {
    error = std::current_exception();
  }
  if (Page != tsYes) RestoreSettings();
  if (error) std::rethrow_exception(error);
}

bool TRhoCalibrateForm::Close(TModalResult result) {
  if (IsClosed) return true;
  if (!FormCloseQuery()) return false;
  IsClosed = true;
  Result = result;
  // The dialog goes even when the line fails under the last write: otherwise a dead line
  // would keep it open for good. The error is reported after.
  std::exception_ptr error;
  try {
    FormClose();
  } catch (...) {
    error = std::current_exception();
  }
  if (OnClose) OnClose(result);
  if (error) std::rethrow_exception(error);
  return true;
}

// ---- the forward button

void TRhoCalibrateForm::btForwardClick() {
  switch (Page) {
    case tsPrepare: PrepareStep(); break;
    case tsValue: ValueStep(); break;
    default: {
      TCursorRestore restore(Ui().Cursor());
      Ui().SetCursor(TCursorKind::Wait);
      Close(TModalResult::Ok);
    }
  }
}

void TRhoCalibrateForm::PrepareStep() {
  TCursorRestore restore(Ui().Cursor());
  Ui().SetCursor(TCursorKind::Wait);
  TprDevReg* outType = ChannelRegister("OUTTYPE");
  TprDevReg* slewRate = ChannelRegister("SLEWRATE");
  TprDevReg* tuning = ModuleRegister("TUNINGENABLE");
  if (!outType || !slewRate || !tuning) {
    ShowError(texts::ReasonInternal);
    return;
  }
  // The values are read before anything is changed: the module answers, and they are kept.
  if (!Read(slewRate) || !Read(outType)) {
    ShowError(texts::ReasonLink);
    return;
  }
  KeepSettings(outType, slewRate);
  // The channel drives the top of the calibrated range at once: no slew limit in the way.
  if (!Write(outType, std::to_string(KindCode())) || !Write(slewRate, "0") ||
      !Write(tuning, std::to_string(Channel()))) {
    ShowError(texts::ReasonLink);
    return;
  }
  ShowPage(tsValue);
  if (OnFocusValue) OnFocusValue();
}

void TRhoCalibrateForm::ValueStep() {
  if (CheckSingleRange(edValue)) {
    if (OnFocusValue) OnFocusValue();
    Ui().MessageBox(texts::ValueWarning, texts::Caption, TMsgIcon::Warning);
    return;
  }
  TCursorRestore restore(Ui().Cursor());
  Ui().SetCursor(TCursorKind::Wait);
  TprDevReg* value = ChannelRegister("TUNINGVALUECH");
  TprDevReg* start = ChannelRegister("TUNINGCH");
  TprDevReg* status = ModuleRegister("SMSTS");
  if (!value || !start || !status) {
    ShowError(texts::ReasonInternal);
    return;
  }
  if (!Write(value, edValue) || !Write(start, "1")) {
    ShowError(texts::ReasonLinkValue);
    return;
  }
  Clock().Sleep(texts::CoefficientWaitMs);
  int32_t flags = 0;
  if (!Read(status) || !TryStrToInt(status->ValueText, flags)) {
    ShowError(texts::ReasonLink);
    return;
  }
  // Bit 4 flags channel 1's coefficient as invalid, bit 5 channel 2's.
  if (flags & (Channel() * 16)) {
    ShowError(texts::ReasonCoefficient);
    return;
  }
  OldSettingsText = SettingsText(texts::SuccessOld);
  ShowPage(tsYes);
}

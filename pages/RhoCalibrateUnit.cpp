#include "pages/RhoCalibrateUnit.h"

#include <exception>
#include <optional>

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/LineOps.h"
#include "comm/Resources.h"
#include "models/prDevice.h"
#include "shell/prUnit.h"

namespace texts = RhoCalibrateForm;

namespace {
// The output type and slew rate to write back, and what to say when they do not hold.
struct TRestore {
  TprDevReg* OutType;
  TprDevReg* SlewRate;
  std::string OutTypeText, SlewRateText;
  std::string FailedText;
};

// The closing writes: tuning off, then the kept settings if due. A line error of the first
// write is raised after the settings were tried.
TTask<> CloseTuning(TprPort* port, TprDevReg* tuning, std::optional<TRestore> restore) {
  std::exception_ptr error;
  try {
    auto off = WriteOnLine(port, tuning, "0");
    co_await off;
  } catch (...) {
    error = std::current_exception();
  }
  if (restore) {
    bool restored = false;
    try {
      // Both are tried: one that holds is one less to set by hand.
      auto type = WriteOnLine(port, restore->OutType, restore->OutTypeText);
      const bool typeRestored = co_await type;
      auto slew = WriteOnLine(port, restore->SlewRate, restore->SlewRateText);
      const bool slewRestored = co_await slew;
      restored = typeRestored && slewRestored;
    } catch (const std::exception&) {
      // The line failed; the closing write has reported it already or will.
    }
    if (!restored)
      Ui().MessageBox(restore->FailedText, ResStr(texts::Caption), TMsgIcon::Warning);
  }
  if (error) std::rethrow_exception(error);
}
}  // namespace

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

TTask<bool> TRhoCalibrateForm::Read(TprDevReg* reg) {
  return ReadOnLine(Device ? Device->Port() : nullptr, reg);
}

TTask<bool> TRhoCalibrateForm::Write(TprDevReg* reg, std::string text) {
  return WriteOnLine(Device ? Device->Port() : nullptr, reg, std::move(text));
}

TTask<bool> TRhoCalibrateForm::WriteInTurn(std::vector<std::pair<TprDevReg*, std::string>> writes) {
  for (auto& [reg, text] : writes) {
    auto write = Write(reg, std::move(text));
    const bool ok = co_await write;
    if (!ok) co_return false;
  }
  co_return true;
}

TTask<> TRhoCalibrateForm::WaitForCoefficient() {
  auto wait = OnLine(LineOf(Device ? Device->Port() : nullptr),
                     [] { Clock().Sleep(texts::CoefficientWaitMs); });
  co_await wait;
}

void TRhoCalibrateForm::RunStep(TTask<> step) {
  if (StepToken) return;
  StepToken = std::make_shared<char>();
  StartTask(Stepping(std::move(step)), StepToken, [](std::exception_ptr e) { ::ShowError(e); });
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
    const TprDevReg* reg = Device ? Device->FindRegister(prefix, Kept.Channel) : nullptr;
    const TRegisterDef* def = reg ? reg->Def : nullptr;
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

void TRhoCalibrateForm::btCancelClick() {
  // A step waiting for the module ends there: its exchange in flight completes, nothing after.
  StepToken.reset();
  ShowError(texts::ReasonCancelled);
}

bool TRhoCalibrateForm::FormCloseQuery() {
  if (IsFinished) return true;
  btCancelClick();
  return false;
}

void TRhoCalibrateForm::FormClose() {
  // Ends the tuning mode whatever state the wizard got to; nothing more can be done about a
  // module that does not take it. Then, unless the calibration succeeded, the channel gets
  // back the settings the preparation changed. The dialog goes at once, so the writes belong
  // to the module's page: they still run, in order, behind the exchange in flight.
  std::optional<TRestore> restore;
  if (Page != tsYes && Kept.Due) {
    Kept.Due = false;
    restore = TRestore{Device ? Device->FindRegister("OUTTYPE", Kept.Channel) : nullptr,
                       Device ? Device->FindRegister("SLEWRATE", Kept.Channel) : nullptr,
                       Kept.OutType, Kept.SlewRate, SettingsText(texts::RestoreFailed)};
  }
  std::weak_ptr<void> owner =
      Device && Device->Page ? Device->Page->Alive() : std::weak_ptr<void>(Alive);
  StartTask(CloseTuning(Device ? Device->Port() : nullptr, ModuleRegister("TUNINGENABLE"),
                        std::move(restore)),
            std::move(owner), [](std::exception_ptr e) { ::ShowError(e); });
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
    case tsPrepare: RunStep(PrepareStep()); break;
    case tsValue: RunStep(ValueStep()); break;
    default: {
      TCursorRestore restore(Ui().Cursor());
      Ui().SetCursor(TCursorKind::Wait);
      Close(TModalResult::Ok);
    }
  }
}

TTask<> TRhoCalibrateForm::PrepareStep() {
  TCursorRestore restore(Ui().Cursor());
  Ui().SetCursor(TCursorKind::Wait);
  TprDevReg* outType = ChannelRegister("OUTTYPE");
  TprDevReg* slewRate = ChannelRegister("SLEWRATE");
  TprDevReg* tuning = ModuleRegister("TUNINGENABLE");
  if (!outType || !slewRate || !tuning) {
    ShowError(texts::ReasonInternal);
    co_return;
  }
  // The values are read before anything is changed: the module answers, and they are kept.
  bool answered = co_await Read(slewRate);
  if (answered) answered = co_await Read(outType);
  if (!answered) {
    ShowError(texts::ReasonLink);
    co_return;
  }
  KeepSettings(outType, slewRate);
  // The channel drives the top of the calibrated range at once: no slew limit in the way.
  auto prepare = WriteInTurn({{outType, std::to_string(KindCode())},
                              {slewRate, "0"},
                              {tuning, std::to_string(Channel())}});
  const bool prepared = co_await prepare;
  if (!prepared) {
    ShowError(texts::ReasonLink);
    co_return;
  }
  ShowPage(tsValue);
  if (OnFocusValue) OnFocusValue();
}

TTask<> TRhoCalibrateForm::ValueStep() {
  if (CheckSingleRange(edValue)) {
    if (OnFocusValue) OnFocusValue();
    Ui().MessageBox(texts::ValueWarning, texts::Caption, TMsgIcon::Warning);
    co_return;
  }
  TCursorRestore restore(Ui().Cursor());
  Ui().SetCursor(TCursorKind::Wait);
  TprDevReg* value = ChannelRegister("TUNINGVALUECH");
  TprDevReg* start = ChannelRegister("TUNINGCH");
  TprDevReg* status = ModuleRegister("SMSTS");
  if (!value || !start || !status) {
    ShowError(texts::ReasonInternal);
    co_return;
  }
  auto hand = WriteInTurn({{value, edValue}, {start, "1"}});
  const bool handed = co_await hand;
  if (!handed) {
    ShowError(texts::ReasonLinkValue);
    co_return;
  }
  co_await WaitForCoefficient();
  int32_t flags = 0;
  const bool read = co_await Read(status);
  if (!read || !status->IntegerValue(flags)) {
    ShowError(texts::ReasonLink);
    co_return;
  }
  // Bit 4 flags channel 1's coefficient as invalid, bit 5 channel 2's.
  if (flags & (Channel() * 16)) {
    ShowError(texts::ReasonCoefficient);
    co_return;
  }
  OldSettingsText = SettingsText(texts::SuccessOld);
  ShowPage(tsYes);
}

TTask<> TRhoCalibrateForm::Stepping(TTask<> step) {
  try {
    co_await step;
  } catch (...) {
    StepToken.reset();
    throw;
  }
  StepToken.reset();
}

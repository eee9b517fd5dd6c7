#pragma once
// The output calibration wizard of the 2-channel output module (TRhoCalibrateForm): it puts
// one channel into the module's tuning mode, takes the output value the user measured with an
// instrument, hands it to the module and reports whether the module accepted the coefficient
// it computed from it. Plain logic; the program shows it as a modal dialog by its class name.
//
// Four pages, changed only by the wizard itself: preparation (kind and channel), the measured
// value, success and failure. The forward button steps on; on the two final pages it closes.
// A close request (the window's close button, Escape) is refused until a final page is shown
// and then counts as "Отмена", so a second request closes. Every close ends the tuning mode.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comm/LineTask.h"
#include "shell/UiServices.h"

class TprDevReg;
class TprModel;

// Texts of the dialog.
namespace RhoCalibrateForm {
inline constexpr const char* Caption = "Калибровка модуля RHO-05";
inline constexpr const char* btForwardNext = "Далее >";
inline constexpr const char* btForwardDone = "Готово";
inline constexpr const char* btForwardClose = "Закрыть";
inline constexpr const char* btCancel = "Отмена";
inline constexpr const char* PageCaptions[4] = {"Подготовка", "Ввод значения", "Успешно", "Авария"};

inline constexpr const char* PrepareTitle = "Внимание! Идет подготовка к калибровке модуля.";
inline constexpr const char* PrepareLines[3] = {
    "Если калибровка не нужна, нажмите кнопку 'Отмена'.",
    "Для продолжения введите нужные параметры", "и нажмите кнопку 'Далее'."};
inline constexpr const char* lbType = "Вид калибровки:";
inline constexpr const char* TypeItems[2] = {"Ток", "Напряжение"};
inline constexpr const char* lbChannel = "Калибруемый канал:";
inline constexpr const char* ChannelItems[2] = {"1", "2"};

inline constexpr const char* ValueLines[2] = {
    "Введите измеренное значение сигнала на выходе канала", "и нажмите кнопку 'Далее'."};
inline constexpr int ValueMaxLength = 16;
inline constexpr const char* ValueWarning = "Введите значение сигнала!";

inline constexpr const char* SuccessTitle = "Калибровка проведена успешно!";
inline constexpr const char* SuccessLines[2] = {
    "Настройки типа выхода и скорости нарастания были изменены.",
    "При необходимости проведите данные настройки заново."};
// The settings the preparation replaced, named on the success page.
inline constexpr const char* SuccessOld =
    "Прежние настройки канала %s: тип выхода \"%s\", скорость нарастания \"%s\".";
// Any other way out puts them back; when the module does not take them, the user is told.
inline constexpr const char* RestoreFailed =
    "Не удалось вернуть каналу %s прежние настройки: тип выхода \"%s\", скорость нарастания "
    "\"%s\". Задайте их на вкладке \"Параметры выходов\".";
// The unit of the value to type: current in mA, voltage in V.
inline constexpr const char* ValueUnits[2] = {"мА", "В"};
inline constexpr const char* FailureTitle = "Калибровка не проведена!";
inline constexpr const char* ErrorPrefix = "Ошибка: ";
inline constexpr const char* InitialError = "Ошибка: неизвестная ошибка.";

// Reasons shown after ErrorPrefix.
inline constexpr const char* ReasonInternal = "внутренняя ошибка ORBIS Utility.";
inline constexpr const char* ReasonLink = "потеря связи с модулем по сети RS485.";
// The writes of the measured value report the loss without the full stop.
inline constexpr const char* ReasonLinkValue = "потеря связи с модулем по сети RS485";
inline constexpr const char* ReasonCoefficient = "недопустимое значение калибровочного коэффициента.";
inline constexpr const char* ReasonCancelled = "отменено пользователем.";

// How long the module is given to compute the coefficient before its status is read.
inline constexpr int CoefficientWaitMs = 1000;
}  // namespace RhoCalibrateForm

class TRhoCalibrateForm : public TModalDialog {
 public:
  enum TPageIndex { tsPrepare = 0, tsValue = 1, tsYes = 2, tsNo = 3, PageCount = 4 };

  explicit TRhoCalibrateForm(TprModel* device);

  // ---- what the dialog shows (the view reads these after OnChanged)
  int ActivePage() const { return Page; }
  const std::string& btForwardCaption() const { return ForwardCaption; }
  bool btCancelEnabled() const { return CancelEnabled; }
  const std::string& lbErr() const { return ErrorText; }
  // The unit of the value asked for on the value page.
  std::string lbUnit() const;
  // On the success page: the output type and slew rate the calibration replaced.
  const std::string& lbOldSettings() const { return OldSettingsText; }
  bool Finished() const { return IsFinished; }
  bool Closed() const { return IsClosed; }
  TModalResult ModalResult() const { return Result; }

  // ---- the user's input, kept by the view as the user changes it
  int cbType = 0;     // item index: 0 current, 1 voltage
  int cbChannel = 0;  // item index: channel number - 1
  std::string edValue;

  // ---- life cycle and handlers
  void FormShow();
  void btForwardClick();
  void btCancelClick();
  // Whether a close request may close the dialog; a refused one is handled as "Отмена".
  bool FormCloseQuery();
  void FormClose();
  // A close request with the result the dialog ends with when it is granted. True when the
  // dialog closed (FormClose ran and OnClose was told).
  bool Close(TModalResult result);

  void ShowPage(int index);
  void ShowError(const std::string& reason);

  // The view follows the model after each change.
  std::function<void()> OnChanged;
  // The input focus goes to the value field.
  std::function<void()> OnFocusValue;
  // The dialog closed with this result; the view ends its modal loop.
  std::function<void(TModalResult)> OnClose;

 private:
  TTask<> PrepareStep();
  TTask<> ValueStep();
  // Starts a step; a step already under way keeps the forward button to itself.
  void RunStep(TTask<> step);
  TTask<> Stepping(TTask<> step);
  // The channel number (1 or 2) and the output type the channel is switched to (0 current
  // 0...20 mA, 2 voltage 0...10 V).
  int Channel() const { return cbChannel + 1; }
  int KindCode() const { return cbType * 2; }
  TprDevReg* ModuleRegister(const char* name) const;
  // The register prefix + channel number.
  TprDevReg* ChannelRegister(const char* prefix) const;
  TTask<bool> Read(TprDevReg* reg);
  TTask<bool> Write(TprDevReg* reg, std::string text);
  // The writes one after another up to the first that fails; true when all succeeded.
  TTask<bool> WriteInTurn(std::vector<std::pair<TprDevReg*, std::string>> writes);
  // The module's time to compute its coefficient, taken on the line.
  TTask<> WaitForCoefficient();
  // The preparation changes the channel's output type and slew rate: they are kept first, and
  // every way out but success writes them back.
  void KeepSettings(TprDevReg* outType, TprDevReg* slewRate);
  // The old settings as the user knows them: the items of their lists.
  std::string SettingsText(const char* format) const;
  void Changed() {
    if (OnChanged) OnChanged();
  }

  TprModel* Device;
  int Page = -1;
  std::string ForwardCaption = RhoCalibrateForm::btForwardNext;
  bool CancelEnabled = true;
  std::string ErrorText;
  std::string OldSettingsText;
  struct TKeptSettings {
    bool Due = false;  // the preparation began to change them
    int Channel = 1;
    std::string OutType, SlewRate;
  } Kept;
  bool IsFinished = false;
  bool IsClosed = false;
  TModalResult Result = TModalResult::None;
  // The step under way; reset when the user cancels, so that it ends where it waits.
  std::shared_ptr<char> StepToken;
  // Owns the closing writes of a module without a page (the renderer).
  std::shared_ptr<char> Alive = std::make_shared<char>();
};

#pragma once
// "Файл → Сохранить" and "Файл → Открыть" of the main window: a module's configuration, or
// with a port selected the whole bus's, saved to a file; a file opened, compared with the
// modules in a comparison window, and the ticked differences written and verified. The Qt
// side shows the file dialogs, the progress window and the comparison window; nothing here
// touches a widget.
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <string>
#include <vector>

#include "shell/UiServices.h"

struct TTreeNode;
class TMainForm;

// The progress window of a save or a load: what is being done, the gauge, and "Отмена",
// which stops the work before its next exchange (every register is then either untouched or
// written and verified).
class TConfigProgressForm {
 public:
  static constexpr const char* ReadCaption = "Чтение конфигурации";
  static constexpr const char* WriteCaption = "Запись конфигурации";
  static constexpr const char* CancelCaption = "Отмена";

  std::string Caption;
  std::string lbAction;  // the module and register at hand
  int GaugeMax = 1;
  int GaugePosition = 0;

  void btCancelClick() { CancelFlag = true; }
  bool Cancelled() const { return CancelFlag; }
  // Between two exchanges, on the line's thread: records the step and runs OnStep.
  void Step(const std::string& action, int position);
  // The step last recorded, for the view (the line's thread may record the next meanwhile).
  std::pair<std::string, int> Shown() const;

  // The view's refresh hook; the runner calls it on the GUI thread.
  std::function<void()> OnChange;
  // Set by the runner: what happens after a step is recorded (the program hands a refresh of
  // the window to the GUI thread). Runs where the work runs.
  std::function<void()> OnStep;

 private:
  std::atomic<bool> CancelFlag{false};
  mutable std::mutex StepLock;
};

class TLineExecutor;

// A save's or a load's work, started once its progress window shows: `ended` runs on the GUI
// thread when the work has ended (its error, if any, is the caller's).
using TConfigWork = std::function<void(std::function<void()> ended)>;
// Shows the progress window while the work runs and returns when it has ended. The program
// installs a runner that shows the window modally; without one the work is waited for in place.
using TConfigWorkRunner = std::function<void(TConfigProgressForm&, const TConfigWork&)>;
TConfigWorkRunner SetConfigWorkRunner(TConfigWorkRunner runner);
// Runs the exchanges of a save or a load as one job on the port's line, the progress window
// showing meanwhile; rethrows the work's error.
void RunConfigWork(TConfigProgressForm& W, TLineExecutor& line, const std::function<void()>& work);

// One register of the comparison: what the file holds, what the module holds, and after the
// writes how it went.
struct TCompareRow {
  std::string Register;
  std::string Caption;  // where the page shows it ("RS-485: Адрес"); empty where it does not
  std::string FileValue;
  std::string ModuleValue;  // "Н/Д" where it could not be read
  bool Network = false;     // bus address, baud rate, parity: shown, not ticked
  bool Ticked = false;
  bool Holds = false;  // written and read back as the file has it
  std::string Result;  // after the writes; empty before
};

// One module of the comparison (a module file has one, a bus file one per address).
struct TCompareGroup {
  int Address = 0;
  std::string FileModel;   // the model in the file
  std::string FoundModel;  // the model found at the address (empty: nothing answers)
  std::string Note;        // why the module is skipped; empty when it is compared
  std::vector<TCompareRow> Rows;
  std::string Title() const;  // the group's line in the window
};

// The comparison window: the differences with a tick each, "Записать" and "Отмена"; after the
// writes the same window lists how each ticked register went, with "Закрыть".
class TConfigCompareForm : public TModalDialog {
 public:
  static constexpr const char* CompareCaption = "Сравнение конфигурации";
  static constexpr const char* ResultCaption = "Результат записи";
  static constexpr const char* WriteButton = "Записать";
  static constexpr const char* CancelButton = "Отмена";
  static constexpr const char* CloseButton = "Закрыть";
  static constexpr const char* NoDifference = "Различий нет";
  static constexpr const char* NothingWritten = "Ничего не записано";
  // Column headers.
  static constexpr const char* ColRegister = "Регистр";
  static constexpr const char* ColCaption = "Параметр";
  static constexpr const char* ColFile = "В файле";
  static constexpr const char* ColModule = "В модуле";
  static constexpr const char* ColResult = "Результат";

  std::string FileName;  // shown above the list
  std::vector<TCompareGroup> Groups;
  bool ShowingResult = false;
  int Ticked() const;
};

// Whether "Сохранить" and "Открыть" apply to the node: a port, or a module of a known model.
bool ConfigFileApplies(const TTreeNode* node);

// "Сохранить" to the file at path: the selected module's configuration, or after a search of
// the selected port the bus file. Nothing is written when a register cannot be read, the search
// or the reading is stopped, or nothing answers; the user is told why. True when saved.
bool SaveConfigFile(TMainForm& main, TTreeNode* node, const std::string& path);

// "Открыть" of the file at path: a damaged file or one of another model is refused with a
// one-line reason; otherwise the comparison window, and with "Записать" the writes with their
// progress and the result list. True when something was written.
bool OpenConfigFile(TMainForm& main, TTreeNode* node, const std::string& path);

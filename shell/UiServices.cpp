#include "shell/UiServices.h"

namespace {
class TSilentUi : public TUiServices {
 public:
  void Beep() override {}
  void MessageBox(const std::string&, const std::string&, TMsgIcon) override {}
  void ShowError(const std::string&) override {}
  void ProcessMessages() override {}
  TCursorKind Cursor() override { return Current; }
  void SetCursor(TCursorKind cursor) override { Current = cursor; }
  TCursorKind Current = TCursorKind::Default;
};
TSilentUi SilentUi;
TUiServices* CurrentUi = &SilentUi;
}  // namespace

TUiServices& Ui() { return *CurrentUi; }

TUiServices* SetUi(TUiServices* services) {
  TUiServices* previous = CurrentUi;
  CurrentUi = services ? services : &SilentUi;
  return previous;
}

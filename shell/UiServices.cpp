#include "shell/UiServices.h"

namespace {
class TSilentUi : public TUiServices {
 public:
  void Beep() override {}
  void MessageBox(const std::string&, const std::string&, TMsgIcon) override {}
  void ShowError(const std::string&) override {}
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

void ShowError(std::exception_ptr error) {
  if (!error) return;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    Ui().ShowError(e.what());
  } catch (...) {
    Ui().ShowError("Неизвестная ошибка");
  }
}

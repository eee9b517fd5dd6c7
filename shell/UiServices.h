#pragma once
// What the logic below the Qt front needs of the user interface: the beep, message boxes, the
// default error box, letting queued messages through, the screen cursor and the password
// dialog. The program implements it with Qt; tests install a recorder.
#include <string>

enum class TMsgIcon { None, Information, Warning, Error };
enum class TCursorKind { Default, AppStart, Wait, HandPoint };

class TUiServices {
 public:
  virtual ~TUiServices() = default;
  virtual void Beep() = 0;
  virtual void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
  // The program's default error box for an error that reached the top.
  virtual void ShowError(const std::string& message) = 0;
  // Lets the queued messages of the program be handled.
  virtual void ProcessMessages() = 0;
  virtual TCursorKind Cursor() = 0;
  virtual void SetCursor(TCursorKind cursor) = 0;
  // The calibration password dialog, modal. Returns false when it was cancelled; otherwise
  // password holds the text entered.
  virtual bool PasswordDialog(std::string& password) {
    (void)password;
    return false;
  }
};

// The services in use (a silent do-nothing set until the program or a test installs one).
TUiServices& Ui();
TUiServices* SetUi(TUiServices* services);

#pragma once
// What the logic below the Qt front needs of the user interface: the beep, message boxes, the
// default error box, the screen cursor, the password dialog
// and the modal dialogs of the pages. The program implements it with Qt; tests install a
// recorder.
#include <exception>
#include <string>

enum class TMsgIcon { None, Information, Warning, Error };
enum class TCursorKind { Default, AppStart, Wait, HandPoint };

// How a modal dialog ended.
enum class TModalResult { None, Ok, Cancel };

// The logic of a modal dialog. The program picks the dialog's window by the logic's type, shows
// it modally and hands the user's actions to the logic; tests drive the logic themselves.
class TModalDialog {
 public:
  virtual ~TModalDialog() = default;
};

class TUiServices {
 public:
  virtual ~TUiServices() = default;
  virtual void Beep() = 0;
  virtual void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) = 0;
  // The program's default error box for an error that reached the top.
  virtual void ShowError(const std::string& message) = 0;
  virtual TCursorKind Cursor() = 0;
  virtual void SetCursor(TCursorKind cursor) = 0;
  // The calibration password dialog, modal. Returns false when it was cancelled; otherwise
  // password holds the text entered.
  virtual bool PasswordDialog(std::string& password) {
    (void)password;
    return false;
  }
  // The dialog asking for a network gateway's host and port, modal. Returns false when it
  // was cancelled; host and port come in as the dialog's initial values.
  virtual bool NetworkPortDialog(std::string& host, int& port) {
    (void)host;
    (void)port;
    return false;
  }
  // Shows the dialog modally and returns when it has closed, with its result (None when
  // there is no window for its class).
  virtual TModalResult ShowModal(TModalDialog& dialog) {
    (void)dialog;
    return TModalResult::None;
  }
};

// The services in use (a silent do-nothing set until the program or a test installs one).
TUiServices& Ui();
TUiServices* SetUi(TUiServices* services);

// Shows an error that reached the top of work waiting for the line in the default error box.
void ShowError(std::exception_ptr error);

// Puts the screen cursor back on every way out of a scope, errors included.
class TCursorRestore {
 public:
  explicit TCursorRestore(TCursorKind saved) : Saved(saved) {}
  ~TCursorRestore() { Ui().SetCursor(Saved); }
  TCursorRestore(const TCursorRestore&) = delete;
  TCursorRestore& operator=(const TCursorRestore&) = delete;

 private:
  TCursorKind Saved;
};

#pragma once
// The user-interface services of the program on Qt: the system beep, message boxes, the
// default error box (error icon, the program's title as caption), letting queued events
// through, the override cursor, the password dialog and the modal dialogs of the pages.
#include <QPointer>
#include <QWidget>

#include "comm/LineWorker.h"
#include "shell/UiServices.h"

class TQtUiServices : public TUiServices {
 public:
  void Beep() override;
  void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) override;
  void ShowError(const std::string& message) override;
  TCursorKind Cursor() override { return Current; }
  void SetCursor(TCursorKind cursor) override;
  bool PasswordDialog(std::string& password) override;
  bool NetworkPortDialog(std::string& host, int& port) override;
  // The window of the dialog's class, shown modally over the active window.
  TModalResult ShowModal(TModalDialog& dialog) override;

  // The window dialogs are centred on (the active window when unset).
  QPointer<QWidget> MainWindow;

 private:
  QWidget* DialogParent() const;
  TCursorKind Current = TCursorKind::Default;
};

// Hands work to the GUI thread through the application's event loop (from any thread).
class TQtGuiPoster : public TGuiPoster {
 public:
  void Post(std::function<void()> action) override;
};

// A text of the program for the screen: looked up in the catalogue (domain "default"; as
// written when there is none), UTF-8, "\r\n" line breaks as "\n". Every caption, label,
// list item, hint and message reaches Qt through here; the contents of text fields do not.
QString ToQt(const std::string& text);

#pragma once
// UI services for tests: records beeps, message boxes, errors and cursor changes, and runs a
// hook each time the logic lets queued messages through. Installed for its lifetime.
#include <functional>
#include <string>
#include <vector>

#include "shell/UiServices.h"

class TRecordingUi : public TUiServices {
 public:
  TRecordingUi() : Previous(SetUi(this)) {}
  ~TRecordingUi() override { SetUi(Previous); }
  TRecordingUi(const TRecordingUi&) = delete;
  TRecordingUi& operator=(const TRecordingUi&) = delete;

  void Beep() override { ++Beeps; }
  void MessageBox(const std::string& text, const std::string& caption, TMsgIcon icon) override {
    Messages.push_back({text, caption, icon});
  }
  void ShowError(const std::string& message) override { Errors.push_back(message); }
  TCursorKind Cursor() override { return Current; }
  void SetCursor(TCursorKind cursor) override {
    Current = cursor;
    CursorLog.push_back(cursor);
  }

  struct TMessage {
    std::string Text;
    std::string Caption;
    TMsgIcon Icon;
  };
  int Beeps = 0;
  std::vector<TMessage> Messages;
  std::vector<std::string> Errors;
  TCursorKind Current = TCursorKind::Default;
  std::vector<TCursorKind> CursorLog;

 private:
  TUiServices* Previous;
};

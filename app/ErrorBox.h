#pragma once
// Errors that reach the top of an event (a handler, a timer tick, a dialog) are caught there
// and shown in the program's default error box; the program goes on. No exception may cross
// the Qt event loop: wrap every slot and callback body in Guarded, and TOrbisApplication
// catches what still gets through as a last resort.
#include <QApplication>
#include <utility>

// Shows the exception being handled in the default error box (call it inside a catch).
void ShowCurrentException();

template <class F>
void Guarded(F&& action) {
  try {
    std::forward<F>(action)();
  } catch (...) {
    ShowCurrentException();
  }
}

class TOrbisApplication : public QApplication {
 public:
  TOrbisApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

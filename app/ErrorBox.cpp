#include "app/ErrorBox.h"

#include <exception>

#include "shell/UiServices.h"

void ShowCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    Ui().ShowError(e.what());
  } catch (...) {
    Ui().ShowError("Неизвестная ошибка");
  }
}

TOrbisApplication::TOrbisApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TOrbisApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowCurrentException();
    return false;
  }
}

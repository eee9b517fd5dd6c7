#pragma once
// One QApplication for a Qt test program on the offscreen platform, and user input delivered
// through QtTest as the window system delivers it (a click moves the focus).
#include <QApplication>
#include <QWidget>
#include <QtTest/QTest>
#include <cstdlib>

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "orbis-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Shows a top-level widget and makes it the active window; true once it is active.
inline bool ShowActive(QWidget& window) {
  TestApp();
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

inline void SendKey(QWidget* target, Qt::Key key) { QTest::keyClick(target, key); }
inline void SendText(QWidget* target, const QString& text) { QTest::keyClicks(target, text); }
inline void SendClick(QWidget* target) { QTest::mouseClick(target, Qt::LeftButton); }

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("ORBIS Utility");
  QMainWindow window;
  window.setWindowTitle("ORBIS Utility");
  window.resize(600, 494);
  window.show();
  return app.exec();
}

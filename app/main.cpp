#include <QStringList>

#include "app/ErrorBox.h"
#include "app/MainWindow.h"
#include "app/PageView.h"
#include "app/Program.h"
#include "app/QtUi.h"

int main(int argc, char** argv) {
  TOrbisApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ORBIS Utility"));
  InitProgramLocale();
  RegisterAppPageViews();

  TQtUiServices ui;
  SetUi(&ui);

  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const TProgramOptions options = ParseCommandLine(arguments);

  int result = 0;
  {
    TMainWindow window;
    ui.MainWindow = &window;
    std::string demoError;
    window.Logic().ExtraPorts = ExtraPortsFor(options, &demoError);
    if (!demoError.empty()) ui.ShowError(demoError);
    window.show();
    result = app.exec();
  }
  SetUi(nullptr);
  return result;
}

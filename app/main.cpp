#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "app/ErrorBox.h"
#include "app/MainWindow.h"
#include "app/PageView.h"
#include "app/Program.h"
#include "app/QtUi.h"
#include "sim/DemoBus.h"

int main(int argc, char** argv) {
  TProgramOptions options;
  {
    // --help, --version and a wrong command line are answered before the window system is
    // touched, so that they work without a display.
    QCoreApplication probe(argc, argv);
    InitProgramLocale();
    options = ParseCommandLine(QCoreApplication::arguments().mid(1));
  }
  if (!options.Error.empty()) {
    std::fprintf(stderr, "%s\n", options.Error.c_str());
    return 2;
  }
  if (options.Help || options.Version) {
    std::fputs((options.Help ? HelpText() : VersionText()).c_str(), stdout);
    return 0;
  }

  TOrbisApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ORBIS Utility"));
  // The desktop entry the window belongs to (its icon and name in the task bar).
  QGuiApplication::setDesktopFileName(QStringLiteral("orbis-utility"));
  // Again: QApplication has set the locale anew.
  InitProgramLocale();
  RegisterAppPageViews();

  TQtUiServices ui;
  SetUi(&ui);

  int result = 0;
  {
    TMainWindow window;
    window.RunLineOnWorker();
    ui.MainWindow = &window;
    std::string demoError;
    window.Logic().ExtraPorts = ExtraPortsFor(options, &demoError);
    if (!demoError.empty()) ui.ShowError(demoError);
    window.show();
    if (options.Demo) {
      // The tree first, then the demo bus's modules under its port.
      window.StartUp();
      ShowDemoBus(window.Logic(), StartDemoBus());
    }
    result = app.exec();
  }
  SetUi(nullptr);
  return result;
}

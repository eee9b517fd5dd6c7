// orbis-render: draws the program's main window into a PNG without a display, for checking
// the views by eye. It starts the window on the offscreen platform with the demo bus, adds
// the demo bus's modules under its port (as a search would find them), selects a tree node and
// a tab of its page, lets the event loop (and with it the page's polling) run, and saves.
// With --search it instead runs the module search on the demo port's page over the protocol
// given, saves the search window once it shows address --search-shot (6 by default) into
// --search-out, optionally presses its Stop button at address --stop-at, lists the modules
// found and then saves the main window.
// Without --size the window takes the size it first takes for a user (fitted to the pages).
// With --wizard N it opens the output calibration wizard on the selected RHO-05 module, steps
// it to page N (0 preparation, 1 value, 2 success, 3 failure: a measured value the module
// refuses) over the demo bus and saves the wizard's window into --wizard-out.
//
// With --config DIR it saves the selected module's configuration (or, with the demo port
// selected, the bus file after a search), changes three settings of the module (of two modules
// for the bus), opens the file and presses "Записать", saving the progress windows of the save
// and of the load, the comparison window and the result into DIR (config-save.png,
// config-compare.png, config-load.png, config-result.png).
//
// --node demo selects the demo bus's port.
//
//   orbis-render [--node INDEX|TEXT] [--tab N] [--scroll-right] [--wait MS] [--size WxH] [--no-modules]
//                [--port NAME...] (ports besides the demo bus's, e.g. tcp://127.0.0.1:4001)
//                [--about] [--out FILE.png]
//                [--search modbus|vela [--search-out FILE.png] [--search-shot N] [--stop-at N]]
//                [--wizard N [--wizard-out FILE.png]] [--config DIR]
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QScrollBar>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "app/AboutForm.h"
#include "app/ConfigDialogs.h"
#include "app/ErrorBox.h"
#include "app/MainWindow.h"
#include "app/PageView.h"
#include "app/PortView.h"
#include "app/Program.h"
#include "app/QtUi.h"
#include "app/RhoCalibrateDialog.h"
#include "app/SearchDialog.h"
#include "comm/prNode.h"
#include "models/prDevice.h"
#include "pages/RhoCalibrateUnit.h"
#include "shell/ConfigUnit.h"
#include "shell/PortUnit.h"
#include "sim/DemoBus.h"

namespace {

// Message boxes would wait for a click that never comes: print them instead.
class TPrintingUi : public TQtUiServices {
 public:
  void MessageBox(const std::string& text, const std::string& caption, TMsgIcon) override {
    std::fprintf(stderr, "orbis-render: [%s] %s\n", caption.c_str(), text.c_str());
  }
  void Beep() override {}
  bool PasswordDialog(std::string&) override { return false; }
  // The comparison window is saved as shown and answered with "Записать" (the result with
  // "Закрыть").
  TModalResult ShowModal(TModalDialog& dialog) override {
    auto* compare = dynamic_cast<TConfigCompareForm*>(&dialog);
    if (!compare || ConfigShots.isEmpty()) return TQtUiServices::ShowModal(dialog);
    TConfigCompareDialog window(*compare, MainWindow);
    window.show();
    QApplication::processEvents();
    const QString name = compare->ShowingResult ? "config-result.png" : "config-compare.png";
    if (!window.grab().save(ConfigShots + "/" + name)) Failed = true;
    return TModalResult::Ok;
  }
  QString ConfigShots;
  QSet<QString> Shot;
  bool Failed = false;
};

// The progress windows of a save and of a load, each saved half-way.
void InstallShootingProgress(TPrintingUi& ui) {
  SetConfigWorkRunner([&ui](TConfigProgressForm& model, const TConfigWork& work) {
    TConfigProgressDialog dialog(model, work, ui.MainWindow);
    // The line runs in place here: each step is shown (and shot) before the next exchange.
    model.OnStep = [&model] {
      model.OnChange();
      QApplication::processEvents();
    };
    const QString name = model.Caption == TConfigProgressForm::ReadCaption ? "config-save.png"
                                                                           : "config-load.png";
    auto sync = model.OnChange;
    model.OnChange = [&] {
      sync();
      // The first window of each kind (the reading before a comparison is not shot).
      if (ui.Shot.contains(name) || model.GaugePosition * 2 < model.GaugeMax) return;
      ui.Shot.insert(name);
      if (!dialog.grab().save(ui.ConfigShots + "/" + name)) ui.Failed = true;
    };
    dialog.exec();
  });
}

// Saves the configuration of the target, changes some settings, opens the file again.
bool ShootConfig(TMainForm& logic, TTreeNode* target, const QString& dir) {
  const std::string file = (dir + "/config.xml").toStdString();
  if (!SaveConfigFile(logic, target, file)) return false;
  std::vector<TprModel*> modules;
  if (auto* m = dynamic_cast<TprModel*>(target->Data)) modules.push_back(m);
  for (auto& child : target->Children)
    if (auto* m = dynamic_cast<TprModel*>(child->Data); m && modules.size() < 2) modules.push_back(m);
  for (TprModel* m : modules) {
    m->WriteRegister(m->NETWDT, "250");
    m->WriteRegister(m->MNAME, "Dryer 2");
    if (TprDevReg* filter = m->FindRegister("FILTER1")) m->WriteRegister(filter, "4");
  }
  return OpenConfigFile(logic, target, file);
}

// The wizard of the selected module stepped to a page, saved; the wizard then closes as the
// user would close it, ending the module's tuning mode.
bool SaveWizard(TTreeNode* target, int page, const QString& out, QWidget* parent) {
  auto* device = dynamic_cast<TprModel*>(target->Data);
  if (!device) {
    std::fprintf(stderr, "orbis-render: the selected node is no module\n");
    return false;
  }
  TRhoCalibrateForm wizard(device);
  TRhoCalibrateDialog dialog(wizard, parent);
  dialog.show();
  if (page == TRhoCalibrateForm::tsValue || page == TRhoCalibrateForm::tsYes ||
      page == TRhoCalibrateForm::tsNo)
    wizard.btForwardClick();
  if (page == TRhoCalibrateForm::tsValue) dialog.edValue->setText(QStringLiteral("20.07"));
  if (page == TRhoCalibrateForm::tsYes || page == TRhoCalibrateForm::tsNo) {
    dialog.edValue->setText(page == TRhoCalibrateForm::tsYes ? QStringLiteral("20.07")
                                                             : QStringLiteral("12.5"));
    wizard.btForwardClick();
  }
  QApplication::processEvents();
  const bool saved = wizard.ActivePage() == page && dialog.grab().save(out);
  if (!saved) std::fprintf(stderr, "orbis-render: wizard page %d not saved\n", wizard.ActivePage());
  // Refused before a final page (it then shows the failure page), granted the second time.
  if (!wizard.Close(TModalResult::Cancel)) wizard.Close(TModalResult::Cancel);
  return saved;
}

int Usage() {
  std::fprintf(stderr,
               "usage: orbis-render [--node INDEX|TEXT] [--tab N] [--scroll-right] [--wait MS] [--size WxH]\n"
               "                    [--port NAME]...\n"
               "                    [--no-modules] [--about] [--out FILE.png]\n"
               "                    [--search modbus|vela [--search-out FILE.png]\n"
               "                     [--search-shot N] [--stop-at N]]\n"
               "                    [--wizard N [--wizard-out FILE.png]] [--config DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TOrbisApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ORBIS Utility"));
  InitProgramLocale();
  TPrintingUi ui;
  SetUi(&ui);

  QString node = QStringLiteral("0");
  int tab = -1;
  int waitMs = 700;
  QSize size(600, 494);
  bool modules = true;
  bool about = false;
  QString out = QStringLiteral("orbis.png");
  QString search;
  QString searchOut = QStringLiteral("search.png");
  int searchShot = 6;
  int stopAt = 0;
  int wizardPage = -1;
  QString wizardOut = QStringLiteral("wizard.png");
  bool nodeGiven = false;
  bool sizeGiven = false;
  bool scrollRight = false;
  std::vector<std::string> ports;
  QString configDir;
  const QStringList args = QCoreApplication::arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--node" && hasValue) {
      node = args[++i];
      nodeGiven = true;
    } else if (a == "--search" && hasValue) {
      search = args[++i];
      if (search != "modbus" && search != "vela") return Usage();
      modules = false;
    } else if (a == "--search-out" && hasValue) {
      searchOut = args[++i];
    } else if (a == "--search-shot" && hasValue) {
      searchShot = args[++i].toInt();
    } else if (a == "--stop-at" && hasValue) {
      stopAt = args[++i].toInt();
    } else if (a == "--wizard" && hasValue) {
      wizardPage = args[++i].toInt();
      if (wizardPage < 0 || wizardPage >= TRhoCalibrateForm::PageCount) return Usage();
    } else if (a == "--config" && hasValue) {
      configDir = args[++i];
    } else if (a == "--wizard-out" && hasValue) {
      wizardOut = args[++i];
    } else if (a == "--tab" && hasValue) {
      tab = args[++i].toInt();
    } else if (a == "--wait" && hasValue) {
      waitMs = args[++i].toInt();
    } else if (a == "--size" && hasValue) {
      const QStringList wh = args[++i].split('x');
      if (wh.size() != 2) return Usage();
      size = QSize(wh[0].toInt(), wh[1].toInt());
      sizeGiven = true;
    } else if (a == "--scroll-right") {
      scrollRight = true;
    } else if (a == "--port" && hasValue) {
      ports.push_back(args[++i].toStdString());
    } else if (a == "--no-modules") {
      modules = false;
    } else if (a == "--about") {
      about = true;
    } else if (a == "--out" && hasValue) {
      out = args[++i];
    } else {
      return Usage();
    }
  }

  if (about) {
    TAboutView box;
    box.show();
    QApplication::processEvents();
    const bool saved = box.grab().save(out);
    SetUi(nullptr);
    return saved ? 0 : 1;
  }

  std::string error;
  const std::string demo = StartDemoBus(&error);
  if (demo.empty()) std::fprintf(stderr, "orbis-render: no demo bus: %s\n", error.c_str());
  if (!search.isEmpty() && !nodeGiven) node = QString::fromStdString(demo);
  if (node == QStringLiteral("demo")) node = QString::fromStdString(demo);

  RegisterAppPageViews();
  int result = 0;
  {
    TMainWindow window;
    ui.MainWindow = &window;
    if (!demo.empty()) window.Logic().ExtraPorts.push_back(demo);
    for (const std::string& port : ports) window.Logic().ExtraPorts.push_back(port);
    window.resize(size);
    window.FitToPages = !sizeGiven;
    window.show();
    window.StartUp();

    TMainForm& logic = window.Logic();
    ShowDemoBus(logic, demo, modules);

    const std::vector<TTreeNode*> items = logic.Items();
    TTreeNode* target = nullptr;
    bool isIndex = false;
    const int index = node.toInt(&isIndex);
    if (isIndex && index >= 0 && index < int(items.size())) target = items[index];
    for (TTreeNode* item : items)
      if (!target && QString::fromStdString(item->Text) == node) target = item;
    if (!target) {
      std::fprintf(stderr, "orbis-render: no tree node %s\n", qPrintable(node));
      result = 1;
    } else {
      window.tvDevices->setCurrentItem(window.ItemOf(target));
      if (tab >= 0 && window.pMain->PageView()) {
        if (auto* tabs = window.pMain->PageView()->findChild<QTabWidget*>()) tabs->setCurrentIndex(tab);
      }
      if (!search.isEmpty()) {
        auto* view = qobject_cast<TPortView*>(window.pMain->PageView());
        if (!view) {
          std::fprintf(stderr, "orbis-render: %s shows no port page\n", qPrintable(node));
          result = 1;
        } else {
          static_cast<TPortForm*>(view->Page())->cbProtocol->UserChoose(search == "vela" ? 2 : 0);
          bool shot = false;
          QTimer watch;
          watch.setInterval(0);
          QObject::connect(&watch, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
              auto* dialog = qobject_cast<TSearchDialog*>(w);
              if (!dialog || !dialog->isVisible()) continue;
              const int looking = dialog->lbLooking->text().toInt();
              if (!shot && looking >= searchShot) {
                shot = true;
                if (!dialog->grab().save(searchOut)) result = 1;
              }
              if (stopAt > 0 && looking >= stopAt) dialog->btStop->click();
            }
          });
          watch.start();
          qobject_cast<QAbstractButton*>(view->Widget("bbSearch"))->click();
          watch.stop();
          for (TTreeNode* item : logic.Items())
            if (item->Level() == 2)
              std::printf("%s\t%s\n", item->Text.c_str(), item->Data->KindText.c_str());
        }
      }
      QTimer::singleShot(waitMs, &app, &QCoreApplication::quit);
      app.exec();
      if (scrollRight && window.pMain->PageView()) {
        // The visible tab scrolled to its right end, as a user reads its last channels.
        for (QScrollArea* sheet : window.pMain->findChildren<QScrollArea*>())
          sheet->horizontalScrollBar()->setValue(sheet->horizontalScrollBar()->maximum());
        QApplication::processEvents();
      }
      if (wizardPage >= 0 && !SaveWizard(target, wizardPage, wizardOut, &window)) result = 1;
      if (!configDir.isEmpty()) {
        ui.ConfigShots = configDir;
        InstallShootingProgress(ui);
        if (!ShootConfig(logic, logic.Selected(), configDir) || ui.Failed) result = 1;
        QTimer::singleShot(waitMs, &app, &QCoreApplication::quit);
        app.exec();
      }
      if (!window.grab().save(out)) {
        std::fprintf(stderr, "orbis-render: cannot write %s\n", qPrintable(out));
        result = 1;
      }
    }
  }
  StopDemoBus();
  SetUi(nullptr);
  return result;
}

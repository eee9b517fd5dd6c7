#pragma once
// The main window: the device tree (tvDevices) on the left, the splitter (spTreePanel), the
// page pane (pMain) on the right and the main menu. It owns the serial line and renders the
// main-window logic (TMainForm): the tree, the page views, the menus' actions.
#include <QIcon>
#include <QMainWindow>
#include <memory>

#include "app/QtUi.h"
#include "comm/LineWorker.h"
#include "shell/MainUnit.h"

class QAction;
class QMenu;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TPageWidget;
class TTerminalWindow;

// The right-hand pane: shows its own text while no page covers it.
class TMainPane : public QWidget {
  Q_OBJECT
 public:
  explicit TMainPane(QWidget* parent = nullptr);
  void SetPage(QWidget* view);
  QWidget* PageView() const { return View; }
  static QString Text();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QWidget* View = nullptr;
};

class TMainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // The line on the machine's serial devices unless a line is given (tests, the renderer).
  explicit TMainWindow(std::unique_ptr<TCustomComPort> comPort = nullptr,
                       QWidget* parent = nullptr);
  ~TMainWindow() override;

  TMainForm& Logic() { return *Form; }
  // Runs the line's work on a line worker of its own thread from now on, so that the window
  // never waits for the line. Call before StartUp.
  void RunLineOnWorker();
  TCustomComPort& Line() { return *ComPort; }
  // The first-show work: the ports, the tree, the two start selections; with no port, the
  // message and the end of the program. Queued from the first show; runs once.
  void StartUp();
  bool Started() const { return StartDone; }
  // The tree item of a node (nullptr if none).
  QTreeWidgetItem* ItemOf(const TTreeNode* node) const;
  TTreeNode* NodeOf(const QTreeWidgetItem* item) const;

  QTreeWidget* tvDevices;
  QSplitter* spTreePanel;
  TMainPane* pMain;
  QMenu* miFile;
  QAction* miOpen;
  QAction* miSave;
  QAction* miExit;
  QMenu* miTools;
  QAction* miTerminal;
  QMenu* miConfig;
  QAction* miEnableCalibrate;
  QMenu* miHelp;
  QAction* miShowHelp;
  QAction* miAbout;

  // Whether the first show grows the window to fit the model pages (off for a size given on
  // purpose, as the renderer's --size).
  bool FitToPages = true;

  static constexpr int TreeMinWidth = 141;
  static constexpr int TreeMaxWidth = 241;

 protected:
  // The first size grows from the minimum to what the widest and the tallest tab of the model
  // pages need, as far as the screen allows.
  void FitPages();
  void showEvent(QShowEvent* event) override;

 private:
  void BuildMenus();
  void RebuildTree();
  void ShowPageView(TprNode* node);
  void ReleasePageView(TprForm* page);
  void tvDevicesChange(QTreeWidgetItem* current);
  void miOpenClick();
  void miSaveClick();
  void miShowHelpClick();
  void miAboutClick();
  void miTerminalClick();
  // "Открыть" and "Сохранить" enabled while a port or a module of a known model is selected.
  void FollowSelection();

  std::unique_ptr<TCustomComPort> ComPort;
  std::unique_ptr<TMainForm> Form;
  TQtGuiPoster GuiPoster;
  std::unique_ptr<TLineWorker> Worker;
  QIcon Icons[3];
  bool StartQueued = false;
  bool StartDone = false;
  TTerminalWindow* Terminal = nullptr;  // made on first use, a child window of this one
};

// The folder of the program file, with its trailing separator.
QString ProgramFolder();
// The user manual's start page in a language ("ru", "en"): beside the program in the build
// folder, else in the installed documentation relative to the program.
QString ManualFile(const QString& programFolder, const QString& language);
// The language of the interface, as the manual's folders are named.
QString ManualLanguage();

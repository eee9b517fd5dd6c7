#include "app/MainWindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/AboutForm.h"
#include "app/ConfigDialogs.h"
#include "app/ErrorBox.h"
#include "app/PageView.h"
#include "app/PageWidget.h"
#include "app/QtUi.h"
#include "app/TerminalWindow.h"
#include "app/TreeIcons.h"
#include "app/TreeRowTips.h"
#include "comm/Resources.h"
#include "comm/prNode.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "shell/CompUnit.h"
#include "shell/ConfigUnit.h"
#include "shell/prUnit.h"

namespace {
constexpr int NodeRole = Qt::UserRole + 1;
constexpr int TreeInitialWidth = 185;

// How much more room than a pane of the given size the tabs of the model pages need at most:
// each page is laid out off screen at that size and each tab's rows are compared with the
// room its sheet got.
QSize PagesOverflow(const QSize& pane) {
  QSize grow(0, 0);
  TprPort port;
  for (int model = 1; model < ModelCount; ++model) {
    std::unique_ptr<TprNode> device(CreateDevice(model, 1, &port));
    std::unique_ptr<TprForm> page(CreatePage(device->PageClass, device.get()));
    std::unique_ptr<QWidget> view(CreatePageView(page->ClassName, page.get(), nullptr));
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->resize(pane);
    view->show();
    for (QTabWidget* tabs : view->findChildren<QTabWidget*>()) {
      // Every tab's caption in sight, without the bar's scroll buttons.
      QTabBar* bar = tabs->tabBar();
      int captions = 0;
      for (int i = 0; i < bar->count(); ++i) captions += bar->tabRect(i).width();
      grow.setWidth(std::max(grow.width(), captions + 4 - tabs->width()));
      for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        auto* sheet = qobject_cast<QScrollArea*>(tabs->widget(i));
        if (sheet && sheet->widget())
          grow = grow.expandedTo(sheet->widget()->sizeHint() - sheet->maximumViewportSize());
      }
    }
    view->hide();
  }
  return grow;
}
QString ConfigFilter() { return ToQt("Файл конфигурации (*.xml)"); }
}  // namespace

QString ManualLanguage() {
  // The catalogue of the interface's language names the manual written in it.
  const QString code = QString::fromStdString(ResStr("Русский (ru)")).section('(', 1).section(')', 0, 0);
  return code.isEmpty() ? QStringLiteral("ru") : code;
}

QString ManualFile(const QString& programFolder, const QString& language) {
  const QString page = language + QStringLiteral("/index.html");
  // Beside the program in the build folder, else where the package installs it.
  const QString build = programFolder + QStringLiteral("/manual/") + page;
  if (QFileInfo::exists(build)) return QDir::cleanPath(build);
  return QDir::cleanPath(programFolder + QStringLiteral("/") + QStringLiteral(ORBIS_DOC_FROM_BIN) +
                         QStringLiteral("/") + page);
}

QString ProgramFolder() {
  QString folder = QCoreApplication::applicationDirPath();
  if (!folder.endsWith('/')) folder += '/';
  return folder;
}

// --- TMainPane -------------------------------------------------------------------------------

TMainPane::TMainPane(QWidget* parent) : QWidget(parent) {
  setObjectName("pMain");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
}

QString TMainPane::Text() { return ToQt("Идет подготовка страницы свойств..."); }

void TMainPane::SetPage(QWidget* view) {
  if (View) layout()->removeWidget(View);
  View = view;
  if (View) {
    layout()->addWidget(View);
    View->show();
  }
  update();
}

void TMainPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawText(rect(), Qt::AlignCenter, Text());
}

// --- TMainWindow -----------------------------------------------------------------------------

TMainWindow::TMainWindow(std::unique_ptr<TCustomComPort> comPort, QWidget* parent)
    : QMainWindow(parent), ComPort(std::move(comPort)) {
  setObjectName("MainForm");
  if (!ComPort) ComPort = std::make_unique<TComPort>();
  Form = std::make_unique<TMainForm>(*ComPort);
  for (int i = 0; i < 3; ++i) Icons[i] = TreeIcon(i);

  setWindowTitle(QStringLiteral("ORBIS Utility"));
  setWindowIcon(ProgramIcon());

  spTreePanel = new QSplitter(Qt::Horizontal, this);
  spTreePanel->setObjectName("spTreePanel");
  spTreePanel->setOpaqueResize(true);
  spTreePanel->setChildrenCollapsible(false);

  tvDevices = new QTreeWidget(spTreePanel);
  tvDevices->setObjectName("tvDevices");
  // The tree shows no header, so a screen reader has only this to announce it by.
  tvDevices->setAccessibleName(ToQt("Устройства"));
  tvDevices->setHeaderHidden(true);
  tvDevices->setColumnCount(1);
  tvDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvDevices->setSelectionMode(QAbstractItemView::SingleSelection);
  tvDevices->setIndentation(19);
  tvDevices->setIconSize(QSize(16, 16));
  // Long port names (by-id paths) differ near their end: the tail is kept, and the whole name
  // is the row's tool tip.
  tvDevices->setItemDelegate(new TTailElideDelegate(tvDevices));
  tvDevices->setMinimumWidth(TreeMinWidth);
  tvDevices->setMaximumWidth(TreeMaxWidth);
  // The selection stays as visible when the tree loses the focus.
  QPalette palette = tvDevices->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  tvDevices->setPalette(palette);
  new TCutRowTips(tvDevices);

  pMain = new TMainPane(spTreePanel);
  spTreePanel->addWidget(tvDevices);
  spTreePanel->addWidget(pMain);
  spTreePanel->setStretchFactor(0, 0);
  spTreePanel->setStretchFactor(1, 1);
  spTreePanel->setSizes({TreeInitialWidth, 600 - TreeInitialWidth});
  setCentralWidget(spTreePanel);

  BuildMenus();

  resize(600, 494);
  setMinimumSize(600, 494);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  Form->OnTreeChanged = [this] { RebuildTree(); };
  Form->OnPageShown = [this](TprNode* node) { ShowPageView(node); };
  Form->OnPageReleased = [this](TprForm* page) { ReleasePageView(page); };
  Form->DeferRelease = [](std::function<void()> destroy) {
    QTimer::singleShot(0, qApp, [destroy = std::move(destroy)] { Guarded(destroy); });
  };

  connect(tvDevices, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { tvDevicesChange(current); });
  // The computer node's menu adds a port on a network gateway.
  tvDevices->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(tvDevices, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const TTreeNode* node = NodeOf(tvDevices->itemAt(at));
    if (!node || node->Level() != 0) return;
    QMenu menu(tvDevices);
    QAction* add = menu.addAction(ToQt(kAddNetworkPortText));
    add->setObjectName("miAddNetPort");
    if (menu.exec(tvDevices->viewport()->mapToGlobal(at)) == add)
      Guarded([this] { Form->AddNetworkPortClick(); });
  });
}

TMainWindow::~TMainWindow() {
  // The terminal reads the tree: it goes before the logic.
  delete Terminal;
  // The page view lets go of its page before the logic frees it.
  ReleasePageView(nullptr);
  // The shown page hides while its line is still there (a port page hands its settings to
  // the line as it hides).
  Form->DropShownPage();
  // The worker ends with the exchange in flight (its work still queued is dropped) before
  // the ports and the line it works on go.
  Worker.reset();
  Form.reset();
  try {
    ComPort->Close();
  } catch (const EComPort&) {
    // A line whose device went away: it is closed all the same.
  }
}

void TMainWindow::RunLineOnWorker() {
  if (Worker) return;
  Worker = std::make_unique<TLineWorker>(GuiPoster);
  Form->Line = Worker.get();
}

void TMainWindow::BuildMenus() {
  auto action = [this](QMenu* menu, const char* name, const char* text, bool enabled) {
    QAction* a = menu->addAction(ToQt(text));
    a->setObjectName(name);
    a->setEnabled(enabled);
    return a;
  };
  miFile = menuBar()->addMenu(ToQt("Файл"));
  miFile->setObjectName("miFile");
  // Open and save follow the selection: a port or a module of a known model.
  miOpen = action(miFile, "miOpen", "Открыть", false);
  miSave = action(miFile, "miSave", "Сохранить", false);
  miExit = action(miFile, "miExit", "Выход", true);
  miTools = menuBar()->addMenu(ToQt("Инструменты"));
  miTools->setObjectName("miTools");
  miTerminal = action(miTools, "miTerminal", "Терминал", true);
  miConfig = menuBar()->addMenu(ToQt("Настройки"));
  miConfig->setObjectName("miConfig");
  miEnableCalibrate = action(miConfig, "miEnableCalibrate", "Разрешить калибровку", true);
  miHelp = menuBar()->addMenu(ToQt("Справка"));
  miHelp->setObjectName("miHelp");
  miShowHelp = action(miHelp, "miShowHelp", "Вызов справки", true);
  miShowHelp->setShortcut(QKeySequence::HelpContents);
  miShowHelp->setShortcutContext(Qt::ApplicationShortcut);
  miAbout = action(miHelp, "miAbout", "О программе", true);

  connect(miOpen, &QAction::triggered, this, [this] { Guarded([this] { miOpenClick(); }); });
  connect(miSave, &QAction::triggered, this, [this] { Guarded([this] { miSaveClick(); }); });
  connect(miExit, &QAction::triggered, this, [this] { close(); });
  connect(miTerminal, &QAction::triggered, this, [this] { Guarded([this] { miTerminalClick(); }); });
  connect(miEnableCalibrate, &QAction::triggered, this,
          [this] { Guarded([this] { Form->miEnableCalibrateClick(); }); });
  connect(miShowHelp, &QAction::triggered, this, [this] { Guarded([this] { miShowHelpClick(); }); });
  connect(miAbout, &QAction::triggered, this, [this] { Guarded([this] { miAboutClick(); }); });
}

void TMainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!StartQueued) {
    StartQueued = true;
    QTimer::singleShot(0, this, [this] { StartUp(); });
  }
}

void TMainWindow::StartUp() {
  if (StartDone) return;
  StartDone = true;
  StartQueued = true;
  FitPages();
  bool ports = true;
  Guarded([&] { ports = Form->FormShowFirst(); });
  RebuildTree();
  // No serial port: the message was shown; the program ends with its window.
  if (!ports) close();
}

void TMainWindow::FitPages() {
  // Maximised or resized by the user (or the window system) already: their size stands.
  if (!FitToPages || isMaximized() || isFullScreen() || size() != minimumSize()) return;
  const QSize grow = PagesOverflow(pMain->size());
  if (grow.width() <= 0 && grow.height() <= 0) return;
  QSize wanted = size() + grow.expandedTo(QSize(0, 0));
  if (QScreen* s = screen()) {
    const QRect room = s->availableGeometry();
    // The frame the window system adds stays on the screen too.
    const QSize frame = frameGeometry().size() - size();
    wanted = wanted.boundedTo(room.size() - frame);
    resize(wanted);
    move(room.center() - rect().center());
  } else {
    resize(wanted);
  }
}

QTreeWidgetItem* TMainWindow::ItemOf(const TTreeNode* node) const {
  for (QTreeWidgetItemIterator it(tvDevices); *it; ++it)
    if (NodeOf(*it) == node) return *it;
  return nullptr;
}

TTreeNode* TMainWindow::NodeOf(const QTreeWidgetItem* item) const {
  return item ? reinterpret_cast<TTreeNode*>(item->data(0, NodeRole).value<quintptr>())
              : nullptr;
}

void TMainWindow::RebuildTree() {
  const QSignalBlocker block(tvDevices);
  tvDevices->setUpdatesEnabled(false);
  tvDevices->clear();
  QTreeWidgetItem* selected = nullptr;
  std::function<void(TTreeNode*, QTreeWidgetItem*)> add = [&](TTreeNode* node,
                                                              QTreeWidgetItem* parent) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvDevices);
    item->setText(0, ToQt(node->Text));
    if (!node->Hint.empty()) item->setToolTip(0, ToQt(node->Hint));
    item->setIcon(0, Icons[node->ImageIndex >= 0 && node->ImageIndex < 3 ? node->ImageIndex : 2]);
    item->setData(0, NodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    if (node == Form->Selected()) selected = item;
    for (auto& child : node->Children) add(child.get(), item);
  };
  if (Form->Root()) add(Form->Root(), nullptr);
  tvDevices->expandAll();
  if (selected) tvDevices->setCurrentItem(selected);
  tvDevices->setUpdatesEnabled(true);
  FollowSelection();
}

void TMainWindow::FollowSelection() {
  const bool applies = ConfigFileApplies(Form->Selected());
  miOpen->setEnabled(applies);
  miSave->setEnabled(applies);
}

void TMainWindow::tvDevicesChange(QTreeWidgetItem* current) {
  TTreeNode* node = NodeOf(current);
  if (node) Guarded([&] { Form->Select(node); });
  FollowSelection();
}

void TMainWindow::ShowPageView(TprNode* node) {
  TprForm* page = node->Page;
  if (!page) return;
  QWidget* view = CreatePageView(page->ClassName, page, pMain);
  pMain->SetPage(view);
  if (auto* pageView = qobject_cast<TPageWidget*>(view)) pageView->RefreshAll();
}

void TMainWindow::ReleasePageView(TprForm*) {
  QWidget* view = pMain->PageView();
  if (!view) return;
  pMain->SetPage(nullptr);
  if (auto* pageView = qobject_cast<TPageWidget*>(view)) {
    pageView->Release();
  } else {
    view->hide();
    view->deleteLater();
  }
}

void TMainWindow::miOpenClick() {
  QFileDialog dialog(this, ToQt("Загрузить конфигурацию"), ProgramFolder(), ConfigFilter());
  dialog.setObjectName("odLoadConfig");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("xml"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  InstallConfigDialogs();
  OpenConfigFile(*Form, Form->Selected(), dialog.selectedFiles().first().toStdString());
  tvDevices->expandAll();
}

void TMainWindow::miSaveClick() {
  QFileDialog dialog(this, ToQt("Сохранить конфигурацию"), ProgramFolder(), ConfigFilter());
  dialog.setObjectName("sdSaveConfig");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("xml"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  InstallConfigDialogs();
  SaveConfigFile(*Form, Form->Selected(), dialog.selectedFiles().first().toStdString());
}

void TMainWindow::miShowHelpClick() {
  const QString file = ManualFile(QCoreApplication::applicationDirPath(), ManualLanguage());
  if (!QFileInfo::exists(file)) {
    Ui().MessageBox(ResStr("Руководство пользователя не найдено: ") + file.toStdString(),
                    "ORBIS Utility", TMsgIcon::Error);
    return;
  }
  QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void TMainWindow::miAboutClick() {
  TAboutView about(this);
  about.exec();
}

void TMainWindow::miTerminalClick() {
  if (!Terminal) {
    Terminal = new TTerminalWindow(Form.get(), this);
    Terminal->PlaceBeside(this);
  }
  Terminal->show();
  Terminal->raise();
  Terminal->activateWindow();
}

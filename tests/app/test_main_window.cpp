// The Qt main window over the main-window logic: splitter bounds, menus, the computer page,
// selection and the line, the error box at the top, the about box and the password dialog.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>

#include "app/AboutForm.h"
#include "app/MainWindow.h"
#include "app/PageWidget.h"
#include "app/PasswordForm.h"
#include "app/QtUi.h"
#include "shell/CompUnit.h"
#include "support/QtApp.h"
#include "support/RecordingComBackend.h"
#include "support/RecordingUi.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    TestApp();
    auto backend = std::make_unique<TRecordingComBackend>();
    Rec = backend.get();
    Window = std::make_unique<TMainWindow>(std::make_unique<TComPort>(std::move(backend)));
    Window->Logic().EnumPorts = [this](std::vector<std::string>& list) { list = Ports; };
  }

  void Start() {
    Window->show();
    Window->StartUp();
  }

  // Drags the splitter handle so that the tree would become `width` pixels wide.
  void DragSplitterTo(int width) {
    QSplitterHandle* handle = Window->spTreePanel->handle(1);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
      const QPoint global = handle->mapToGlobal(local);
      QMouseEvent event(type, local, global, Qt::LeftButton, buttons, Qt::NoModifier);
      QApplication::sendEvent(handle, &event);
    };
    send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
    const QPoint target =
        handle->mapFromGlobal(Window->spTreePanel->mapToGlobal(QPoint(width + grip.x(), grip.y())));
    send(QEvent::MouseMove, target, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, target, Qt::NoButton);
  }

  QTreeWidgetItem* TreeItem(int index) {
    QTreeWidgetItemIterator it(Window->tvDevices);
    for (int i = 0; i < index && *it; ++i) ++it;
    return *it;
  }

  TRecordingUi Ui;
  TRecordingComBackend* Rec;
  std::vector<std::string> Ports = {"/dev/ttyUSB0"};
  std::unique_ptr<TMainWindow> Window;
};

TEST_F(MainWindowTest, WindowHasItsCaptionAndMinimumSize) {
  EXPECT_EQ(Window->windowTitle(), "ORBIS Utility");
  EXPECT_EQ(Window->minimumSize(), QSize(600, 494));
  EXPECT_EQ(Window->size(), QSize(600, 494));
  EXPECT_EQ(Window->tvDevices->indentation(), 19);
  EXPECT_EQ(Window->tvDevices->editTriggers(), QAbstractItemView::NoEditTriggers);
  // The tree is announced by a name of its own, not by its first row.
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Window->tvDevices)->text(QAccessible::Name),
            "Устройства");
}

TEST_F(MainWindowTest, SplitterDragStopsAtTheTreeBounds) {
  Start();
  DragSplitterTo(300);
  EXPECT_EQ(Window->tvDevices->width(), 241);
  EXPECT_EQ(Window->pMain->geometry().left(),
            241 + Window->spTreePanel->handleWidth());
  DragSplitterTo(50);
  EXPECT_EQ(Window->tvDevices->width(), 141);
  DragSplitterTo(200);
  EXPECT_EQ(Window->tvDevices->width(), 200);
}

TEST_F(MainWindowTest, MenuItemsHaveTheirCaptionsAndStates) {
  struct TItem {
    QAction* Action;
    const char* Name;
    const char* Text;
    bool Enabled;
  };
  const TMainWindow& w = *Window;
  const TItem items[] = {
      {w.miFile->menuAction(), "miFile", "Файл", true},
      {w.miOpen, "miOpen", "Открыть", false},
      {w.miSave, "miSave", "Сохранить", false},
      {w.miExit, "miExit", "Выход", true},
      {w.miTools->menuAction(), "miTools", "Инструменты", true},
      {w.miTerminal, "miTerminal", "Терминал", true},
      {w.miConfig->menuAction(), "miConfig", "Настройки", true},
      {w.miEnableCalibrate, "miEnableCalibrate", "Разрешить калибровку", true},
      {w.miHelp->menuAction(), "miHelp", "Справка", true},
      {w.miShowHelp, "miShowHelp", "Вызов справки", true},
      {w.miAbout, "miAbout", "О программе", true},
  };
  for (const TItem& item : items) {
    SCOPED_TRACE(item.Name);
    EXPECT_EQ(item.Action->text(), QString::fromUtf8(item.Text));
    EXPECT_EQ(item.Action->isEnabled(), item.Enabled);
  }
  EXPECT_EQ(w.miShowHelp->shortcut(), QKeySequence(Qt::Key_F1));
  // The manual of each language lies beside the program in the build folder.
  for (const char* language : {"ru", "en"})
    EXPECT_TRUE(QFileInfo::exists(ManualFile(QCoreApplication::applicationDirPath(), language)))
        << language;
  const QList<QAction*> bar = Window->menuBar()->actions();
  ASSERT_EQ(bar.size(), 4);
  EXPECT_EQ(bar[0], w.miFile->menuAction());
  EXPECT_EQ(bar[3], w.miHelp->menuAction());
}

TEST_F(MainWindowTest, StartShowsTheTreeAndTheSupportedModulesPage) {
  Start();
  ASSERT_EQ(Window->tvDevices->topLevelItemCount(), 1);
  QTreeWidgetItem* computer = Window->tvDevices->topLevelItem(0);
  EXPECT_EQ(computer->text(0), "Мой компьютер");
  ASSERT_EQ(computer->childCount(), 1);
  EXPECT_EQ(computer->child(0)->text(0), "/dev/ttyUSB0");
  EXPECT_TRUE(computer->isExpanded());
  EXPECT_EQ(Window->tvDevices->currentItem(), computer);
  EXPECT_FALSE(Window->Line().Connected());

  auto* view = qobject_cast<TPageWidget*>(Window->pMain->PageView());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->CaptionLabel()->text(), " Мой компьютер - Этот персональный компьютер");
  EXPECT_EQ(view->CaptionLabel()->height(), 18);
  EXPECT_EQ(view->CaptionLabel()->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::ToolTipBase));
  EXPECT_EQ(view->CaptionLabel()->palette().color(QPalette::WindowText),
            QApplication::palette().color(QPalette::ToolTipText));
  auto* mMain = view->findChild<QPlainTextEdit*>("mMain");
  ASSERT_NE(mMain, nullptr);
  EXPECT_TRUE(mMain->isReadOnly());
  EXPECT_EQ(mMain->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(mMain->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(mMain->toPlainText(), ToQt(SupportedModulesText()));
}

TEST_F(MainWindowTest, SelectingAPortOpensTheLineAndSwapsThePageView) {
  Start();
  QPointer<QWidget> oldView = Window->pMain->PageView();
  Rec->Log.clear();
  EXPECT_FALSE(Window->miSave->isEnabled());
  Window->tvDevices->setCurrentItem(TreeItem(1));
  EXPECT_EQ(Rec->Log, (std::vector<std::string>{"open /dev/ttyUSB0"}));
  EXPECT_TRUE(Window->Line().Connected());
  // A port can be saved and loaded as a bus.
  EXPECT_TRUE(Window->miSave->isEnabled());
  EXPECT_TRUE(Window->miOpen->isEnabled());
  EXPECT_NE(Window->pMain->PageView(), oldView.data());
  ASSERT_FALSE(oldView.isNull());
  EXPECT_FALSE(oldView->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(oldView.isNull());
}

TEST_F(MainWindowTest, ClosingOnAPortPageWithTheLineOnItsWorkerEndsCleanly) {
  Window->RunLineOnWorker();
  Start();
  Window->tvDevices->setCurrentItem(TreeItem(1));
  // The port page hides as the window goes and hands its settings to the line: that must
  // happen while the line's worker still exists, never on the freed worker.
  Window.reset();
}

TEST_F(MainWindowTest, AFailedOpenShowsTheErrorBoxAndTheSelectionMoves) {
  Start();
  Rec->FailOpen = true;
  Window->tvDevices->setCurrentItem(TreeItem(1));
  ASSERT_EQ(Ui.Errors.size(), 1u);
  EXPECT_FALSE(Ui.Errors[0].empty());
  EXPECT_EQ(Window->tvDevices->currentItem(), TreeItem(1));
  EXPECT_EQ(Window->Logic().Selected(), Window->Logic().Items()[1]);
  EXPECT_FALSE(Window->Line().Connected());
}

TEST_F(MainWindowTest, NoPortEndsTheProgramAfterTheMessage) {
  Ports.clear();
  Start();
  ASSERT_EQ(Ui.Messages.size(), 1u);
  EXPECT_EQ(Ui.Messages[0].Icon, TMsgIcon::Error);
  EXPECT_FALSE(Window->isVisible());
  EXPECT_EQ(Window->tvDevices->topLevelItemCount(), 0);
}

// --- about box and password dialog --------------------------------------------------------

TEST(AboutBox, ShowsTheStampedVersionAndPlacesTheLink) {
  TestApp();
  TAboutView box(nullptr, TVersionParts{2, 3, 0, 117});
  box.show();
  EXPECT_EQ(box.windowTitle(), "О программе");
  EXPECT_EQ(box.lbVerInfo->text(), "Версия программы: 2.3.0.117 (pre-release)");
  EXPECT_EQ(box.lbURL->x(), box.lbMaker1->geometry().right() + 1 + 8);
  EXPECT_EQ(box.lbURL->y(), box.lbMaker1->y());
  EXPECT_EQ(box.lbProductName1->text(), "ORBIS Utility - конфигурационная программа ");
  EXPECT_EQ(box.lbProductName2->text(), "для модулей серии 'ORBIS'");
  EXPECT_EQ(box.btOK->text(), "ОК");
  EXPECT_EQ(box.lbURL->cursor().shape(), Qt::PointingHandCursor);

  TAboutView bare(nullptr, std::nullopt);
  bare.show();
  EXPECT_EQ(bare.lbVerInfo->text(), "Версия программы: [нет информации о версии] (pre-release)");
}

TEST(AboutBox, EscapeAndOkClose) {
  TestApp();
  TAboutView box;
  box.show();
  ASSERT_TRUE(box.isVisible());
  SendKey(box.btOK, Qt::Key_Escape);
  EXPECT_FALSE(box.isVisible());

  box.show();
  ASSERT_TRUE(box.isVisible());
  SendClick(box.btOK);
  EXPECT_FALSE(box.isVisible());
}

TEST(AboutBox, ALinkThatCannotBeOpenedShowsTheErrorAndTheBoxStays) {
  TestApp();
  TRecordingUi ui;
  TAboutView box;
  std::vector<std::string> opened;
  box.Form.OpenUrl = [&](const std::string& url) {
    opened.push_back(url);
    return false;
  };
  box.show();
  SendClick(box.lbURL);
  EXPECT_EQ(opened, (std::vector<std::string>{box.Form.lbURL}));
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_TRUE(box.isVisible());
}

TEST(PasswordDialog, MasksTheEntryAndCarriesItsTexts) {
  TestApp();
  TPasswordForm dialog;
  EXPECT_EQ(dialog.windowTitle(), "Введите пароль");
  EXPECT_EQ(dialog.lbPassword->text(), "Пароль для доступа к калибровке:");
  EXPECT_EQ(dialog.edPassword->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dialog.btOK->text(), "OK");
  EXPECT_TRUE(dialog.btOK->isDefault());
  EXPECT_EQ(dialog.btCancel->text(), "Отмена");
  dialog.show();
  SendText(dialog.edPassword, "7x");
  EXPECT_EQ(dialog.Password(), "7x");
  SendKey(dialog.edPassword, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace

// The English interface: every page of every model with each of its tabs, the port and
// computer pages, the main window with its menus, the about box, the password and search
// windows and every page of the calibration wizard, opened with the English catalogue, show
// no Cyrillic letter in any text a user can see.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <set>

#include "app/AboutForm.h"
#include "app/MainWindow.h"
#include "app/PasswordForm.h"
#include "app/RhoCalibrateDialog.h"
#include "app/SearchDialog.h"
#include "app/TerminalWindow.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/RhoCalibrateUnit.h"
#include "shell/SearchUnit.h"
#include "support/English.h"
#include "support/QtApp.h"
#include "support/RecordingComBackend.h"
#include "support/RecordingUi.h"

namespace {

// Every text of a window a user can read: titles, captions, list items, tab captions, tree
// rows, menus and tool tips, with the window and widget that hold it.
class TRussianFinder {
 public:
  void Check(QWidget* window, const std::string& where) {
    std::vector<QWidget*> widgets{window};
    for (QWidget* w : window->findChildren<QWidget*>())
      if (w->isVisibleTo(window)) widgets.push_back(w);
    for (QWidget* w : widgets) {
      const std::string at = where + " " + w->metaObject()->className() + " " +
                             w->objectName().toStdString();
      Text(w->windowTitle(), at);
      Text(w->toolTip(), at);
      if (auto* l = qobject_cast<QLabel*>(w)) Text(l->text(), at);
      if (auto* b = qobject_cast<QAbstractButton*>(w)) Text(b->text(), at);
      if (auto* e = qobject_cast<QLineEdit*>(w)) Text(e->text() + e->placeholderText(), at);
      if (auto* g = qobject_cast<QGroupBox*>(w)) Text(g->title(), at);
      if (auto* p = qobject_cast<QPlainTextEdit*>(w)) Text(p->toPlainText(), at);
      if (auto* c = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < c->count(); ++i) Text(c->itemText(i), at);
      if (auto* t = qobject_cast<QTabWidget*>(w))
        for (int i = 0; i < t->count(); ++i) Text(t->tabText(i) + t->tabToolTip(i), at);
      if (auto* t = qobject_cast<QTreeWidget*>(w))
        for (QTreeWidgetItemIterator it(t); *it; ++it) Text((*it)->text(0) + (*it)->toolTip(0), at);
      if (qobject_cast<QMenuBar*>(w) || qobject_cast<QMenu*>(w))
        for (QAction* a : w->actions()) Text(a->text() + a->toolTip(), at);
    }
  }
  std::set<std::string> Found;

 private:
  void Text(const QString& text, const std::string& at) {
    if (HasCyrillic(text.toStdString())) Found.insert(at + ": " + text.toStdString());
  }
};

TEST(EnglishEverywhere, NoRussianInAnyWindowPageTabOrWizardPage) {
  TestApp();
  TEnglishGuard english;
  TRecordingUi ui;
  TRussianFinder finder;
  {
    TMainWindow window(std::make_unique<TComPort>(std::make_unique<TRecordingComBackend>()));
    window.Logic().EnumPorts = [](std::vector<std::string>& list) { list = {"/dev/ttyUSB0"}; };
    window.show();
    window.StartUp();
    TMainForm& logic = window.Logic();
    TTreeNode* port = logic.Root()->Children.at(0).get();
    for (int model = 0; model < ModelCount; ++model) logic.AddDevice(port, model, 10 + model);
    for (TTreeNode* item : logic.Items()) {
      window.tvDevices->setCurrentItem(window.ItemOf(item));
      QApplication::processEvents();
      QWidget* view = window.pMain->PageView();
      ASSERT_NE(view, nullptr) << item->Text;
      const auto tabs = view->findChildren<QTabWidget*>();
      if (tabs.isEmpty()) finder.Check(&window, item->Text);
      for (QTabWidget* t : tabs)
        for (int i = 0; i < t->count(); ++i) {
          t->setCurrentIndex(i);
          QApplication::processEvents();
          finder.Check(&window, item->Text + " tab " + std::to_string(i));
        }
    }
    for (QMenu* menu : window.menuBar()->findChildren<QMenu*>()) finder.Check(menu, "menu");
    window.miTerminal->trigger();
    auto* terminal = window.findChild<TTerminalWindow*>();
    ASSERT_NE(terminal, nullptr);
    finder.Check(terminal, "terminal");
  }
  {
    TAboutView about(nullptr, TVersionParts{1, 0, 0, 1});
    finder.Check(&about, "about");
    TPasswordForm password;
    finder.Check(&password, "password");
    TSearchForm search;
    TSearchDialog searchDialog(search);
    finder.Check(&searchDialog, "search");
  }
  {
    TprPort port;
    std::unique_ptr<TprNode> rho(CreateDevice(4, 3, &port));
    TRhoCalibrateForm wizard(dynamic_cast<TprModel*>(rho.get()));
    TRhoCalibrateDialog dialog(wizard);
    for (int page = 0; page < TRhoCalibrateForm::PageCount; ++page) {
      if (page == TRhoCalibrateForm::tsNo) wizard.ShowError(RhoCalibrateForm::ReasonLink);
      else wizard.ShowPage(page);
      finder.Check(&dialog, "wizard page " + std::to_string(page));
    }
  }
  for (const std::string& text : finder.Found) ADD_FAILURE() << text;
}

}  // namespace

// The Qt views of the port page and of the search window: texts shown whole, the binding of
// the controls to the page model, the window kind of the search window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <cstdlib>

#include "app/PageView.h"
#include "app/PageWidget.h"
#include "app/PortView.h"
#include "app/SearchDialog.h"
#include "comm/prPort.h"
#include "shell/PortUnit.h"
#include "shell/SearchUnit.h"
#include "support/QtApp.h"
#include "support/ScriptedBackend.h"

namespace {

// Saves a picture of the widget when ORBIS_SCREENSHOT_DIR names a folder.
void Screenshot(QWidget* w, const char* name) {
  if (const char* dir = std::getenv("ORBIS_SCREENSHOT_DIR"))
    w->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

// Every text-bearing child is at least as wide as its text needs.
void ExpectNothingCut(QWidget* root) {
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(root)) continue;
    QString text;
    if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) {
      for (int i = 0; i < c->count(); ++i) {
        EXPECT_GE(c->width(), c->fontMetrics().horizontalAdvance(c->itemText(i)))
            << c->itemText(i).toStdString();
      }
    }
    if (text.isEmpty()) continue;
    EXPECT_GE(w->width(), w->minimumSizeHint().width()) << text.toStdString();
    EXPECT_GE(w->width(), w->fontMetrics().horizontalAdvance(text)) << text.toStdString();
  }
}

class PortViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    port.SetComPort(&line);
    port.NameText = "/dev/ttyUSB0";
    port.KindText = "Последовательный порт";
    page = std::make_unique<TPortForm>(&port);
    page->FormShow();
    view.reset(CreatePageView("TPortForm", page.get(), nullptr));
    // As the main window does once the view is built.
    if (auto* built = qobject_cast<TPageWidget*>(view.get())) built->RefreshAll();
    // The right-hand pane of the main window at its minimum size.
    view->resize(600 - 141 - 6, 494 - 30);
    view->show();
    QApplication::processEvents();
  }
  TPortView* View() { return dynamic_cast<TPortView*>(view.get()); }
  template <class W>
  W* Get(const char* name) {
    auto* widget = qobject_cast<W*>(View()->Widget(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  // A user's choice from the list, as the open list or the keys report it.
  void Choose(const char* name, int index) {
    auto* box = Get<QComboBox>(name);
    box->setCurrentIndex(index);
    emit box->activated(index);
  }

  TComPort line{std::make_unique<TScriptedBackend>()};
  TprPort port;
  std::unique_ptr<TPortForm> page;
  std::unique_ptr<QWidget> view;
};

TEST_F(PortViewTest, ShowsEveryTextWhole) {
  ASSERT_NE(View(), nullptr);
  EXPECT_EQ(Get<QLabel>("lbProtocol")->text(), "Протокол обмена:");
  EXPECT_EQ(Get<QLabel>("lbBaud")->text(), "Скорость обмена:");
  EXPECT_EQ(Get<QLabel>("lbParity")->text(), "Четность (Modbus):");
  EXPECT_EQ(Get<QLabel>("lbTimeout")->text(), "Таймаут (0 - Авто):");
  EXPECT_EQ(Get<QCheckBox>("chbInit")->text(), "Режим INIT");
  EXPECT_EQ(Get<QCheckBox>("chbLRC")->text(), "Использовать LRC (DCS)");
  EXPECT_EQ(Get<QAbstractButton>("bbSearch")->text(), "Поиск модулей");
  EXPECT_EQ(Get<QSpinBox>("seTimeout")->minimum(), 0);
  EXPECT_EQ(Get<QSpinBox>("seTimeout")->maximum(), 65000);
  // A port with no stable name besides its own shows no line for it.
  EXPECT_FALSE(Get<QLineEdit>("edById")->isVisibleTo(view.get()));
  ExpectNothingCut(view.get());
  Screenshot(view.get(), "port_page");

  Get<QCheckBox>("chbInit")->click();
  QApplication::processEvents();
  EXPECT_EQ(Get<QAbstractButton>("bbSearch")->text(), "Поиск модуля");
  ExpectNothingCut(view.get());
}

TEST_F(PortViewTest, ControlsRunTheHandlers) {
  Choose("cbProtocol", 1);
  EXPECT_EQ(port.Protocol(), ptDCS);
  EXPECT_EQ(Get<QSpinBox>("seTimeout")->value(), 500);
  EXPECT_TRUE(Get<QCheckBox>("chbLRC")->isEnabled());
  EXPECT_FALSE(Get<QComboBox>("cbParity")->isEnabled());
  EXPECT_FALSE(Get<QLabel>("lbParity")->isEnabled());
  EXPECT_FALSE(Get<QAbstractButton>("bbSearch")->isEnabled());

  Choose("cbProtocol", 0);
  Choose("cbParity", 2);
  EXPECT_EQ(port.Parity(), TLineParity::Even);
  Choose("cbBaud", 7);
  EXPECT_EQ(port.BaudRate(), 115200);
  Get<QSpinBox>("seTimeout")->setValue(321);
  EXPECT_EQ(port.Timeout(), 321);

  Get<QCheckBox>("chbInit")->click();
  EXPECT_TRUE(port.InitMode());
  EXPECT_EQ(port.BaudRate(), 9600);
  EXPECT_EQ(Get<QComboBox>("cbBaud")->currentText(), "9600");
  EXPECT_EQ(Get<QComboBox>("cbParity")->currentText(), "Нет");
  EXPECT_FALSE(Get<QComboBox>("cbBaud")->isEnabled());
  EXPECT_FALSE(Get<QLabel>("lbBaud")->isEnabled());
  EXPECT_FALSE(Get<QComboBox>("cbParity")->isEnabled());
}

TEST(SearchDialogTest, ToolWindowWithProgressAndStop) {
  TestApp();
  TSearchForm model;
  TSearchDialog dialog(model);
  const Qt::WindowFlags flags = dialog.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMinMaxButtonsHint);
  EXPECT_EQ(dialog.windowTitle(), "Идет поиск...");
  EXPECT_EQ(dialog.lbLookingCaption->text(), "Просматривается адрес:");
  EXPECT_EQ(dialog.lbFoundedCaption->text(), "Найдено модулей:");
  EXPECT_EQ(dialog.btStop->text(), "Остановить поиск");
  EXPECT_EQ(dialog.lbLooking->text(), "0");
  EXPECT_EQ(dialog.lbFounded->text(), "0");
  EXPECT_TRUE(dialog.lbLooking->alignment() & Qt::AlignRight);
  EXPECT_TRUE(dialog.lbFounded->alignment() & Qt::AlignRight);

  model.SetMaxAddress(247);
  model.SetLooking(124);
  model.IncFounded();
  EXPECT_EQ(dialog.MainGauge->minimum(), 1);
  EXPECT_EQ(dialog.MainGauge->maximum(), 247);
  EXPECT_EQ(dialog.MainGauge->value(), 124);
  EXPECT_EQ(dialog.MainGauge->text(), "50%");
  EXPECT_EQ(dialog.lbLooking->text(), "124");
  EXPECT_EQ(dialog.lbFounded->text(), "1");

  // Shown without running a search: the activation is queued and only taken by an event loop.
  model.Port = nullptr;
  dialog.show();
  EXPECT_TRUE(model.Visible());
  ExpectNothingCut(&dialog);
  Screenshot(&dialog, "search_window");
  dialog.btStop->click();
  EXPECT_FALSE(model.Visible());
  EXPECT_FALSE(dialog.isVisible());

  model.SetMaxAddress(1);
  model.SetLooking(1);
  EXPECT_EQ(dialog.MainGauge->maximum(), 1);
  EXPECT_EQ(dialog.MainGauge->value(), 1);
}

}  // namespace

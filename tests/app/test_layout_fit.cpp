// The main window at the size it first takes: every tab of every model page fits without
// scrolling, with all its captions in the tab bar; the controls of one grid column share their
// left edge and its lists one width; a long port name leaves the tree as wide as it was.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <map>
#include <vector>

#include "app/MainWindow.h"
#include "app/TreeRowTips.h"
#include "models/prDevice.h"
#include "support/QtApp.h"
#include "support/RecordingComBackend.h"
#include "support/RecordingUi.h"

namespace {

// Controls of one column of a grid, by column.
std::map<int, std::vector<QWidget*>> Columns(QGridLayout* grid) {
  std::map<int, std::vector<QWidget*>> columns;
  for (int i = 0; i < grid->count(); ++i) {
    QWidget* w = grid->itemAt(i)->widget();
    int row = 0, column = 0, rows = 0, span = 0;
    grid->getItemPosition(i, &row, &column, &rows, &span);
    if (w && span == 1 && w->isVisibleTo(w->window()) && !qobject_cast<QLabel*>(w) &&
        !w->findChild<QTabWidget*>() && !qobject_cast<QTabWidget*>(w))
      columns[column].push_back(w);
  }
  return columns;
}

TEST(RoughEdgesLayout, EveryTabFitsTheFirstWindowAndGridColumnsLineUp) {
  TestApp();
  TRecordingUi ui;
  const std::vector<std::string> ports = {
      "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0",
      "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYW-if00-port0"};
  TMainWindow window(std::make_unique<TComPort>(std::make_unique<TRecordingComBackend>()));
  window.Logic().EnumPorts = [&](std::vector<std::string>& list) { list = ports; };
  window.show();
  window.StartUp();
  EXPECT_GE(window.width(), window.minimumWidth());
  const int treeWidth = window.tvDevices->width();
  TMainForm& logic = window.Logic();
  TTreeNode* port = logic.Root()->Children.at(0).get();
  window.tvDevices->setCurrentItem(window.ItemOf(port));
  QApplication::processEvents();
  EXPECT_EQ(window.tvDevices->width(), treeWidth);
  // Two by-id names that differ near their end still differ as the tree shows them.
  const QFontMetrics metrics(window.tvDevices->font());
  const QString a = TTailElideDelegate::Elided(QString::fromStdString(ports[0]), metrics, 110);
  const QString b = TTailElideDelegate::Elided(QString::fromStdString(ports[1]), metrics, 110);
  EXPECT_LE(metrics.horizontalAdvance(a), 110);
  EXPECT_NE(a, b);
  EXPECT_TRUE(a.endsWith(QStringLiteral("XYZ-if00-port0"))) << a.toStdString();
  EXPECT_EQ(TTailElideDelegate::Elided(QStringLiteral("/dev/ttyS0"), metrics, 110), "/dev/ttyS0");

  for (int model = 1; model < ModelCount; ++model) {
    TTreeNode* module = logic.AddDevice(port, model, 10 + model);
    window.tvDevices->setCurrentItem(window.ItemOf(module));
    QApplication::processEvents();
    EXPECT_EQ(window.tvDevices->width(), treeWidth);
    auto* tabs = window.pMain->PageView()->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    int captions = 0;
    for (int i = 0; i < tabs->count(); ++i) captions += tabs->tabBar()->tabRect(i).width();
    EXPECT_LE(captions, tabs->width()) << ModelNames[model].Name;
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      QApplication::processEvents();
      const std::string where = std::string(ModelNames[model].Name) + " " +
                                tabs->tabText(i).toStdString();
      auto* sheet = qobject_cast<QScrollArea*>(tabs->currentWidget());
      ASSERT_NE(sheet, nullptr) << where;
      EXPECT_FALSE(sheet->horizontalScrollBar()->isVisible()) << where;
      EXPECT_FALSE(sheet->verticalScrollBar()->isVisible()) << where;
      for (QGridLayout* grid : sheet->widget()->findChildren<QGridLayout*>())
        for (const auto& [column, controls] : Columns(grid)) {
          int listWidth = -1;
          for (QWidget* w : controls) {
            EXPECT_EQ(w->x(), controls.front()->x()) << where << " column " << column;
            if (!qobject_cast<QComboBox*>(w)) continue;
            if (listWidth < 0) listWidth = w->width();
            EXPECT_EQ(w->width(), listWidth) << where << " column " << column;
          }
        }
    }
  }
}

}  // namespace

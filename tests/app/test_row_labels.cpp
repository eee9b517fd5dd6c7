// A sheet wider than the pane scrolls sideways with its row labels kept in view.
#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <memory>

#include "app/PageView.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
#include "support/QtApp.h"

namespace {
// Visible labels of the text within the left `width` pixels of the sheet's view.
int LabelsAtTheLeft(QScrollArea* sheet, const QString& text, int width) {
  int n = 0;
  for (QLabel* label : sheet->viewport()->findChildren<QLabel*>())
    if (label->text() == text && label->isVisible()) {
      const int x = label->mapTo(sheet->viewport(), QPoint(0, 0)).x();
      n += x >= 0 && x < width;
    }
  return n;
}

TEST(RowLabels, StayInViewWhileTheSheetScrollsSideways) {
  TestApp();
  TprPort port;
  std::unique_ptr<TprNode> kappa(CreateDevice(1, 1, &port));
  std::unique_ptr<TprForm> page(CreatePage(kappa->PageClass, kappa.get()));
  std::unique_ptr<QWidget> view(CreatePageView(page->ClassName, page.get(), nullptr));
  view->resize(400, 450);
  view->show();
  auto* tabs = view->findChild<QTabWidget*>();
  tabs->setCurrentIndex(3);  // "Входы и выходы": 16 channel columns
  QApplication::processEvents();
  auto* sheet = qobject_cast<QScrollArea*>(tabs->currentWidget());
  ASSERT_NE(sheet, nullptr);
  QScrollBar* bar = sheet->horizontalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(LabelsAtTheLeft(sheet, "Выходы:", 100), 1);
  bar->setValue(bar->maximum());
  QApplication::processEvents();
  EXPECT_EQ(LabelsAtTheLeft(sheet, "Выходы:", 100), 1);
  // The long labels of a grid with controls under them scroll with the sheet.
  EXPECT_EQ(LabelsAtTheLeft(sheet, "При потере связи по сети на выходах установить:", 100), 0);
}
}  // namespace

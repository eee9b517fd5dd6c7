// The comparison window on Qt: the ticks are the model's, "Записать" only with a tick, Esc
// cancels, Tab goes list, "Записать", "Отмена"; the progress window's Esc asks the work to stop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/ConfigDialogs.h"
#include "shell/ConfigUnit.h"
#include "support/QtApp.h"

namespace {

TEST(ConfigWindowDialogs, TicksAreTheModelsAndEscapeCancels) {
  TestApp();
  TConfigCompareForm form;
  form.FileName = "pump.xml";
  form.Groups.push_back({5, "KAPPA-01", "KAPPA-01", {}, {}});
  for (const char* name : {"FILTER1", "NETADDR"}) {
    TCompareRow row;
    row.Register = name;
    row.Network = row.Register == "NETADDR";
    row.Ticked = !row.Network;
    form.Groups[0].Rows.push_back(row);
  }
  TConfigCompareDialog dialog(form);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QTreeWidget* list = dialog.tvDifferences;
  ASSERT_EQ(list->topLevelItemCount(), 3);  // the module's line and its two registers
  QTreeWidgetItem* filter = list->topLevelItem(1);
  QTreeWidgetItem* address = list->topLevelItem(2);
  EXPECT_EQ(filter->checkState(0), Qt::Checked);
  EXPECT_EQ(address->checkState(0), Qt::Unchecked);
  EXPECT_TRUE(dialog.btWrite->isEnabled());
  EXPECT_FALSE(list->accessibleName().isEmpty());

  // Space on the current row unticks it: nothing is left to write.
  list->setFocus();
  list->setCurrentItem(filter);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_FALSE(form.Groups[0].Rows[0].Ticked);
  EXPECT_FALSE(dialog.btWrite->isEnabled());
  address->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(form.Groups[0].Rows[1].Ticked);
  EXPECT_TRUE(dialog.btWrite->isEnabled());

  QTest::keyClick(list, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), dialog.btWrite);
  QTest::keyClick(dialog.btWrite, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), dialog.btCancel);
  QTest::keyClick(dialog.btCancel, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(ConfigWindowDialogs, EscapeInTheProgressWindowStopsTheWork) {
  TestApp();
  TConfigProgressForm model;
  model.Caption = TConfigProgressForm::WriteCaption;
  model.GaugeMax = 3;
  int steps = 0;
  TConfigProgressDialog* shown = nullptr;
  TConfigProgressDialog dialog(model, [&](std::function<void()> ended) {
    for (int i = 1; i <= 3 && !model.Cancelled(); ++i) {
      ++steps;
      if (i == 1) QTest::keyClick(shown, Qt::Key_Escape);
      model.Step("FILTER" + std::to_string(i), i);
    }
    ended();
  });
  shown = &dialog;
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);  // closed by the end of the work
  EXPECT_EQ(steps, 1);
  EXPECT_EQ(dialog.lbAction->text(), "FILTER1");
}

}  // namespace

// The operating-time row at the main window's minimum size: the time field shows the longest
// time of day of the user's format whole, and ends inside the page.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <memory>

#include "app/PageView.h"
#include "comm/Resources.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/PageRules.h"
#include "shell/prUnit.h"
#include "support/QtApp.h"

namespace {
TEST(TimeField, TheLongestTimeOfTheLocaleFitsAtTheMinimumSize) {
  TestApp();
  const std::string saved = FormatSettings().LongTimeFormat;
  // The C locale's 24-hour time, and an English twelve-hour one.
  for (const char* format : {"HH:mm:ss", "h:mm:ss AP"}) {
    SCOPED_TRACE(format);
    FormatSettings().LongTimeFormat = format;
    TprPort port;
    std::unique_ptr<TprNode> kappa(CreateDevice(1, 1, &port));
    std::unique_ptr<TprForm> page(CreatePage(kappa->PageClass, kappa.get()));
    std::unique_ptr<QWidget> view(CreatePageView(page->ClassName, page.get(), nullptr));
    view->resize(400, 450);  // the pane of the main window at its minimum size
    view->show();
    QApplication::processEvents();
    auto* field = view->findChild<QLineEdit*>("edTime");
    ASSERT_NE(field, nullptr);
    const QFontMetrics fm(field->font());
    for (const std::string& text : TimeOfDayTexts())
      EXPECT_LT(fm.horizontalAdvance(QString::fromStdString(text)), field->width() - 8) << text;
    EXPECT_LE(field->mapTo(view.get(), QPoint(field->width(), 0)).x(), view->width());
  }
  FormatSettings().LongTimeFormat = saved;
}
}  // namespace

// Every page of every model builds against its device object, model and view alike; a row
// naming a register the model lacks fails when the page is built. Every control of a page is
// named on the accessibility bus and found by its name, and Tab goes through it in reading order.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QGridLayout>
#include <QSet>
#include <QTabBar>
#include <memory>
#include <stdexcept>
#include <tuple>

#include "app/PageView.h"
#include "app/PageWidget.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
#include "shell/PortUnit.h"
#include "support/QtApp.h"
#include "support/RecordingUi.h"

namespace {
struct TBuiltPage {
  std::unique_ptr<TprNode> Device;
  std::unique_ptr<TprForm> Page;
  std::unique_ptr<QWidget> View;
};

TBuiltPage Build(int model, TprPort& port) {
  TBuiltPage b;
  b.Device.reset(CreateDevice(model, 3, &port));
  b.Page.reset(CreatePage(b.Device->PageClass, b.Device.get()));
  b.View.reset(CreatePageView(b.Page->ClassName, b.Page.get(), nullptr));
  return b;
}

TEST(AllPagesBuild, EveryModelsPageAndViewBuild) {
  TestApp();
  TprPort port;
  for (int model = 0; model < ModelCount; ++model) {
    TBuiltPage b;
    ASSERT_NO_THROW(b = Build(model, port)) << ModelNames[model].Name;
    auto* page = dynamic_cast<TModuleForm*>(b.Page.get());
    EXPECT_EQ(page != nullptr, model != 0) << ModelNames[model].Name;
    if (!page) continue;
    EXPECT_GE(page->pcMain->Sheets().size(), 2u) << ModelNames[model].Name;
    // Every control the page declares got its widget.
    for (const auto& control : page->Controls.Controls()) {
      if (control->Name().empty()) continue;
      EXPECT_NE(b.View->findChild<QWidget*>(QString::fromStdString(control->Name())), nullptr)
          << ModelNames[model].Name << " " << control->Name();
    }
  }
}

// Where a widget stands in its container: the grid, its row, its column.
std::tuple<int, int, int> PlaceOf(QWidget* widget) {
  QLayout* column = widget->parentWidget()->layout();
  for (int g = 0; column && g < column->count(); ++g)
    if (auto* grid = qobject_cast<QGridLayout*>(column->itemAt(g)->layout());
        grid && grid->indexOf(widget) >= 0) {
      int row = 0, col = 0, rows = 0, cols = 0;
      grid->getItemPosition(grid->indexOf(widget), &row, &col, &rows, &cols);
      return {g, row, col};
    }
  return {-1, -1, -1};
}

// What the accessibility bus tells of each control of a page: a name that is not its value, from
// a label beside it, from what the builder put together or from its own caption, no two alike
// but for a button's hint; its object name is the control's. Tab stops at the controls only,
// and goes through those of each container as they read: row by row, left to right.
void ExpectNamedInReadingOrder(const TControlSet& set, QWidget* view, const std::string& page) {
  QSet<QString> names;
  for (const auto& control : set.Controls()) {
    const TControlKind kind = control->Kind();
    if (kind == TControlKind::Container || kind == TControlKind::Tabs ||
        kind == TControlKind::Label)
      continue;
    const std::string what = page + " " + control->Name();
    const auto widgets = view->findChildren<QWidget*>(QString::fromStdString(control->Name()));
    ASSERT_EQ(widgets.size(), 1) << what;
    QAccessibleInterface* bus = QAccessible::queryAccessibleInterface(widgets.front());
    const QString name = bus->text(QAccessible::Name);
    EXPECT_FALSE(name.isEmpty()) << what;
    EXPECT_NE(name, bus->text(QAccessible::Value)) << what;
    auto* button = qobject_cast<QAbstractButton*>(widgets.front());
    EXPECT_TRUE(!bus->relations(QAccessible::Label).isEmpty() ||
                !widgets.front()->accessibleName().isEmpty() ||
                (button && !button->text().isEmpty()))
        << what;
    if (kind != TControlKind::Button) {
      EXPECT_FALSE(names.contains(name)) << what << " " << name.toStdString();
    }
    names.insert(name);
  }
  QWidget* previous = nullptr;
  for (QWidget* w = view->nextInFocusChain(); w != view; w = w->nextInFocusChain()) {
    // A widget with a focus proxy is no stop of its own; the proxy stands for it.
    if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy()) continue;
    QWidget* stop = w;
    while (stop->parentWidget() && stop->parentWidget()->focusProxy() == stop)
      stop = stop->parentWidget();
    const bool control = set.Find(stop->objectName().toStdString()) != nullptr;
    EXPECT_TRUE(control || qobject_cast<QTabBar*>(w))
        << page << " " << w->metaObject()->className();
    if (!control) continue;
    if (previous && previous->parentWidget() == stop->parentWidget()) {
      EXPECT_LT(PlaceOf(previous), PlaceOf(stop))
          << page << " " << previous->objectName().toStdString() << " "
          << stop->objectName().toStdString();
    }
    previous = stop;
  }
}

TEST(AllPagesBuild, AccessibleNameAndObjectNameOfEveryControl) {
  TestApp();
  TprPort port;
  for (int model = 1; model < ModelCount; ++model) {
    const TBuiltPage b = Build(model, port);
    ExpectNamedInReadingOrder(static_cast<TModuleForm*>(b.Page.get())->Controls, b.View.get(),
                              ModelNames[model].Name);
  }
  {
    std::unique_ptr<TprForm> page(CreatePage("TPortForm", &port));
    std::unique_ptr<QWidget> view(CreatePageView(page->ClassName, page.get(), nullptr));
    ExpectNamedInReadingOrder(static_cast<TPortForm*>(page.get())->Controls, view.get(), "port");
  }
  // The computer's page: its one text, once read from the page.
  TBuiltPage b = Build(0, port);
  b.View.reset();
  b.Page.reset(CreatePage("TCompForm", b.Device.get()));
  b.View.reset(CreatePageView(b.Page->ClassName, b.Page.get(), nullptr));
  qobject_cast<TPageWidget*>(b.View.get())->RefreshAll();
  auto* text = b.View->findChild<QWidget*>("mMain");
  ASSERT_NE(text, nullptr);
  EXPECT_FALSE(QAccessible::queryAccessibleInterface(text)->text(QAccessible::Name).isEmpty());
}

// A page whose one extra tab is declared by the rows given.
class TRowsProbe : public TModuleForm {
 public:
  TRowsProbe(TprNode* owner, TRowsTable table) : TModuleForm(owner) {
    AddRowsTab("tsProbe", "Проба", std::move(table));
  }
};

TEST(AllPagesBuild, RowsNamingWhatTheModelLacksFailAtBuild) {
  using namespace rows;
  TprPort port;
  std::unique_ptr<TprNode> beta(CreateDevice(3, 3, &port));
  const struct {
    const char* What;
    TRowsTable Table;
    bool Fails;
  } cases[] = {
      {"a register of another model", TRowsTable({{"Направление:", {Toggle("chbDir", "DIRECTION").Channels(4)}}}), true},
      {"a misspelt channel register", TRowsTable({{"Счетчики:", {Number("edCounter", "COUNTR").Channels(4)}}}), true},
      {"channels beyond the model's", TRowsTable({{"Счетчики:", {Number("edCounter", "COUNTER").Channels(5)}}}), true},
      {"the model's channels", TRowsTable({{"Счетчики:", {Number("edCounter", "COUNTER").Channels(4)}}}), false},
      {"an order naming a register no row shows",
       TRowsTable({{"Входы:", {BitShow("chbIn", "DIGINPUT").Channels(4)}}}).ReadOrder({"DIGINPUT", "SAVOUTPUT"}),
       true},
      {"an order missing a shown register",
       TRowsTable({{"Входы:", {BitShow("chbIn", "DIGINPUT").Channels(4)}},
                  {"Сохраненные:", {BitShow("chbSaved", "SAVOUTPUT").Channels(4)}}})
           .ReadOrder({"DIGINPUT"}),
       true},
  };
  for (const auto& c : cases) {
    if (c.Fails)
      EXPECT_THROW(TRowsProbe(beta.get(), c.Table), std::logic_error) << c.What;
    else
      EXPECT_NO_THROW(TRowsProbe(beta.get(), c.Table)) << c.What;
  }
}
}  // namespace

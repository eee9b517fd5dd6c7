// Every page of every model builds against its device object, model and view alike; a row
// naming a register the model lacks fails when the page is built.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "app/PageView.h"
#include "app/PageWidget.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
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

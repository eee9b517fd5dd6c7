// The output calibration wizard against a simulated output module: every way through its
// pages, with what it writes to the module on the way and the reason it shows on failure.
#include <gtest/gtest.h>

#include "pages/RhoCalibrateUnit.h"
#include "pages/RhoUnit.h"
#include "support/PageRig.h"

namespace {
namespace texts = RhoCalibrateForm;
using WriteList = std::vector<std::pair<std::string, std::string>>;

enum class TEvent { Forward, Cancel, CloseRequest, Silence };
constexpr int kClosed = -1;

struct TStep {
  TEvent Event;
  int Page;  // the page shown afterwards, or kClosed
};

// What the module does while the wizard waits for the coefficient.
enum class TAtWait { Nothing, StatusChannel2Invalid, Silence };

struct TRow {
  const char* Name;
  int Type, Channel;  // item indices of the two lists
  const char* Value;  // typed on the value page
  TAtWait AtWait;
  std::vector<TStep> Steps;
  const char* Reason;  // nullptr: the failure text is never set
  WriteList Writes;
  int Warnings = 0;
  TModalResult Result = TModalResult::Ok;
  int Model = 4;
};

using R = TRhoCalibrateForm;
const WriteList kPrepare1 = {{"OUTTYPE1", "0"}, {"SLEWRATE1", "0"}, {"TUNINGENABLE", "1"}};
const WriteList kPrepare2V = {{"OUTTYPE2", "2"}, {"SLEWRATE2", "0"}, {"TUNINGENABLE", "2"}};
const std::pair<std::string, std::string> kEnd = {"TUNINGENABLE", "0"};

WriteList Join(WriteList a, const WriteList& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const TRow kRows[] = {
    {"current, channel 1, accepted; Готово closes",
     0, 0, "20.1", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsYes}, {TEvent::Forward, kClosed}},
     nullptr,
     Join(kPrepare1, {{"TUNINGVALUECH1", "20.1"}, {"TUNINGCH1", "1"}, kEnd})},
    {"voltage, channel 2, accepted",
     1, 1, "9.95", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsYes}, {TEvent::Forward, kClosed}},
     nullptr,
     Join(kPrepare2V, {{"TUNINGVALUECH2", "9.95"}, {"TUNINGCH2", "1"}, kEnd})},
    {"Отмена on the first page, Закрыть closes",
     0, 0, "", TAtWait::Nothing,
     {{TEvent::Cancel, R::tsNo}, {TEvent::Forward, kClosed}},
     texts::ReasonCancelled, {kEnd}},
    {"Отмена on the value page",
     1, 1, "", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Cancel, R::tsNo}, {TEvent::Forward, kClosed}},
     texts::ReasonCancelled, Join(kPrepare2V, {kEnd})},
    {"close request on page 1 refused as Отмена, the second closes",
     0, 0, "", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::CloseRequest, R::tsNo},
      {TEvent::CloseRequest, kClosed}},
     texts::ReasonCancelled, Join(kPrepare1, {kEnd}), 0, TModalResult::Cancel},
    {"close request on page 0",
     0, 0, "", TAtWait::Nothing,
     {{TEvent::CloseRequest, R::tsNo}, {TEvent::CloseRequest, kClosed}},
     texts::ReasonCancelled, {kEnd}, 0, TModalResult::Cancel},
    {"close request on the success page closes at once",
     0, 0, "20", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsYes}, {TEvent::CloseRequest, kClosed}},
     nullptr, Join(kPrepare1, {{"TUNINGVALUECH1", "20"}, {"TUNINGCH1", "1"}, kEnd}), 0,
     TModalResult::Cancel},
    {"SMSTS 0x20 after channel 1: success",
     0, 0, "20", TAtWait::StatusChannel2Invalid,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsYes}, {TEvent::Forward, kClosed}},
     nullptr, Join(kPrepare1, {{"TUNINGVALUECH1", "20"}, {"TUNINGCH1", "1"}, kEnd})},
    {"SMSTS 0x20 after channel 2: invalid coefficient",
     1, 1, "10", TAtWait::StatusChannel2Invalid,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsNo}, {TEvent::Forward, kClosed}},
     texts::ReasonCoefficient,
     Join(kPrepare2V, {{"TUNINGVALUECH2", "10"}, {"TUNINGCH2", "1"}, kEnd})},
    {"a measured value far from the output: the module refuses the coefficient",
     0, 0, "12", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsNo}, {TEvent::Forward, kClosed}},
     texts::ReasonCoefficient, Join(kPrepare1, {{"TUNINGVALUECH1", "12"}, {"TUNINGCH1", "1"}, kEnd})},
    {"empty value: warning, nothing written, page kept",
     0, 0, "", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsValue}, {TEvent::Cancel, R::tsNo},
      {TEvent::Forward, kClosed}},
     texts::ReasonCancelled, Join(kPrepare1, {kEnd}), 1},
    {"1e38: warning, nothing written, page kept",
     0, 0, "1e38", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsValue}, {TEvent::CloseRequest, R::tsNo},
      {TEvent::CloseRequest, kClosed}},
     texts::ReasonCancelled, Join(kPrepare1, {kEnd}), 1, TModalResult::Cancel},
    {"module silent on the preparation: nothing written",
     0, 0, "", TAtWait::Nothing,
     {{TEvent::Silence, R::tsPrepare}, {TEvent::Forward, R::tsNo}, {TEvent::Forward, kClosed}},
     texts::ReasonLink, {kEnd}},
    {"module silent at the value write: reason without the full stop, TUNINGCH not written",
     0, 0, "20", TAtWait::Nothing,
     {{TEvent::Forward, R::tsValue}, {TEvent::Silence, R::tsValue}, {TEvent::Forward, R::tsNo},
      {TEvent::Forward, kClosed}},
     texts::ReasonLinkValue, Join(kPrepare1, {{"TUNINGVALUECH1", "20"}, kEnd})},
    {"module silent when the status is read",
     0, 0, "20", TAtWait::Silence,
     {{TEvent::Forward, R::tsValue}, {TEvent::Forward, R::tsNo}, {TEvent::Forward, kClosed}},
     texts::ReasonLink, Join(kPrepare1, {{"TUNINGVALUECH1", "20"}, {"TUNINGCH1", "1"}, kEnd})},
    {"a module without the output registers: internal error, nothing written",
     0, 0, "", TAtWait::Nothing,
     {{TEvent::Forward, R::tsNo}, {TEvent::Forward, kClosed}},
     texts::ReasonInternal, {}, 0, TModalResult::Ok, 2},
};

TEST(RhoCalibrate, EveryWayThroughTheWizard) {
  // The buttons each page shows.
  const struct {
    const char* Forward;
    bool Cancel;
  } buttons[R::PageCount] = {{texts::btForwardNext, true},
                             {texts::btForwardNext, true},
                             {texts::btForwardDone, false},
                             {texts::btForwardClose, false}};
  for (const TRow& row : kRows) {
    SCOPED_TRACE(row.Name);
    TPageRig rig(row.Model);
    int waits = 0;
    rig.Clock.OnSleep = [&](int ms) {
      if (ms != texts::CoefficientWaitMs) return;
      ++waits;
      if (row.AtWait == TAtWait::StatusChannel2Invalid) rig.Module->SetInt("SMSTS", 0x20);
      if (row.AtWait == TAtWait::Silence) rig.Silence();
    };
    TRhoCalibrateForm wizard(rig.Model);
    int closes = 0;
    wizard.OnClose = [&](TModalResult) { ++closes; };
    wizard.FormShow();
    ASSERT_EQ(wizard.ActivePage(), R::tsPrepare);
    wizard.cbType = row.Type;
    wizard.cbChannel = row.Channel;
    const size_t mark = rig.Mark();

    for (const TStep& step : row.Steps) {
      switch (step.Event) {
        case TEvent::Forward:
          if (wizard.ActivePage() == R::tsValue) wizard.edValue = row.Value;
          wizard.btForwardClick();
          break;
        case TEvent::Cancel:
          ASSERT_TRUE(wizard.btCancelEnabled());
          wizard.btCancelClick();
          break;
        case TEvent::CloseRequest: wizard.Close(TModalResult::Cancel); break;
        case TEvent::Silence: rig.Silence(); break;
      }
      if (step.Page == kClosed) {
        EXPECT_TRUE(wizard.Closed());
        continue;
      }
      EXPECT_FALSE(wizard.Closed());
      ASSERT_EQ(wizard.ActivePage(), step.Page);
      EXPECT_EQ(wizard.btForwardCaption(), buttons[step.Page].Forward);
      EXPECT_EQ(wizard.btCancelEnabled(), buttons[step.Page].Cancel);
      EXPECT_EQ(wizard.Finished(), step.Page >= R::tsYes);
    }

    EXPECT_EQ(closes, 1);
    EXPECT_EQ(wizard.ModalResult(), row.Result);
    EXPECT_EQ(rig.Writes(mark), row.Writes);
    EXPECT_EQ(wizard.lbErr(), row.Reason ? std::string(texts::ErrorPrefix) + row.Reason
                                         : std::string(texts::InitialError));
    EXPECT_EQ(rig.Ui.MessageTexts,
              std::vector<std::string>(size_t(row.Warnings), texts::ValueWarning));
    if (row.AtWait != TAtWait::Nothing) {
      EXPECT_EQ(waits, 1);
    }
  }
}

}  // namespace

TEST(RhoCalibrate, PageDoesNotPollWhileTheWizardIsOpen) {
  TPageRig rig(4);
  auto* page = dynamic_cast<TRhoForm*>(rig.Page);
  ASSERT_NE(page, nullptr);
  page->FormShow();
  ASSERT_TRUE(page->MainTimer.Enabled());
  bool pollingWhileOpen = true;
  rig.Ui.OnModal = [&](TModalDialog& dialog) {
    pollingWhileOpen = page->MainTimer.Enabled();
    auto& wizard = dynamic_cast<TRhoCalibrateForm&>(dialog);
    wizard.btCancelClick();
    wizard.btForwardClick();
    return wizard.ModalResult();
  };
  rig.Module->SetInt("TUNINGENABLE", 1);
  page->bbCalibrateClick();
  EXPECT_EQ(rig.Ui.Modals, 1);
  EXPECT_FALSE(pollingWhileOpen);
  EXPECT_TRUE(page->MainTimer.Enabled());
  EXPECT_EQ(rig.Module->Int("TUNINGENABLE"), 0u);
  // An error escaping the dialog does not leave the page without polling.
  rig.Ui.OnModal = [](TModalDialog&) -> TModalResult { throw std::runtime_error("lost"); };
  EXPECT_THROW(page->bbCalibrateClick(), std::runtime_error);
  EXPECT_TRUE(page->MainTimer.Enabled());
}

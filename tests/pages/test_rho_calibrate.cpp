// The output calibration wizard against a simulated output module: every way through its
// pages, with what it writes to the module on the way and the reason it shows on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "pages/RhoCalibrateUnit.h"
#include "models/prRho.h"
#include "support/PageRig.h"

namespace {
namespace texts = RhoCalibrateForm;
using R = TRhoCalibrateForm;

// What the module does while the wizard waits for the coefficient.
enum class TAtWait { Nothing, Status0x20, Silence };

struct TRow {
  const char* Name;
  int Type, Channel;   // item indices of the two lists
  const char* Value;   // typed on the value page
  TAtWait AtWait;
  // Events, each with the page shown after it ('-': closed): F forward, C cancel, X close
  // request, S the module falls silent.
  const char* Steps;
  const char* Reason;  // nullptr: the failure text is never set
  const char* Writes;  // REGISTER=value ..., in order
  int Warnings = 0;
  TModalResult Result = TModalResult::Ok;
  int Model = 4;
};

#define PREP1 "OUTTYPE1=0 SLEWRATE1=0 TUNINGENABLE=1 "
#define PREP2V "OUTTYPE2=2 SLEWRATE2=0 TUNINGENABLE=2 "
#define END "TUNINGENABLE=0"
// The settings the preparation changed, put back after the tuning mode ends.
#define BACK1 " OUTTYPE1=3 SLEWRATE1=5"
#define BACK2 " OUTTYPE2=3 SLEWRATE2=7"
constexpr auto Cancel = TModalResult::Cancel;

const TRow kRows[] = {
    {"current, channel 1, accepted; Готово closes", 0, 0, "20.1", TAtWait::Nothing, "F1 F2 F-",
     nullptr, PREP1 "TUNINGVALUECH1=20.1 TUNINGCH1=1 " END},
    {"voltage, channel 2, accepted", 1, 1, "9.95", TAtWait::Nothing, "F1 F2 F-", nullptr,
     PREP2V "TUNINGVALUECH2=9.95 TUNINGCH2=1 " END},
    {"Отмена on the first page, Закрыть closes", 0, 0, "", TAtWait::Nothing, "C3 F-",
     texts::ReasonCancelled, END},
    {"Отмена on the value page", 1, 1, "", TAtWait::Nothing, "F1 C3 F-", texts::ReasonCancelled,
     PREP2V END BACK2},
    {"close request on page 1 refused as Отмена, the second closes", 0, 0, "", TAtWait::Nothing,
     "F1 X3 X-", texts::ReasonCancelled, PREP1 END BACK1, 0, Cancel},
    {"close request on page 0", 0, 0, "", TAtWait::Nothing, "X3 X-", texts::ReasonCancelled, END,
     0, Cancel},
    {"close request on the success page closes at once", 0, 0, "20", TAtWait::Nothing, "F1 F2 X-",
     nullptr, PREP1 "TUNINGVALUECH1=20 TUNINGCH1=1 " END, 0, Cancel},
    {"SMSTS 0x20 after channel 1: success", 0, 0, "20", TAtWait::Status0x20, "F1 F2 F-", nullptr,
     PREP1 "TUNINGVALUECH1=20 TUNINGCH1=1 " END},
    {"SMSTS 0x20 after channel 2: invalid coefficient", 1, 1, "10", TAtWait::Status0x20,
     "F1 F3 F-", texts::ReasonCoefficient, PREP2V "TUNINGVALUECH2=10 TUNINGCH2=1 " END BACK2},
    {"a value far from the output: the module refuses it", 0, 0, "12", TAtWait::Nothing,
     "F1 F3 F-", texts::ReasonCoefficient, PREP1 "TUNINGVALUECH1=12 TUNINGCH1=1 " END BACK1},
    {"empty value: warning, nothing written", 0, 0, "", TAtWait::Nothing, "F1 F1 C3 F-",
     texts::ReasonCancelled, PREP1 END BACK1, 1},
    {"1e38: warning, nothing written", 0, 0, "1e38", TAtWait::Nothing, "F1 F1 X3 X-",
     texts::ReasonCancelled, PREP1 END BACK1, 1, Cancel},
    {"silent on the preparation", 0, 0, "", TAtWait::Nothing, "S0 F3 F-", texts::ReasonLink, END},
    {"silent at the value write: no full stop, TUNINGCH unwritten", 0, 0, "20", TAtWait::Nothing,
     "F1 S1 F3 F-", texts::ReasonLinkValue, PREP1 "TUNINGVALUECH1=20 " END BACK1},
    {"silent when the status is read", 0, 0, "20", TAtWait::Silence, "F1 F3 F-", texts::ReasonLink,
     PREP1 "TUNINGVALUECH1=20 TUNINGCH1=1 " END BACK1},
    {"a module without the output registers", 0, 0, "", TAtWait::Nothing, "F3 F-",
     texts::ReasonInternal, "", 0, TModalResult::Ok, 2},
};

// Settings unlike those the preparation writes, so that putting them back shows.
void KeepApart(TPageRig& rig) {
  for (const auto& [name, value] :
       {std::pair{"OUTTYPE1", 3}, {"SLEWRATE1", 5}, {"OUTTYPE2", 3}, {"SLEWRATE2", 7}})
    rig.Module->SetInt(name, value);
}

TEST(RhoCalibrate, EveryWayThroughTheWizard) {
  // The buttons of each page.
  const std::pair<const char*, bool> buttons[R::PageCount] = {
      {texts::btForwardNext, true}, {texts::btForwardNext, true},
      {texts::btForwardDone, false}, {texts::btForwardClose, false}};
  for (const TRow& row : kRows) {
    SCOPED_TRACE(row.Name);
    TPageRig rig(row.Model);
    if (row.Model == 4) KeepApart(rig);
    int waits = 0;
    rig.Clock.OnSleep = [&](int ms) {
      if (ms != texts::CoefficientWaitMs) return;
      ++waits;
      if (row.AtWait == TAtWait::Status0x20) rig.Module->SetInt("SMSTS", 0x20);
      if (row.AtWait == TAtWait::Silence) rig.Silence();
    };
    TRhoCalibrateForm wizard(rig.Model);
    int closes = 0;
    wizard.OnClose = [&](TModalResult) { ++closes; };
    wizard.FormShow();
    wizard.cbType = row.Type;
    wizard.cbChannel = row.Channel;
    const size_t mark = rig.Mark();

    std::istringstream steps(row.Steps);
    for (std::string step; steps >> step;) {
      switch (step[0]) {
        case 'F':
          if (wizard.ActivePage() == R::tsValue) wizard.edValue = row.Value;
          wizard.btForwardClick();
          break;
        case 'C':
          ASSERT_TRUE(wizard.btCancelEnabled());
          wizard.btCancelClick();
          break;
        case 'X': wizard.Close(TModalResult::Cancel); break;
        case 'S': rig.Silence(); break;
      }
      SCOPED_TRACE(step);
      ASSERT_EQ(wizard.Closed(), step[1] == '-');
      if (wizard.Closed()) continue;
      const int page = step[1] - '0';
      ASSERT_EQ(wizard.ActivePage(), page);
      EXPECT_EQ(wizard.btForwardCaption(), buttons[page].first);
      EXPECT_EQ(wizard.btCancelEnabled(), buttons[page].second);
      EXPECT_EQ(wizard.Finished(), page >= R::tsYes);
    }

    EXPECT_EQ(closes, 1);
    EXPECT_EQ(wizard.ModalResult(), row.Result);
    std::string writes;
    for (const auto& [name, value] : rig.Writes(mark))
      writes += (writes.empty() ? "" : " ") + name + "=" + value;
    EXPECT_EQ(writes, row.Writes);
    EXPECT_EQ(wizard.lbErr(), row.Reason ? std::string(texts::ErrorPrefix) + row.Reason
                                         : std::string(texts::InitialError));
    // A silent module does not take its settings back either; that is told apart.
    EXPECT_EQ(std::count(rig.Ui.MessageTexts.begin(), rig.Ui.MessageTexts.end(), texts::ValueWarning),
              row.Warnings);
    // The wait comes after the computation was started, and only then.
    EXPECT_EQ(waits, std::strstr(row.Writes, "TUNINGCH") ? 1 : 0);
  }
}

}  // namespace

namespace {
// Success keeps the calibration's settings and names those it replaced; a way out that cannot
// put them back says which they were.
TEST(RoughEdgesWizard, SuccessNamesTheOldSettingsAndAFailedRestoreIsTold) {
  const struct {
    const char* Name;
    const char* Value;  // typed on the value page
    bool Silent;        // the module falls silent before the close
    bool Success;
  } cases[] = {{"success", "20", false, true},
               {"refused value", "12", false, false},
               {"silent module", "20", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TPageRig rig(4);
    KeepApart(rig);
    TRhoCalibrateForm wizard(rig.Model);
    wizard.FormShow();
    wizard.btForwardClick();
    wizard.edValue = c.Value;
    if (c.Silent) rig.Silence();
    wizard.btForwardClick();
    EXPECT_EQ(wizard.ActivePage(), c.Success ? R::tsYes : R::tsNo);
    wizard.Close(TModalResult::Ok);
    // The replaced settings by their list items, on the success page or in the warning.
    const std::string named = c.Success ? wizard.lbOldSettings()
                              : rig.Ui.MessageTexts.empty() ? std::string()
                                                            : rig.Ui.MessageTexts.back();
    const bool told = c.Success || c.Silent;
    EXPECT_EQ(named.find(RhoOutputTypeItems[3]) != std::string::npos, told) << named;
    EXPECT_EQ(named.find(RhoSlewRateItems[5]) != std::string::npos, told) << named;
    if (c.Silent) continue;
    EXPECT_EQ(rig.Module->Int("OUTTYPE1"), c.Success ? 0u : 3u);
    EXPECT_EQ(rig.Module->Int("SLEWRATE1"), c.Success ? 0u : 5u);
  }
}
}  // namespace

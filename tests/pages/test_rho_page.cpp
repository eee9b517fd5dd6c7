// The output module's page against a simulated RHO-05: what each tab reads, how it shows the
// outputs, their faults and parameters, and what the user's choices write.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "pages/RhoCalibrateUnit.h"
#include "pages/RhoUnit.h"
#include "shell/MainUnit.h"
#include "support/PageRig.h"

namespace {
using Names = std::vector<std::string>;
using WriteList = std::vector<std::pair<std::string, std::string>>;
constexpr int kIndication = 2, kOutputs = 3, kParameters = 4;

struct TRhoRig : TPageRig {
  TRhoRig() : TPageRig(4) {
    Page = Rho = dynamic_cast<TRhoForm*>(TPageRig::Page);
    // Outputs at their set-points at once: 12 mA on channel 1 (4..20 mA), 7.5 V on channel 2.
    Module->SetInt("SLEWRATE1", 0);
    Module->SetInt("SLEWRATE2", 0);
    Rho->FormShow();
  }
  // Types the text into the field and presses Enter.
  void Enter(const std::string& field, const std::string& text) {
    Get<TEdit>(field).UserEdit(text);
    Get<TEdit>(field).UserKey(13);
  }
  TRhoForm* Rho;
};

TEST(RhoPage, EachTabReadsInItsOrder) {
  const struct {
    int Tab;
    Names Reads;
  } cases[] = {
      {kIndication,
       {"ICON1", "ICON2", "ICON3", "GR1IND", "GR1INDFL", "GR1INDPH", "DISPLAY", "TINDICATION",
        "CHINDICATION", "IFCH1", "IFCH2"}},
      {kOutputs,
       {"OUTPUTDGNS", "OUTTYPE1", "OUTTYPE2", "OUTPUTCH1", "OUTPUTCH2", "SETPOINTCH1", "SETPOINTCH2"}},
      {kParameters,
       {"SLEWRATE1", "SLEWRATE2", "OUTTYPE1", "OUTTYPE2", "OUTPUTPUPCH1", "OUTPUTPUPCH2",
        "OUTPUTSAFECH1", "OUTPUTSAFECH2", "SAVEDOUTPUTCH1", "SAVEDOUTPUTCH2", "OUTPUTCONTROL"}},
  };
  TRhoRig rig;
  for (const auto& c : cases) {
    rig.ShowTab(c.Tab);
    const size_t mark = rig.Mark();
    rig.Ticks();
    EXPECT_EQ(rig.Reads(mark), c.Reads) << "tab " << c.Tab;
  }
}

TEST(RhoPage, OutputsAndParametersShown) {
  const struct {
    const char* Name;
    int Tab;
    std::function<void(TRhoRig&)> Set;
    std::vector<std::pair<const char*, const char*>> Texts;
    std::vector<std::pair<const char*, int>> Items;
    Names Unread;
  } cases[] = {
      {"both outputs at their values", kOutputs, nullptr,
       {{"edCurrentValue1", "12.000"}, {"edCurrentValue2", "7.500"}, {"edSetPoint1", "12.000"}},
       {}, {}},
      {"channel 2 switched off wins over its broken load; its output is not read", kOutputs,
       [](TRhoRig& r) {
         r.Module->SetInt("OUTTYPE2", 255);
         r.Module->SetInt("OUTPUTDGNS", 0x10);
       },
       {{"edCurrentValue1", "12.000"}, {"edCurrentValue2", "Канал отключен"}}, {}, {"OUTPUTCH2"}},
      {"broken load and overload on channel 1: broken load wins", kOutputs,
       [](TRhoRig& r) { r.Module->SetInt("OUTPUTDGNS", 5); },
       {{"edCurrentValue1", "Обрыв нагрузки"}, {"edCurrentValue2", "7.500"}}, {}, {"OUTPUTCH1"}},
      {"overload on channel 1", kOutputs, [](TRhoRig& r) { r.Module->SetInt("OUTPUTDGNS", 4); },
       {{"edCurrentValue1", "Перегрузка"}}, {}, {"OUTPUTCH1"}},
      {"overload on channel 2", kOutputs, [](TRhoRig& r) { r.Module->SetInt("OUTPUTDGNS", 0x40); },
       {{"edCurrentValue1", "12.000"}, {"edCurrentValue2", "Перегрузка"}}, {}, {"OUTPUTCH2"}},
      {"type 7 is no switched-off channel on the outputs tab", kOutputs,
       [](TRhoRig& r) { r.Module->SetInt("OUTTYPE1", 7); },
       {{"edCurrentValue1", "0.000"}}, {}, {}},
      {"silent module", kOutputs, [](TRhoRig& r) { r.Silence(); },
       {{"edCurrentValue1", "Н/Д"}, {"edCurrentValue2", "Н/Д"}, {"edSetPoint2", "Н/Д"}}, {}, {}},
      {"parameters", kParameters,
       [](TRhoRig& r) {
         r.Module->SetInt("OUTTYPE1", 7);
         r.Module->SetInt("SLEWRATE2", 15);
         r.Module->SetReal("OUTPUTSAFECH2", 2.25);
         r.Module->SetInt("OUTPUTCONTROL", 5);
       },
       {{"edPUP1", "4.000"}, {"edSAFE2", "2.250"}, {"edSaved1", "12.000"}},
       {{"cbOutType1", 4}, {"cbOutType2", 2}, {"cbSlewRate1", 0}, {"cbSlewRate2", 15},
        {"cbOnPUP1", 1}, {"cbOnWD1", 0}, {"cbOnPUP2", 1}, {"cbOnWD2", 0}},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRhoRig rig;
    if (c.Set) c.Set(rig);
    rig.ShowTab(c.Tab);
    const size_t mark = rig.Mark();
    rig.Ticks();
    for (const auto& [name, text] : c.Texts) EXPECT_EQ(rig.Get<TEdit>(name).Text(), text) << name;
    for (const auto& [name, item] : c.Items)
      EXPECT_EQ(rig.Get<TComboBox>(name).ItemIndex(), item) << name;
    const Names reads = rig.Reads(mark);
    for (const std::string& name : c.Unread)
      EXPECT_EQ(std::count(reads.begin(), reads.end(), name), 0) << name;
    EXPECT_EQ(rig.Ui.Dialogs, 0);
  }
}

TEST(RhoPage, UserChoicesWrite) {
  const struct {
    const char* Name;
    int Tab;
    std::function<void(TRhoRig&)> Act;
    WriteList Writes;
    int Beeps = 0;
  } cases[] = {
      {"Канал отключен writes 255", kParameters,
       [](TRhoRig& r) { r.Get<TComboBox>("cbOutType1").UserChoose(4); }, {{"OUTTYPE1", "255"}}},
      {"two choices between refreshes build on each other", kParameters,
       [](TRhoRig& r) {
         r.Module->SetInt("OUTPUTCONTROL", 0);
         r.Ticks();
         r.Get<TComboBox>("cbOnWD2").UserChoose(1);
         r.Get<TComboBox>("cbOnPUP1").UserChoose(1);
       },
       {{"OUTPUTCONTROL", "8"}, {"OUTPUTCONTROL", "9"}}},
      {"a set-point is written as typed", kOutputs,
       [](TRhoRig& r) { r.Enter("edSetPoint1", "12.5"); },
       {{"SETPOINTCH1", "12.5"}}},
      {"a set-point of 1e38 is rejected", kOutputs,
       [](TRhoRig& r) { r.Enter("edSetPoint2", "1e38"); },
       {}, 1},
      {"Enter in a saved output writes nothing", kParameters,
       [](TRhoRig& r) { r.Get<TEdit>("edSaved1").UserKey(13); }, {}},
      {"channel 2's voltage indicator is bit 7", kIndication,
       [](TRhoRig& r) {
         r.Module->SetInt("GR1IND", 1);
         r.Ticks();
         r.Get<TCheckBox>("chbInd4").UserClick();
       },
       {{"GR1IND", "129"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRhoRig rig;
    rig.ShowTab(c.Tab);
    const size_t mark = rig.Mark();
    c.Act(rig);
    EXPECT_EQ(rig.Writes(mark), c.Writes);
    EXPECT_EQ(rig.Ui.Beeps, c.Beeps);
  }
}

TEST(RhoPage, CalibrateFollowsTheFlagAndTheWizardChangesWhatTheNextRefreshShows) {
  TRhoRig rig;
  TMainForm main(*rig.Line);
  rig.ShowTab(kParameters);
  EXPECT_FALSE(rig.Rho->bbCalibrate->Enabled());
  main.SetCalibrationEnabled(true);
  rig.Ticks();
  ASSERT_TRUE(rig.Rho->bbCalibrate->Enabled());
  bool pollingWhileOpen = true;
  rig.Ui.OnModal = [&](TModalDialog& dialog) {
    pollingWhileOpen = rig.Rho->MainTimer.Enabled();
    auto& wizard = dynamic_cast<TRhoCalibrateForm&>(dialog);
    wizard.cbType = 0;
    wizard.btForwardClick();
    wizard.edValue = "20";
    wizard.btForwardClick();
    wizard.btForwardClick();
    return wizard.ModalResult();
  };
  rig.Rho->bbCalibrate->UserClick();
  EXPECT_EQ(rig.Ui.Modals, 1);
  EXPECT_FALSE(pollingWhileOpen);
  rig.Ticks();
  // Calibrated for 0..20 mA, changing at once.
  EXPECT_EQ(rig.Rho->cbOutType[0]->ItemIndex(), 0);
  EXPECT_EQ(rig.Rho->cbSlewRate[0]->ItemIndex(), 0);
  main.SetCalibrationEnabled(false);
  rig.Ticks();
  EXPECT_FALSE(rig.Rho->bbCalibrate->Enabled());
  // An error escaping the dialog does not leave the page without polling.
  rig.Ui.OnModal = [](TModalDialog&) -> TModalResult { throw std::runtime_error("lost"); };
  EXPECT_THROW(rig.Rho->bbCalibrateClick(), std::runtime_error);
  EXPECT_TRUE(rig.Rho->MainTimer.Enabled());
}

}  // namespace

// The tabs "Индикация", "Входы и выходы" and "Счетчики" of the two discrete modules (KAPPA-01
// model 1, BETA-02 model 3), each case on both models where it applies to both.
#include <gtest/gtest.h>

#include "pages/DiscreteForm.h"
#include "support/PageRig.h"

namespace {
using Names = std::vector<std::string>;
using WriteList = std::vector<std::pair<std::string, std::string>>;
enum { kKappa = 1, kBeta = 3 };
enum { kIndication = 2, kInOut = 3, kCounters = 4 };

struct TDiscreteRig : TPageRig {
  TDiscreteRig(int model, int tab, const std::vector<std::pair<const char*, uint32_t>>& values = {})
      : TPageRig(model) {
    for (const auto& [name, value] : values) Module->SetInt(name, value);
    Page->FormShow();
    ShowTab(tab);
  }
  // A click on a box or button, or the choice of item `choice` in a list.
  void Act(const std::string& name, int choice) {
    TControl* control = Page->Controls.Find(name);
    ASSERT_NE(control, nullptr) << name;
    if (auto* list = dynamic_cast<TComboBox*>(control))
      list->UserChoose(choice);
    else if (auto* box = dynamic_cast<TCheckBox*>(control))
      box->UserClick();
    else
      Get<TButton>(name).UserClick();
  }
  int Channels() const { return Model->FindRegister("DIRECTION") ? 16 : 4; }
};

TEST(DiscretePage, EachTabReadsItsRegistersInOrderAndNeverACommandRegister) {
  for (int model : {kKappa, kBeta}) {
    TDiscreteRig rig(model, 0);
    const bool kappa = model == kKappa;
    Names counters;
    for (int n = 1; n <= rig.Channels(); ++n) counters.push_back("COUNTER" + std::to_string(n));
    for (const char* name : {"COUNTENABLE", "OVFFLAGS", "COUNTFRONT", "COUNTDIRECTION"})
      counters.push_back(name);
    Names inOut{"DIGINPUT", "INPUTLOGIC", "LHDIGINPUT", "LLDIGINPUT", "DIGOUTPUT", "PUPDIGOUTPUT",
                "SAFEDIGOUTPUT", "SAVOUTPUT", "FILTER1", "FILTER2", "FILTER3", "FILTER4", "OUTCONTROL"};
    if (kappa) inOut.insert(inOut.begin(), "DIRECTION");
    const std::pair<int, Names> tabs[] = {
        {kIndication, {"ICON1", "ICON2", "GR1IND", "GR2IND", "GR1INDFL", "GR2INDFL", "GR1INDPH", "GR2INDPH"}},
        {kInOut, inOut},
        {kCounters, counters},
    };
    for (const auto& [tab, reads] : tabs) {
      rig.Page->pcMain->UserSelectTab(tab);
      const size_t mark = rig.Mark();
      rig.Ticks();
      EXPECT_EQ(rig.Reads(mark), reads) << model << " tab " << tab;
    }
  }
}

TEST(DiscretePage, ClicksAndChoicesWriteFromTheValueLastRead) {
  const struct {
    int Model, Tab;
    std::vector<std::pair<const char*, uint32_t>> Values;
    std::vector<std::pair<const char*, int>> Actions;  // control, item chosen in a list
    WriteList Writes;
  } cases[] = {
      // Bit toggles: the second click builds on the value the first one wrote.
      {kKappa, kInOut, {{"DIGOUTPUT", 1}}, {{"chbOut3", 0}, {"chbOut1", 0}},
       {{"DIGOUTPUT", "5"}, {"DIGOUTPUT", "4"}}},
      {kBeta, kInOut, {{"DIGOUTPUT", 0}}, {{"chbOut4", 0}}, {{"DIGOUTPUT", "8"}}},
      {kKappa, kInOut, {{"DIRECTION", 0x00FF}}, {{"chbInpDirection16", 0}}, {{"DIRECTION", "33023"}}},
      {kBeta, kInOut, {{"INPUTLOGIC", 1}, {"SAFEDIGOUTPUT", 8}},
       {{"chbInv2", 0}, {"chbSAFE4", 0}}, {{"INPUTLOGIC", "3"}, {"SAFEDIGOUTPUT", "0"}}},
      {kKappa, kCounters, {{"COUNTENABLE", 3}}, {{"chbEnableCounter16", 0}}, {{"COUNTENABLE", "32771"}}},
      {kBeta, kIndication, {{"GR2INDFL", 0}}, {{"chbFlash6", 0}}, {{"GR2INDFL", "2"}}},
      {kKappa, kIndication, {{"GR2IND", 0}}, {{"chbInd9", 0}}, {{"GR2IND", "1"}}},
      // Command rows: 2^tag.
      {kKappa, kInOut, {}, {{"bbLatchReset16", 0}}, {{"RSTLATCH", "32768"}}},
      {kKappa, kCounters, {}, {{"bbResetCounter1", 0}, {"bbOverflowReset5", 0}},
       {{"COUNTRESET", "1"}, {"FLAGRESET", "16"}}},
      {kBeta, kInOut, {}, {{"bbLatchReset3", 0}}, {{"RSTLATCH", "4"}}},
      {kBeta, kCounters, {}, {{"bbOverflowReset4", 0}, {"bbResetCounter2", 0}},
       {{"FLAGRESET", "8"}, {"COUNTRESET", "2"}}},
      // Filters: the list's own register, the selection index.
      {kKappa, kInOut, {}, {{"cbFilter3", 1}}, {{"FILTER3", "1"}}},
      {kBeta, kInOut, {}, {{"cbFilter2", 2}}, {{"FILTER2", "2"}}},
      // Bit choices.
      {kKappa, kCounters, {{"COUNTFRONT", 0}}, {{"cbFront5", 1}, {"cbFront5", 0}},
       {{"COUNTFRONT", "16"}, {"COUNTFRONT", "0"}}},
      {kBeta, kCounters, {{"COUNTDIRECTION", 1}}, {{"cbDirection3", 1}}, {{"COUNTDIRECTION", "5"}}},
      {kKappa, kInOut, {{"OUTCONTROL", 2}}, {{"cbOnPUP", 1}, {"cbOnWD", 0}},
       {{"OUTCONTROL", "3"}, {"OUTCONTROL", "1"}}},
      {kBeta, kInOut, {{"OUTCONTROL", 0}}, {{"cbOnWD", 1}}, {{"OUTCONTROL", "2"}}},
  };
  for (const auto& c : cases) {
    TDiscreteRig rig(c.Model, c.Tab, c.Values);
    const size_t mark = rig.Mark();
    for (const auto& [name, choice] : c.Actions) rig.Act(name, choice);
    EXPECT_EQ(rig.Writes(mark), c.Writes) << c.Model << " " << c.Actions[0].first;
    // Each handler hands the control back to the refresh.
    EXPECT_FALSE(rig.Page->Controls.Find(c.Actions.back().first)->Focused()) << c.Actions[0].first;
  }
}

TEST(DiscretePage, BitRegistersShowOneBoxPerChannel) {
  const struct {
    int Model, Tab;
    const char* Register;
    uint32_t Value;
    const char* Boxes;
    int First;  // number of the box of bit 0
  } cases[] = {
      {kKappa, kInOut, "DIRECTION", 0x8001, "chbInpDirection", 1},
      {kKappa, kCounters, "OVFFLAGS", 0xFFFF, "chbOverflow", 1},
      {kBeta, kCounters, "OVFFLAGS", 0x0F, "chbOverflow", 1},
      {kKappa, kInOut, "LLDIGINPUT", 0x4002, "chbLLatch", 1},
      {kBeta, kInOut, "SAVOUTPUT", 0x09, "chbSaved", 1},
      {kBeta, kIndication, "GR2IND", 0x05, "chbInd", 5},
      {kKappa, kIndication, "GR2INDPH", 0x81, "chbPhase", 9},
  };
  for (const auto& c : cases) {
    TDiscreteRig rig(c.Model, c.Tab, {{c.Register, c.Value}});
    const int boxes = c.Tab == kIndication ? rig.Channels() / 2 : rig.Channels();
    for (int bit = 0; bit < boxes; ++bit) {
      const std::string name = c.Boxes + std::to_string(c.First + bit);
      EXPECT_EQ(rig.Get<TCheckBox>(name).Checked(), bool(c.Value >> bit & 1)) << name;
    }
  }
  // The inputs follow the terminals.
  TDiscreteRig beta(kBeta, kInOut);
  beta.Module->SetRawInputs(0x0A);
  beta.Ticks(2);
  for (int n = 1; n <= 4; ++n)
    EXPECT_EQ(beta.Get<TCheckBox>("chbIn" + std::to_string(n)).Checked(), n % 2 == 0) << n;
}

TEST(DiscretePage, ListsShowTheirCodes) {
  TDiscreteRig kappa(kKappa, kInOut, {{"FILTER1", 0}, {"FILTER2", 7}, {"FILTER4", 3}, {"OUTCONTROL", 2}});
  EXPECT_EQ(kappa.Get<TComboBox>("cbFilter1").ItemIndex(), 0);
  EXPECT_EQ(kappa.Get<TComboBox>("cbFilter2").Items()[size_t(kappa.Get<TComboBox>("cbFilter2").ItemIndex())], "140 мс");
  EXPECT_EQ(kappa.Get<TComboBox>("cbFilter4").ItemIndex(), 3);
  EXPECT_EQ(kappa.Get<TComboBox>("cbOnPUP").ItemIndex(), 0);
  EXPECT_EQ(kappa.Get<TComboBox>("cbOnWD").ItemIndex(), 1);
  TDiscreteRig beta(kBeta, kCounters, {{"COUNTFRONT", 0x02}, {"COUNTDIRECTION", 0x08}});
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(beta.Get<TComboBox>("cbFront" + std::to_string(n)).ItemIndex(), n == 2) << n;
    EXPECT_EQ(beta.Get<TComboBox>("cbDirection" + std::to_string(n)).ItemIndex(), n == 4) << n;
  }
}

TEST(DiscretePage, CounterEntryIn0To65535WrittenAsTyped) {
  const struct {
    const char* Typed;
    const char* Written;  // null: rejected
  } cases[] = {{"70000", nullptr}, {"-1", nullptr}, {"abc", nullptr}, {"0", "0"}, {"00012", "12"}, {"65535", "65535"}};
  for (int model : {kKappa, kBeta}) {
    TDiscreteRig rig(model, kCounters);
    const std::string name = "edCounter" + std::to_string(rig.Channels());
    TEdit& field = rig.Get<TEdit>(name);
    EXPECT_EQ(field.MaxLength(), 5);
    int beeps = 0;
    for (const auto& c : cases) {
      const size_t mark = rig.Mark();
      field.UserEdit(c.Typed);
      field.UserKey(13);
      const WriteList written = c.Written ? WriteList{{"COUNTER" + std::to_string(rig.Channels()), c.Written}} : WriteList{};
      EXPECT_EQ(rig.Writes(mark), written) << c.Typed;
      EXPECT_EQ(field.Color(), c.Written ? TTextColor::Normal : TTextColor::Red) << c.Typed;
      EXPECT_EQ(rig.Ui.Beeps, beeps += !c.Written) << c.Typed;
      field.ReleaseFocus();
    }
    // The next refresh shows what the module holds.
    rig.Ticks();
    EXPECT_EQ(field.Text(), "65535");
  }
}

TEST(DiscretePage, UnreadableCounterEnableGraysItsBoxesAndBlocksTheirClicks) {
  for (int model : {kKappa, kBeta}) {
    TDiscreteRig rig(model, kCounters, {{"COUNTER1", 42}});
    rig.Module->SetUnreadable("COUNTENABLE", true);
    rig.Ticks();
    for (int n = 1; n <= rig.Channels(); ++n)
      EXPECT_EQ(rig.Get<TCheckBox>("chbEnableCounter" + std::to_string(n)).State(), TCheckState::Grayed) << n;
    const size_t mark = rig.Mark();
    rig.Act("chbEnableCounter1", 0);
    EXPECT_TRUE(rig.Writes(mark).empty()) << model;
    // The other registers of the tab are read as usual.
    EXPECT_EQ(rig.Get<TEdit>("edCounter1").Text(), "42");
  }
}
}  // namespace

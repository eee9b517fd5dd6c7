// The tabs "Индикация", "Входы и выходы" and "Счетчики" of the two discrete modules (KAPPA-01
// model 1, BETA-02 model 3), each case on both models where it applies to both.
#include <gtest/gtest.h>

#include "support/PageRig.h"

namespace {
using Names = std::vector<std::string>;
using WriteList = std::vector<std::pair<std::string, std::string>>;
using Values = std::vector<std::pair<const char*, uint32_t>>;
enum { kKappa = 1, kBeta = 3, kIndication = 2, kInOut = 3, kCounters = 4 };

struct TDiscreteRig : TPageRig {
  TDiscreteRig(int model, int tab, const Values& values = {}) : TPageRig(model) {
    for (const auto& [name, value] : values) Module->SetInt(name, value);
    Page->FormShow();
    ShowTab(tab);
  }
  // A click on a box or button, or the choice of item `choice` in a list.
  void Act(const std::string& name, int choice) {
    if (auto* list = Page->Controls.FindAs<TComboBox>(name)) return list->UserChoose(choice);
    if (auto* box = Page->Controls.FindAs<TCheckBox>(name)) return box->UserClick();
    Get<TButton>(name).UserClick();
  }
  int Channels() const { return Model->FindRegister("DIRECTION") ? 16 : 4; }
  std::string Last(const std::string& prefix) const { return prefix + std::to_string(Channels()); }
};

TEST(DiscretePage, EachTabReadsItsRegistersInOrderAndNeverACommandRegister) {
  for (int model : {kKappa, kBeta}) {
    TDiscreteRig rig(model, 0);
    Names counters;
    for (int n = 1; n <= rig.Channels(); ++n) counters.push_back("COUNTER" + std::to_string(n));
    counters.insert(counters.end(), {"COUNTENABLE", "OVFFLAGS", "COUNTFRONT", "COUNTDIRECTION"});
    Names inOut{"DIGINPUT", "INPUTLOGIC", "LHDIGINPUT", "LLDIGINPUT", "DIGOUTPUT", "PUPDIGOUTPUT",
                "SAFEDIGOUTPUT", "SAVOUTPUT", "FILTER1", "FILTER2", "FILTER3", "FILTER4", "OUTCONTROL"};
    if (model == kKappa) inOut.insert(inOut.begin(), "DIRECTION");
    const std::pair<int, Names> tabs[] = {
        {kIndication, {"ICON1", "ICON2", "GR1IND", "GR2IND", "GR1INDFL", "GR2INDFL", "GR1INDPH", "GR2INDPH"}},
        {kInOut, inOut},
        {kCounters, counters}};
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
    Values Set;
    std::vector<std::pair<const char*, int>> Actions;  // control, item chosen in a list
    WriteList Writes;
  } cases[] = {
      // Bit toggles: the second click builds on the value the first one wrote.
      {kKappa, kInOut, {{"DIGOUTPUT", 1}}, {{"chbOut3", 0}, {"chbOut1", 0}}, {{"DIGOUTPUT", "5"}, {"DIGOUTPUT", "4"}}},
      {kBeta, kInOut, {{"DIGOUTPUT", 0}, {"INPUTLOGIC", 1}}, {{"chbOut4", 0}, {"chbInv2", 0}},
       {{"DIGOUTPUT", "8"}, {"INPUTLOGIC", "3"}}},
      {kBeta, kIndication, {{"GR2INDFL", 0}}, {{"chbFlash6", 0}}, {{"GR2INDFL", "2"}}},
      {kKappa, kCounters, {{"COUNTENABLE", 3}}, {{"chbEnableCounter16", 0}}, {{"COUNTENABLE", "32771"}}},
      // Command rows write 2^tag.
      {kKappa, kInOut, {}, {{"bbLatchReset16", 0}}, {{"RSTLATCH", "32768"}}},
      {kKappa, kCounters, {}, {{"bbResetCounter1", 0}, {"bbOverflowReset5", 0}}, {{"COUNTRESET", "1"}, {"FLAGRESET", "16"}}},
      {kBeta, kCounters, {}, {{"bbOverflowReset4", 0}}, {{"FLAGRESET", "8"}}},
      // Filters write the selection index into the list's own register; bit choices one bit.
      {kKappa, kInOut, {}, {{"cbFilter3", 1}}, {{"FILTER3", "1"}}},
      {kBeta, kInOut, {}, {{"cbFilter2", 2}}, {{"FILTER2", "2"}}},
      {kKappa, kCounters, {{"COUNTFRONT", 0}}, {{"cbFront5", 1}, {"cbFront5", 0}}, {{"COUNTFRONT", "16"}, {"COUNTFRONT", "0"}}},
      {kKappa, kInOut, {{"OUTCONTROL", 2}}, {{"cbOnPUP", 1}, {"cbOnWD", 0}}, {{"OUTCONTROL", "3"}, {"OUTCONTROL", "1"}}},
      {kBeta, kInOut, {{"OUTCONTROL", 0}}, {{"cbOnWD", 1}}, {{"OUTCONTROL", "2"}}},
  };
  for (const auto& c : cases) {
    TDiscreteRig rig(c.Model, c.Tab, c.Set);
    const size_t mark = rig.Mark();
    for (const auto& [name, choice] : c.Actions) rig.Act(name, choice);
    EXPECT_EQ(rig.Writes(mark), c.Writes) << c.Model << " " << c.Actions[0].first;
    // Each handler hands its control back to the refresh.
    EXPECT_FALSE(rig.Get<TControl>(c.Actions.back().first).Focused()) << c.Actions[0].first;
  }
}

TEST(DiscretePage, ListsAndOverflowBoxesShowTheirBits) {
  for (int model : {kKappa, kBeta}) {
    TDiscreteRig rig(model, kCounters, {{"OVFFLAGS", model == kKappa ? 0xFFFF : 0x0F}, {"COUNTFRONT", 2},
                                        {"FILTER2", 7}, {"OUTCONTROL", 2}});
    for (int n = 1; n <= rig.Channels(); ++n) {
      EXPECT_TRUE(rig.Get<TCheckBox>("chbOverflow" + std::to_string(n)).Checked()) << n;
      EXPECT_EQ(rig.Get<TComboBox>("cbFront" + std::to_string(n)).ItemIndex(), n == 2) << n;
    }
    rig.ShowTab(kInOut);
    EXPECT_EQ(rig.Get<TComboBox>("cbFilter2").ItemIndex(), 3);  // any value above 3: "140 мс"
    EXPECT_EQ(rig.Get<TComboBox>("cbOnPUP").ItemIndex(), 0);
    EXPECT_EQ(rig.Get<TComboBox>("cbOnWD").ItemIndex(), 1);
  }
}

TEST(DiscretePage, CounterEntryIn0To65535AndAnUnreadableEnableRegister) {
  const std::pair<const char*, const char*> cases[] = {
      {"70000", nullptr}, {"-1", nullptr}, {"abc", nullptr}, {"0", "0"}, {"00012", "12"}, {"65535", "65535"}};
  for (int model : {kKappa, kBeta}) {
    TDiscreteRig rig(model, kCounters);
    TEdit& field = rig.Get<TEdit>(rig.Last("edCounter"));
    EXPECT_EQ(field.MaxLength(), 5);
    for (const auto& [typed, written] : cases) {
      const size_t mark = rig.Mark(), beeps = rig.Ui.Beeps;
      field.UserEdit(typed);
      field.UserKey(13);
      const WriteList expected = written ? WriteList{{rig.Last("COUNTER"), written}} : WriteList{};
      EXPECT_EQ(rig.Writes(mark), expected) << typed;
      EXPECT_EQ(field.Color() == TTextColor::Red, !written) << typed;
      EXPECT_EQ(rig.Ui.Beeps, beeps + !written) << typed;
      field.ReleaseFocus();
    }
    // COUNTENABLE unreadable: its boxes gray and a click on one writes nothing; the rest of the
    // tab is read as usual.
    rig.Module->SetUnreadable("COUNTENABLE", true);
    rig.Ticks();
    EXPECT_EQ(field.Text(), "65535");
    for (int n = 1; n <= rig.Channels(); ++n)
      EXPECT_EQ(rig.Get<TCheckBox>("chbEnableCounter" + std::to_string(n)).State(), TCheckState::Grayed) << n;
    const size_t mark = rig.Mark();
    rig.Act("chbEnableCounter1", 0);
    EXPECT_TRUE(rig.Writes(mark).empty()) << model;
  }
}
}  // namespace

// The indication mode list and the indicator boxes, on a page that adds an "Индикация" tab the
// way the model pages do.
#include <gtest/gtest.h>

#include "support/PageRig.h"

namespace {
using Names = std::vector<std::string>;
using WriteList = std::vector<std::pair<std::string, std::string>>;

class TIndicationPage : public TModuleForm {
 public:
  using TModuleForm::RunTask;
  // Discrete layout: indicators 1..8 group 1, 9..16 group 2, tag = position in the group.
  // Analog layout (ETA-03): indicators 1..4 bits 1,3,5,7 of group 1, 5..8 bits 0,2,4,6 of group 2.
  TIndicationPage(TprNode* owner, bool analog) : TModuleForm(owner) {
    std::vector<TIndicator> indicators;
    if (analog) {
      for (int bit : {1, 3, 5, 7}) indicators.push_back({1, bit});
      for (int bit : {0, 2, 4, 6}) indicators.push_back({2, bit});
    } else {
      for (int i = 0; i < 16; ++i) indicators.push_back({i < 8 ? 1 : 2, i % 8});
    }
    TLayoutGrid header;
    header.NumberRow("Индикаторы:", int(indicators.size()));
    AddIndicationTab({analog ? AnalogModes(false) : DiscreteModes(), indicators, header.Rows, 0, {}, {}});
  }
};

struct TIndicationRig : TPageRig {
  explicit TIndicationRig(int model) : TPageRig(model) {
    Device->Page = nullptr;
    Page = new TIndicationPage(Device.get(), model == 2);
    Page->FormShow();
    Page->pcMain->UserSelectTab(2);
  }
  void Icons(uint32_t icon1, uint32_t icon2) {
    Module->SetInt("ICON1", icon1);
    Module->SetInt("ICON2", icon2);
  }
};

TEST(Indication, DiscreteCycleReadsModeThenTheSixGroupRegisters) {
  TIndicationRig rig(1);
  const size_t mark = rig.Mark();
  rig.Ticks();
  EXPECT_EQ(rig.Reads(mark), (Names{"ICON1", "ICON2", "GR1IND", "GR2IND", "GR1INDFL", "GR2INDFL",
                                    "GR1INDPH", "GR2INDPH"}));
  EXPECT_EQ(rig.Page->Indication->cbIndControl->Items().size(), 5u);
  EXPECT_EQ(rig.Page->Indication->chbInd.size(), 16u);
  EXPECT_EQ(rig.Page->Indication->chbPhase[15]->Name(), "chbPhase16");
  EXPECT_EQ(rig.Page->Indication->chbPhase[15]->Tag, 7);
}

TEST(Indication, ModeShownByTestingTwoThenFourThenEachCode) {
  const struct {
    uint32_t Icon1, Icon2;
    int Index;
  } cases[] = {
      {6, 0, 0}, {4, 0, 1}, {2, 0, 0}, {8, 3, 2}, {8, 2, 3},
      {8, 4, 4}, {8, 0, -1}, {0, 1, -1}, {12, 1, 1},
  };
  TIndicationRig rig(3);
  for (const auto& c : cases) {
    rig.Icons(c.Icon1, c.Icon2);
    rig.Ticks();
    EXPECT_EQ(rig.Page->Indication->cbIndControl->ItemIndex(), c.Index) << c.Icon1 << "/" << c.Icon2;
  }
  EXPECT_EQ(rig.Page->Indication->cbIndControl->Items()[0], "Тест");
  // A failed ICON1 read leaves ICON2 unread and the list without a selection.
  rig.Icons(2, 0);
  rig.Ticks();
  rig.Module->Fault = TSimFault{TSimFaultKind::Silence, 0, 1};
  const size_t mark = rig.Mark();
  rig.Ticks();
  EXPECT_EQ(rig.Page->Indication->cbIndControl->ItemIndex(), -1);
  EXPECT_EQ(rig.Reads(mark)[1], "GR1IND");
}

TEST(Indication, ModeWritesFromTheHighestByte) {
  {
    TIndicationRig rig(1);
    const size_t mark = rig.Mark();
    rig.Page->Indication->cbIndControl->UserChoose(3);  // "Выходы"
    EXPECT_EQ(rig.Writes(mark), (WriteList{{"ICON2", "2"}, {"ICON1", "8"}}));
    EXPECT_FALSE(rig.Page->Indication->cbIndControl->Focused());
  }
  {
    TIndicationRig rig(2);
    const size_t mark = rig.Mark();
    rig.Page->Indication->cbIndControl->UserChoose(5);  // hours and minutes: 0x22008
    EXPECT_EQ(rig.Writes(mark), (WriteList{{"ICON3", "2"}, {"ICON2", "32"}, {"ICON1", "8"}}));
    rig.Ticks();
    EXPECT_EQ(rig.Reads(rig.Mark() - 9).front(), "ICON1");
    EXPECT_EQ(rig.Page->Indication->cbIndControl->ItemIndex(), 5);
  }
}

TEST(Indication, BoxesShowTheirBitsAndFailureGraysOneRegisterOnly) {
  TIndicationRig rig(1);
  rig.Module->SetInt("GR1IND", 0x81);
  rig.Module->SetInt("GR2IND", 0x02);
  rig.Ticks();
  EXPECT_EQ(rig.Page->Indication->chbInd[0]->State(), TCheckState::Checked);
  EXPECT_EQ(rig.Page->Indication->chbInd[1]->State(), TCheckState::Unchecked);
  EXPECT_EQ(rig.Page->Indication->chbInd[7]->State(), TCheckState::Checked);
  EXPECT_EQ(rig.Page->Indication->chbInd[8]->State(), TCheckState::Unchecked);
  EXPECT_EQ(rig.Page->Indication->chbInd[9]->State(), TCheckState::Checked);
  // Only GR1IND's reply is lost.
  rig.Module->Fault = TSimFault{TSimFaultKind::Silence, 0, 1};
  auto* page = static_cast<TIndicationPage*>(rig.Page);
  page->RunTask(page->Indication->RefreshIndicators());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(rig.Page->Indication->chbInd[size_t(i)]->State(), TCheckState::Grayed);
  EXPECT_EQ(rig.Page->Indication->chbInd[9]->State(), TCheckState::Checked);
}

TEST(Indication, ClickOnABoxOfAnUnreadRegisterWritesNothingAndKeepsTheFocus) {
  TIndicationRig rig(1);
  TCheckBox& box = *rig.Page->Indication->chbFlash[2];
  // Never read yet on this tab: the register's text is empty.
  rig.Model->GR1INDFL->SetValue({});
  size_t mark = rig.Mark();
  box.UserClick();
  EXPECT_TRUE(rig.Writes(mark).empty());
  EXPECT_TRUE(box.Focused());
  EXPECT_EQ(box.State(), TCheckState::Checked) << "the box shows the user's click";
  rig.Module->SetInt("GR1INDFL", 0);
  rig.Ticks();
  EXPECT_EQ(box.State(), TCheckState::Checked) << "left alone while it has the focus";
  box.ReleaseFocus();
  rig.Ticks();
  EXPECT_EQ(box.State(), TCheckState::Unchecked);
}

TEST(Indication, TwoClicksBetweenRefreshesKeepBothChanges) {
  TIndicationRig rig(1);
  rig.Module->SetInt("GR2INDPH", 0x10);
  rig.Ticks();
  const size_t mark = rig.Mark();
  rig.Page->Indication->chbPhase[8]->UserClick();   // indicator 9: bit 0 of group 2
  rig.Page->Indication->chbPhase[10]->UserClick();  // indicator 11: bit 2
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"GR2INDPH", "17"}, {"GR2INDPH", "21"}}));
  EXPECT_EQ(rig.Module->Int("GR2INDPH"), 21u);
  // A state set by the refresh never writes.
  rig.Ticks();
  EXPECT_EQ(rig.Writes(mark).size(), 2u);
  // A failed write leaves the value last read in place for the next click.
  rig.Module->Fault = TSimFault{TSimFaultKind::Silence, 0, 1};
  rig.Page->Indication->chbPhase[8]->UserClick();
  EXPECT_EQ(rig.Model->GR2INDPH->ValueText, "21");
}

TEST(Indication, AnalogBoxesUseTheBitsThePageGives) {
  TIndicationRig rig(2);
  const size_t mark = rig.Mark();
  rig.Ticks();
  EXPECT_EQ(rig.Reads(mark), (Names{"ICON1", "ICON2", "ICON3", "GR1IND", "GR2IND", "GR1INDFL",
                                    "GR2INDFL", "GR1INDPH", "GR2INDPH"}));
  rig.Model->GR1IND->SetValue("0");
  const size_t w = rig.Mark();
  rig.Page->Indication->chbInd[1]->UserClick();  // indicator 2: bit 3 of GR1IND
  rig.Page->Indication->chbInd[4]->UserClick();  // indicator 5: bit 0 of GR2IND
  const auto writes = rig.Writes(w);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0], (std::pair<std::string, std::string>{"GR1IND", "8"}));
  EXPECT_EQ(writes[1].first, "GR2IND");
}

TEST(Indication, ToggleAfterThePageIsShownAgainStartsFromTheLastRead) {
  TIndicationRig rig(1);
  rig.Module->SetInt("GR1IND", 0x01);
  rig.Ticks();
  delete rig.Page;
  rig.Page = new TIndicationPage(rig.Device.get(), false);
  rig.Page->FormShow();
  rig.Page->pcMain->UserSelectTab(2);
  const size_t mark = rig.Mark();
  rig.Page->Indication->chbInd[1]->UserClick();
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"GR1IND", "3"}}));
}
}  // namespace

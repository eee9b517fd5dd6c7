// Page rules without a module (time of day, range text, self-diagnostics), the control model's
// focus, and the bit choice and value list rules on a page.
#include <gtest/gtest.h>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "pages/PageRules.h"
#include "support/PageRig.h"

namespace {
class TFormatGuardTime {
 public:
  explicit TFormatGuardTime(const std::string& format) : Saved(FormatSettings().LongTimeFormat) {
    FormatSettings().LongTimeFormat = format;
  }
  ~TFormatGuardTime() { FormatSettings().LongTimeFormat = Saved; }

 private:
  std::string Saved;
};

TEST(TimeOfDay, ShownAndParsedInTheLocaleFormat) {
  const struct {
    const char* Format;
    int H, M, S;
    const char* Shown;
  } cases[] = {
      {"hh:mm:ss", 7, 8, 9, "07:08:09"},
      {"HH:mm:ss", 23, 59, 59, "23:59:59"},
      {"H:mm:ss", 7, 0, 5, "7:00:05"},
      {"h:mm:ss AP", 0, 15, 0, "12:15:00 AM"},
      {"h:mm:ss AP", 13, 1, 2, "1:01:02 PM"},
      {"hh:mm:ss ap", 12, 0, 0, "12:00:00 pm"},
      {"HH:mm:ss t", 14, 22, 5, "14:22:05"},
      {"HH.mm.ss", 9, 30, 0, "09.30.00"},
      {"HH:mm:ss.zzz", 1, 2, 3, "01:02:03.000"},
      {"hh' ч 'mm' мин'", 5, 6, 0, "05 ч 06 мин"},
  };
  for (const auto& c : cases) {
    TFormatGuardTime guard(c.Format);
    EXPECT_EQ(FormatTimeOfDay(c.H, c.M, c.S), c.Shown) << c.Format;
    int h = -1, m = -1, s = -1;
    ASSERT_TRUE(ParseTimeOfDay(c.Shown, h, m, s)) << c.Format;
    EXPECT_EQ(h, c.H) << c.Format;
    EXPECT_EQ(m, c.M) << c.Format;
    EXPECT_EQ(s, c.S) << c.Format;
  }
}

TEST(TimeOfDay, LenientButChecked) {
  TFormatGuardTime guard("hh:mm:ss");
  int h = 0, m = 0, s = 0;
  EXPECT_TRUE(ParseTimeOfDay(" 7:8:9 ", h, m, s));
  EXPECT_EQ(h * 3600 + m * 60 + s, 7 * 3600 + 8 * 60 + 9);
  EXPECT_TRUE(ParseTimeOfDay("12:30", h, m, s));
  EXPECT_EQ(s, 0);
  for (const char* bad : {"", "24:00:00", "12:60:00", "12:00:60", "12", "ab:cd:ef", "12:00:00x",
                          "123:00:00", "Н/Д", "Ошибка"})
    EXPECT_FALSE(ParseTimeOfDay(bad, h, m, s)) << bad;
  TFormatGuardTime twelve("h:mm:ss AP");
  EXPECT_FALSE(ParseTimeOfDay("13:00:00 PM", h, m, s));
  EXPECT_FALSE(ParseTimeOfDay("1:00:00", h, m, s));
}

TEST(PageRules, SelfDiagnosticsAndIndicationModes) {
  EXPECT_EQ(SelfDiagText(0x8000), "Нет ошибок");
  EXPECT_EQ(SelfDiagText(0x001A), "Код ошибки: 001A");
  EXPECT_EQ(SelfDiagText(0xFFFF), "Код ошибки: 7FFF");
  EXPECT_EQ(AnalogModes(true)[2].Item, "Выходы");
  EXPECT_EQ(AnalogModes(false)[3].Item, "Входы и диагностика");
  EXPECT_EQ(ModeIndexOf(AnalogModes(false), 0x42008), 6);
  EXPECT_EQ(ModeIndexOf(AnalogModes(false), 0x02008), -1);
}

TEST(Controls, FocusExitAndHiddenSheets) {
  TControlSet set;
  auto* tabs = set.Add<TPageControl>("pcMain", &set.Root());
  auto* a = tabs->AddSheet("a", "A");
  tabs->AddSheet("b", "B");
  auto* ed = set.Add<TEdit>("edName", a, 4);
  int exits = 0;
  ed->OnExit = [&](TEdit&) { ++exits; };
  EXPECT_EQ(ed->Text(), ResStr("Н/Д"));
  ed->UserEdit("Дом123");
  EXPECT_EQ(ed->Text(), "Дом1") << "cut to four characters, not four bytes";
  EXPECT_TRUE(ed->Focused());
  ed->ReleaseFocus();
  EXPECT_EQ(set.Focus(), a);
  EXPECT_EQ(exits, 1);
  ed->SetFocus();
  tabs->SetTabIndex(1);  // a control on a hidden sheet loses the focus to the tab control
  EXPECT_EQ(set.Focus(), tabs);
  EXPECT_EQ(exits, 2);
  auto* cb = set.Add<TComboBox>("cb", a, std::vector<std::string>{"x", "y"});
  cb->SetItemIndex(5);
  EXPECT_EQ(cb->ItemIndex(), -1);
  auto* box = set.Add<TCheckBox>("chb", a);
  box->SetState(TCheckState::Grayed);
  int clicks = 0;
  box->OnClick = [&](TCheckBox&) { ++clicks; };
  box->UserClick();
  EXPECT_EQ(box->State(), TCheckState::Checked);
  box->SetEnabled(false);
  box->UserClick();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(box->State(), TCheckState::Checked);
}

// The bit choice and value list rules as the model pages use them (OUTCONTROL, FILTERn).
class TRulesPage : public TModuleForm {
 public:
  explicit TRulesPage(TprNode* owner) : TModuleForm(owner) {
    TContainer* sheet = AddTab("tsIo", "Входы и выходы", [this] { return RefreshIo(); });
    cbOnPUP = Controls.Add<TComboBox>("cbOnPUP", sheet,
                                      std::vector<std::string>{"Выходы PUP", "Сохраненные выходы"});
    cbOnWD = Controls.Add<TComboBox>("cbOnWD", sheet,
                                     std::vector<std::string>{"Выходы (текущие)", "Выходы SAFE"});
    cbOnWD->Tag = 1;
    cbFilter2 = Controls.Add<TComboBox>("cbFilter2", sheet,
                                        std::vector<std::string>{"0 мс", "35 мс", "70 мс", "140 мс"});
    cbFilter2->Tag = 1;
    for (TComboBox* l : {cbOnPUP, cbOnWD})
      BindList(l, [this](TComboBox& c) { BitChoice(c, Device()->FindRegister("OUTCONTROL")); });
    BindList(cbFilter2, [this](TComboBox& c) {
      ValueListChange(c, ChannelRegister("FILTER", c.Tag), std::to_string(c.ItemIndex()));
    });
  }
  TComboBox *cbOnPUP, *cbOnWD, *cbFilter2;

  // Each list shows what its register's value stands for; a failed read, no selection.
  TTask<> RefreshIo() {
    int32_t v = 0;
    TprDevReg* control = Device()->FindRegister("OUTCONTROL");
    bool outputs = co_await Read(control);
    outputs = outputs && TryStrToInt(control->ValueText, v);
    for (TComboBox* l : {cbOnPUP, cbOnWD}) ShowIndex(*l, outputs, (uint32_t(v) >> l->Tag) & 1u);
    TprDevReg* filter = ChannelRegister("FILTER", 1);
    bool filtered = co_await Read(filter);
    filtered = filtered && TryStrToInt(filter->ValueText, v);
    ShowIndex(*cbFilter2, filtered, v > 3 ? 3 : v);
  }
};

TEST(PageRules, BitChoiceAndValueList) {
  TPageRig rig(1);
  rig.Device->Page = nullptr;
  auto* page = new TRulesPage(rig.Device.get());
  rig.Page = page;
  page->FormShow();
  // Before any read the bit choice does nothing and keeps the focus.
  size_t mark = rig.Mark();
  page->cbOnPUP->UserDropDown();
  page->cbOnPUP->UserSelect(1);
  EXPECT_TRUE(rig.Writes(mark).empty());
  EXPECT_TRUE(page->cbOnPUP->Focused());
  page->cbOnPUP->UserCloseUp();

  rig.Module->SetInt("OUTCONTROL", 2);
  rig.Module->SetInt("FILTER2", 7);
  rig.ShowTab(2);
  EXPECT_EQ(page->cbOnPUP->ItemIndex(), 0);
  EXPECT_EQ(page->cbOnWD->ItemIndex(), 1);
  EXPECT_EQ(page->cbFilter2->ItemIndex(), 3);
  mark = rig.Mark();
  page->cbOnPUP->UserChoose(1);
  page->cbOnWD->UserChoose(0);
  page->cbFilter2->UserChoose(1);
  using WriteList = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"OUTCONTROL", "3"}, {"OUTCONTROL", "1"}, {"FILTER2", "1"}}));
  EXPECT_FALSE(page->cbFilter2->Focused());
  // A failed read takes the selection away from both lists of the register.
  rig.Module->Fault = TSimFault{TSimFaultKind::Silence, 0, 1};
  rig.Ticks();
  EXPECT_EQ(page->cbOnPUP->ItemIndex(), -1);
  EXPECT_EQ(page->cbOnWD->ItemIndex(), -1);
  EXPECT_EQ(page->cbFilter2->ItemIndex(), 1);
}
}  // namespace

// The tabs "Общие" and "RS-485" of the module pages against a simulated module.
#include <gtest/gtest.h>

#include "comm/Resources.h"
#include "support/PageRig.h"

namespace {
using Names = std::vector<std::string>;
using WriteList = std::vector<std::pair<std::string, std::string>>;

const Names kCommonReads{"SECNS",   "MINTS",  "HOURS",      "MNAME",     "MVERSION",
                         "DAYS",    "NETWDT", "NWDTSTATUS", "RSTSTATUS", "SLFDGNS"};
const Names kNetworkReads{"SLFDGNS", "NETADDR", "NETBDRT", "MDBFMT", "DCSFMT"};

TEST(ModulePage, ShowingRunsOneCycleOfTabZeroAndStartsTheTimer) {
  TPageRig rig(1);
  ASSERT_NE(rig.Page, nullptr);
  rig.Page->pcMain->SetTabIndex(1);
  rig.Page->FormShow();
  EXPECT_EQ(rig.Page->lbCaption, "KAPPA-01 - Модуль ввода-вывода (адрес: 5)");
  EXPECT_EQ(rig.Page->pcMain->TabIndex(), 0);
  EXPECT_EQ(rig.Reads(), kCommonReads);
  EXPECT_TRUE(rig.Page->MainTimer.Enabled());
  EXPECT_EQ(rig.Page->MainTimer.Interval, 100);
  EXPECT_EQ(rig.Page->edTime->Text(), "14:22:05");
  EXPECT_EQ(rig.Page->edName->Text(), "KAPPA-01");
  EXPECT_EQ(rig.Page->edVersion->Text(), "2.13");
  EXPECT_EQ(rig.Page->edDays->Text(), "37");
  EXPECT_EQ(rig.Page->edWD->Text(), "0");
  EXPECT_EQ(rig.Page->edSelfDiag->Text(), "Нет ошибок");
  EXPECT_EQ(rig.Page->chbRestartStatus->State(), TCheckState::Checked);
  EXPECT_EQ(rig.Page->chbWDStatus->State(), TCheckState::Unchecked);
  EXPECT_EQ(rig.Page->chbInitStatus->State(), TCheckState::Unchecked);
  // The display-only boxes never take the focus.
  EXPECT_FALSE(rig.Page->chbInitStatus->CanFocus());
}

TEST(ModulePage, NewPageShowsItsInitialState) {
  TPageRig rig(3);
  EXPECT_EQ(rig.Page->edDays->Text(), ResStr("Н/Д"));
  EXPECT_EQ(rig.Page->edAddress->Text(), "Н/Д");
  EXPECT_EQ(rig.Page->cbBaud->ItemIndex(), -1);
  EXPECT_EQ(rig.Page->chbLRC->State(), TCheckState::Unchecked);
  EXPECT_EQ(rig.Mark(), 0u) << "creating the page sends nothing";
}

TEST(ModulePage, CyclesReadOnlyTheVisibleTabAndNeverOverlap) {
  TPageRig rig(1);
  rig.Page->FormShow();
  EXPECT_TRUE(rig.Page->MainTimer.Enabled());
  std::vector<std::pair<bool, int64_t>> timer;
  rig.Page->MainTimer.OnViewUpdate = [&] {
    timer.emplace_back(rig.Page->MainTimer.Enabled(), rig.Clock.Now);
  };
  size_t mark = rig.Mark();
  rig.Ticks();
  ASSERT_EQ(timer.size(), 2u);
  EXPECT_FALSE(timer[0].first);
  EXPECT_TRUE(timer[1].first);
  EXPECT_EQ(rig.Reads(mark), kCommonReads);
  // The whole cycle ran with the timer off; the next tick is due 100 ms after its end.
  EXPECT_EQ(rig.Page->MainTimer.DueAtMs(), timer[1].second + 100);
  EXPECT_GE(timer[1].second - timer[0].second, 10 * 10);

  // Switching tabs reads nothing at once and moves the focus to the tab control.
  mark = rig.Mark();
  rig.Page->pcMain->UserSelectTab(1);
  EXPECT_EQ(rig.Mark(), mark);
  EXPECT_TRUE(rig.Page->pcMain->Focused());
  rig.Ticks();
  EXPECT_EQ(rig.Reads(mark), kNetworkReads);
  mark = rig.Mark();
  rig.Ticks(2);
  Names twice = kNetworkReads;
  twice.insert(twice.end(), kNetworkReads.begin(), kNetworkReads.end());
  EXPECT_EQ(rig.Reads(mark), twice);
  // Released: no more polling.
  rig.Page->FormHide();
  EXPECT_FALSE(rig.Page->MainTimer.Enabled());
}

TEST(ModulePage, SilentModuleShowsNoDataEverywhereWithoutADialogAndPollingGoesOn) {
  TPageRig rig(1);
  rig.Page->FormShow();
  rig.Page->edName->UserEdit("typed");  // the focused field gets Н/Д as well
  rig.Silence();
  size_t mark = rig.Mark();
  rig.Ticks();
  for (TEdit* e : {rig.Page->edDays, rig.Page->edTime, rig.Page->edName, rig.Page->edVersion,
                   rig.Page->edWD, rig.Page->edSelfDiag})
    EXPECT_EQ(e->Text(), "Н/Д") << e->Name();
  for (TCheckBox* b : {rig.Page->chbWDStatus, rig.Page->chbRestartStatus, rig.Page->chbInitStatus})
    EXPECT_EQ(b->State(), TCheckState::Grayed) << b->Name();
  // The clock group stops at SECNS; every other register is still tried.
  EXPECT_EQ(rig.Reads(mark), (Names{"SECNS", "MNAME", "MVERSION", "DAYS", "NETWDT", "NWDTSTATUS",
                                    "RSTSTATUS", "SLFDGNS"}));

  rig.Page->edName->ReleaseFocus();
  rig.Page->pcMain->UserSelectTab(1);
  rig.Page->edAddress->UserEdit("12");
  rig.Ticks();
  EXPECT_EQ(rig.Page->edAddress->Text(), "Н/Д");
  EXPECT_EQ(rig.Page->cbBaud->ItemIndex(), -1);
  EXPECT_EQ(rig.Page->cbParity->ItemIndex(), -1);
  EXPECT_EQ(rig.Page->chbLRC->State(), TCheckState::Grayed);
  EXPECT_TRUE(rig.Model->InitFlag);
  EXPECT_EQ(rig.Ui.Dialogs, 0);
  EXPECT_TRUE(rig.Page->MainTimer.Enabled());

  // The module answers again: the next cycle shows its values.
  rig.Speak();
  rig.Page->edAddress->ReleaseFocus();
  rig.Ticks();
  EXPECT_EQ(rig.Page->edAddress->Text(), "5");
  EXPECT_EQ(rig.Page->cbBaud->ItemIndex(), 3);
  EXPECT_FALSE(rig.Model->InitFlag);
}

TEST(ModulePage, SelfDiagnostics) {
  const struct {
    uint32_t Value;
    const char* Text;
    TCheckState Init;
    bool InitFlag;
  } cases[] = {
      {0x8000, "Нет ошибок", TCheckState::Checked, true},
      {0x001A, "Код ошибки: 001A", TCheckState::Unchecked, false},
      {0x7FFF, "Код ошибки: 7FFF", TCheckState::Unchecked, false},
      {0x0000, "Нет ошибок", TCheckState::Unchecked, false},
  };
  for (const auto& c : cases) {
    TPageRig rig(2);
    rig.Module->SetInt("SLFDGNS", c.Value);
    rig.Page->FormShow();
    EXPECT_EQ(rig.Page->edSelfDiag->Text(), c.Text) << c.Value;
    EXPECT_EQ(rig.Page->chbInitStatus->State(), c.Init) << c.Value;
    // Only the RS-485 tab updates the flag.
    EXPECT_FALSE(rig.Model->InitFlag);
    rig.ShowTab(1);
    EXPECT_EQ(rig.Model->InitFlag, c.InitFlag) << c.Value;
  }
}

TEST(ModulePage, ClockGroup) {
  TPageRig rig(1);
  rig.Module->SetInt("SECNS", 0);
  rig.Module->SetInt("HOURS", 24);
  rig.Page->FormShow();
  EXPECT_EQ(rig.Page->edTime->Text(), "Ошибка");
  // With the focus the field is not converted, so it never shows "Ошибка" then.
  rig.Page->edTime->UserEdit("10:00:00");
  rig.Ticks();
  EXPECT_EQ(rig.Page->edTime->Text(), "10:00:00");
  rig.Page->edTime->ReleaseFocus();
  // (The module's own clock runs on: each value is set just before the cycle.)
  rig.Module->SetInt("SECNS", 0);
  rig.Module->SetInt("HOURS", 23);
  rig.Module->SetInt("MINTS", 60);
  rig.Ticks();
  EXPECT_EQ(rig.Page->edTime->Text(), "Ошибка");
  rig.Module->SetInt("SECNS", 0);
  rig.Module->SetInt("HOURS", 23);
  rig.Module->SetInt("MINTS", 7);
  rig.Ticks();
  EXPECT_EQ(rig.Page->edTime->Text().substr(0, 6), "23:07:");

  // SECNS unreadable: "Н/Д", also with the focus, and MINTS and HOURS are not read.
  rig.Page->edTime->UserEdit("1");
  rig.Module->Fault = TSimFault{TSimFaultKind::Silence, 0, 1};
  const size_t mark = rig.Mark();
  rig.Ticks();
  EXPECT_EQ(rig.Page->edTime->Text(), "Н/Д");
  const Names reads = rig.Reads(mark);
  ASSERT_GE(reads.size(), 2u);
  EXPECT_EQ(reads[0], "SECNS");
  EXPECT_EQ(reads[1], "MNAME");
}

TEST(ModulePage, NetworkDisplay) {
  const struct {
    uint32_t Baud, Parity, Lrc;
    int BaudIndex, ParityIndex;
    TCheckState LrcState;
  } cases[] = {
      {6, 0, 0, 3, 0, TCheckState::Unchecked},   {2, 1, 64, -1, 1, TCheckState::Checked},
      {11, 2, 65, -1, 2, TCheckState::Unchecked}, {3, 3, 64, 0, -1, TCheckState::Checked},
      {10, 0, 0, 7, 0, TCheckState::Unchecked},
  };
  for (const auto& c : cases) {
    TPageRig rig(4);
    rig.Module->SetInt("NETBDRT", c.Baud);
    rig.Module->SetInt("MDBFMT", c.Parity);
    rig.Module->SetInt("DCSFMT", c.Lrc);
    rig.Page->FormShow();
    rig.ShowTab(1);
    EXPECT_EQ(rig.Page->cbBaud->ItemIndex(), c.BaudIndex) << c.Baud;
    EXPECT_EQ(rig.Page->cbParity->ItemIndex(), c.ParityIndex) << c.Parity;
    EXPECT_EQ(rig.Page->chbLRC->State(), c.LrcState) << c.Lrc;
  }
  TPageRig rig(4);
  rig.Page->FormShow();
  rig.ShowTab(1);
  EXPECT_EQ(rig.Page->cbBaud->Items()[size_t(rig.Page->cbBaud->ItemIndex())], "9600");
}

TEST(ModulePage, AddressEntry) {
  TPageRig rig(1);
  rig.Page->FormShow();
  rig.ShowTab(1);
  TEdit& ed = *rig.Page->edAddress;
  for (const char* bad : {"0", "248", "abc", "", "-1"}) {
    const size_t mark = rig.Mark();
    const int beeps = rig.Ui.Beeps;
    ed.UserEdit(bad);
    ed.UserKey(13);
    EXPECT_TRUE(rig.Writes(mark).empty()) << bad;
    EXPECT_EQ(ed.Color(), TTextColor::Red) << bad;
    EXPECT_EQ(rig.Ui.Beeps, beeps + 1) << bad;
    EXPECT_TRUE(ed.Focused()) << bad;
  }
  EXPECT_EQ(rig.Ui.Dialogs, 0);
  // Leaving the field turns the text back to normal and writes nothing.
  size_t mark = rig.Mark();
  rig.Page->cbBaud->UserDropDown();
  EXPECT_EQ(ed.Color(), TTextColor::Normal);
  rig.Page->cbBaud->UserCloseUp();
  EXPECT_TRUE(rig.Writes(mark).empty());

  // Esc abandons: nothing written, the focus released, the next refresh puts the value back.
  ed.UserEdit("17");
  ed.UserKey(27);
  EXPECT_FALSE(ed.Focused());
  rig.Ticks();
  EXPECT_TRUE(rig.Writes(mark).empty());
  EXPECT_EQ(ed.Text(), "5");

  // 247 is written, and the page follows the module there (its state was read: not INIT).
  mark = rig.Mark();
  const int64_t before = rig.Clock.TotalSleptMs;
  ed.UserEdit("247");
  ed.UserKey(13);
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"NETADDR", "247"}}));
  EXPECT_GE(rig.Clock.TotalSleptMs - before, 200);
  EXPECT_FALSE(ed.Focused());
  EXPECT_EQ(rig.Model->Address, 247u);
  EXPECT_EQ(rig.Page->lbCaption, "KAPPA-01 - Модуль ввода-вывода (адрес: 247)");
}

TEST(ModulePage, AddressChangeFollowsTheModuleUnlessInitFlag) {
  {
    TPageRig rig(1);
    rig.Page->FormShow();
    rig.ShowTab(1);
    ASSERT_FALSE(rig.Model->InitFlag);
    rig.Page->edAddress->UserEdit("12");
    rig.Page->edAddress->UserKey(13);
    EXPECT_EQ(rig.Module->AnswerAddress(), 12);
    EXPECT_EQ(rig.Page->lbCaption, "KAPPA-01 - Модуль ввода-вывода (адрес: 12)");
    const size_t mark = rig.Mark();
    rig.Ticks();
    const auto seen = rig.Seen(mark);
    ASSERT_EQ(seen.size(), 5u);
    for (const auto& f : seen) EXPECT_EQ(f.Address, 12) << f.Register;
    EXPECT_EQ(rig.Page->edAddress->Text(), "12");
    // The tree node keeps its text.
    EXPECT_EQ(rig.Device->NameText, "KAPPA-01");
  }
  {
    TPageRig rig(1);
    rig.Module->SetInt("SLFDGNS", 0x8000);
    rig.Page->FormShow();
    rig.ShowTab(1);
    ASSERT_TRUE(rig.Model->InitFlag);
    size_t mark = rig.Mark();
    rig.Page->edAddress->UserEdit("12");
    rig.Page->edAddress->UserKey(13);
    EXPECT_EQ(rig.Writes(mark), (WriteList{{"NETADDR", "12"}}));
    EXPECT_EQ(rig.Model->Address, 5u);
    EXPECT_EQ(rig.Page->lbCaption, "KAPPA-01 - Модуль ввода-вывода (адрес: 5)");
    mark = rig.Mark();
    rig.Ticks();
    for (const auto& f : rig.Seen(mark)) EXPECT_EQ(f.Address, 5) << f.Register;
  }
  {
    // A failed write keeps the address as well.
    TPageRig rig(1);
    rig.Page->FormShow();
    rig.ShowTab(1);
    rig.Module->Fault = TSimFault{TSimFaultKind::BadCrc, 0, 1};
    rig.Page->edAddress->UserEdit("12");
    rig.Page->edAddress->UserKey(13);
    EXPECT_EQ(rig.Model->Address, 5u);
    EXPECT_EQ(rig.Ui.Dialogs, 0);
  }
}

TEST(ModulePage, NumberEntriesOfTheCommonTab) {
  TPageRig rig(1);
  rig.Page->FormShow();
  const struct {
    TEdit* Field;
    const char* Register;
  } fields[] = {{rig.Page->edDays, "DAYS"}, {rig.Page->edWD, "NETWDT"}};
  for (const auto& f : fields) {
    size_t mark = rig.Mark();
    for (const char* bad : {"65536", "-1", "1 2", "x"}) {
      f.Field->UserEdit(bad);
      f.Field->UserKey(13);
      EXPECT_EQ(f.Field->Color(), TTextColor::Red) << bad;
      EXPECT_TRUE(f.Field->Focused());
    }
    EXPECT_TRUE(rig.Writes(mark).empty());
    f.Field->UserEdit("65535");
    f.Field->UserKey(13);
    EXPECT_EQ(rig.Writes(mark), (WriteList{{f.Register, "65535"}}));
    EXPECT_FALSE(f.Field->Focused());
    EXPECT_EQ(f.Field->Color(), TTextColor::Normal);
    // The result is not shown: the field keeps the typed text until the next refresh.
    EXPECT_EQ(f.Field->Text(), "65535");
    EXPECT_EQ(rig.Module->Int(f.Register), 65535u);
  }
  EXPECT_EQ(rig.Ui.Beeps, 8);
}

TEST(ModulePage, TimeNameAndCommandEntries) {
  TPageRig rig(5);
  rig.Page->FormShow();
  size_t mark = rig.Mark();
  rig.Page->edTime->UserEdit("25:00:00");
  rig.Page->edTime->UserKey(13);
  EXPECT_EQ(rig.Page->edTime->Color(), TTextColor::Red);
  EXPECT_TRUE(rig.Writes(mark).empty());
  const int64_t before = rig.Clock.TotalSleptMs;
  rig.Page->edTime->UserEdit("07:08:09");
  rig.Page->edTime->UserKey(13);
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"SECNS", "9"}, {"MINTS", "8"}, {"HOURS", "7"}}));
  EXPECT_GE(rig.Clock.TotalSleptMs - before, 600);
  EXPECT_FALSE(rig.Page->edTime->Focused());

  rig.Page->edName->UserEdit("Насос 3");
  rig.Page->edName->UserKey(27);
  rig.Page->edName->UserEdit("Насос 3");
  rig.Page->edName->UserKey(13);
  EXPECT_EQ(rig.Module->Text("MNAME"), "Насос 3");

  mark = rig.Mark();
  rig.Page->bbWDStatusReset->UserClick();
  rig.Page->bbRestartStatusReset->UserClick();
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"NWDTSTATUS", "0"}, {"RSTSTATUS", "0"}}));
  EXPECT_FALSE(rig.Page->bbRestartStatusReset->Focused());
  EXPECT_EQ(rig.Page->bbWDStatusReset->Hint, "Сброс статуса");
  rig.Ticks();
  EXPECT_EQ(rig.Page->chbRestartStatus->State(), TCheckState::Unchecked);
  EXPECT_EQ(rig.Page->edName->Text(), "Насос 3");
}

TEST(ModulePage, FocusedFieldAndDroppedDownListAreNotOverwritten) {
  TPageRig rig(1);
  rig.Page->FormShow();
  rig.Page->edDays->UserEdit("99");
  rig.Ticks();
  EXPECT_EQ(rig.Page->edDays->Text(), "99");
  EXPECT_EQ(rig.Page->edWD->Text(), "0");
  // The discrete pages leave a focused version field alone too.
  rig.Page->edVersion->SetFocus();
  rig.Module->SetText("MVERSION", "3.00");
  rig.Ticks();
  EXPECT_EQ(rig.Page->edVersion->Text(), "2.13");
  rig.Page->edVersion->ReleaseFocus();

  rig.ShowTab(1);
  rig.Page->cbBaud->UserDropDown();
  rig.Page->cbBaud->ReleaseFocus();  // open but without the focus: still left alone
  rig.Module->SetInt("NETBDRT", 10);
  rig.Ticks();
  EXPECT_EQ(rig.Page->cbBaud->ItemIndex(), 3);
  rig.Page->cbBaud->UserCloseUp();
  EXPECT_FALSE(rig.Page->cbBaud->Focused());
  rig.Ticks();
  EXPECT_EQ(rig.Page->cbBaud->ItemIndex(), 7);
}

TEST(ModulePage, AnalogPagesShowTheVersionEvenWithTheFocus) {
  for (int model : {2, 4, 5}) {
    TPageRig rig(model);
    rig.Page->FormShow();
    rig.Page->edVersion->SetFocus();
    rig.Module->SetText("MVERSION", "3.00");
    rig.Ticks();
    EXPECT_EQ(rig.Page->edVersion->Text(), "3.00") << model;
  }
}

TEST(ModulePage, NetworkListsAndLrcBox) {
  TPageRig rig(1);
  rig.Page->FormShow();
  rig.ShowTab(1);
  size_t mark = rig.Mark();
  rig.Page->cbBaud->UserChoose(7);
  rig.Page->cbParity->UserChoose(2);
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"NETBDRT", "10"}, {"MDBFMT", "2"}}));
  EXPECT_FALSE(rig.Page->cbParity->Focused());
  // The port keeps its own line settings.
  EXPECT_EQ(rig.Port.BaudRate(), 9600);

  mark = rig.Mark();
  rig.Page->chbLRC->SetChecked(true);  // a refresh's doing: nothing written
  rig.Page->chbLRC->UserClick();       // unchecked by the user
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"DCSFMT", "0"}}));
  rig.Page->chbLRC->UserClick();
  EXPECT_EQ(rig.Writes(mark), (WriteList{{"DCSFMT", "0"}, {"DCSFMT", "64"}}));
  EXPECT_FALSE(rig.Page->chbLRC->Focused());

  // Unread register: nothing happens and the box keeps the focus.
  rig.Model->DCSFMT->SetValue({});
  mark = rig.Mark();
  rig.Page->chbLRC->UserClick();
  EXPECT_TRUE(rig.Writes(mark).empty());
  EXPECT_TRUE(rig.Page->chbLRC->Focused());
}

TEST(ModulePage, UnrecognisedModuleKeepsThePlainPage) {
  TPageRig rig(1);
  std::unique_ptr<TprNode> unknown(CreateDevice(0, 9, &rig.Port));
  TprForm* page = CreatePage(unknown->PageClass, unknown.get());
  EXPECT_EQ(dynamic_cast<TModuleForm*>(page), nullptr);
  page->FormShow();
  EXPECT_EQ(page->lbCaption, " " + unknown->NameText + " - " + unknown->KindText);
  // A module page class asked for a node that is no model falls back to the plain page.
  TprNode plain;
  EXPECT_EQ(dynamic_cast<TModuleForm*>(CreatePage("TKappaForm", &plain)), nullptr);
  for (int model = 1; model <= 5; ++model) {
    std::unique_ptr<TprNode> d(CreateDevice(model, 3, &rig.Port));
    EXPECT_NE(dynamic_cast<TModuleForm*>(CreatePage(d->PageClass, d.get())), nullptr) << model;
  }
}
}  // namespace

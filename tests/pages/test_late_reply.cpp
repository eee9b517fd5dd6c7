// Line faults as a module page meets them. A module that answers after the read time-out: its
// late replies must never be taken for the answer to a later request (Modbus RTU has no
// transaction number to tell them apart). A line error that stops the polling. A name the
// modules' code page cannot hold.
#include <gtest/gtest.h>

#include "comm/CPort.h"
#include "support/PageRig.h"

namespace {

TEST(LateReply, LatenessUpToTwiceTheTimeOutShowsOnlyNoData) {
  for (uint8_t protocol : {ptModbus, ptVela}) {
    for (int32_t baud : {115200, 9600}) {
      TPageRig rig(1);
      rig.Port.SetProtocol(protocol);
      rig.Port.SetBaudRate(baud);
      rig.Port.ApplySettings();
      // Values a misplaced reply would show: the watchdog time-out would check the status box.
      rig.Module->SetInt("NETWDT", 1);
      rig.Module->SetInt("NWDTSTATUS", 0);
      const auto [shortest, longest] = rig.ReadTimeoutRange();
      ASSERT_LT(longest, 2 * shortest);
      // Lateness from the end of the request to the reply, past every register's own
      // time-out, so that no read can succeed on time.
      const int turnaround = int(rig.Bus->TurnaroundMs);
      for (int late : {longest + 1, (longest + 2 * shortest) / 2, 2 * shortest}) {
        SCOPED_TRACE(std::string(protocol == ptVela ? "Vela " : "Modbus ") +
                     std::to_string(baud) + " baud, " + std::to_string(late) + " ms late");
        rig.Module->Fault = TSimFault{TSimFaultKind::Late, late - turnaround, -1};
        rig.Page->FormShow();
        for (int tab : {0, 1}) {
          if (tab != rig.Page->pcMain->TabIndex()) rig.ShowTab(tab);
          for (int cycle = 0; cycle < 12; ++cycle) {
            rig.Ticks();
            EXPECT_EQ(rig.LiveLooking(tab), std::vector<std::string>{}) << "cycle " << cycle;
          }
        }
        rig.Page->FormHide();
      }
    }
  }
}

// The first byte of a reply that is already there once the request is out came before the
// module could have heard the request: the answer to an earlier one.
TEST(LateReply, AReplyArrivingWhileTheRequestIsSentIsNotItsAnswer) {
  TPageRig rig(1);
  rig.Port.SetBaudRate(1200);  // a request takes 8 x 9.2 ms on the wire
  rig.Port.ApplySettings();
  rig.Module->SetInt("DAYS", 777);
  rig.Module->SetInt("RSTSTATUS", 0);
  TprDevReg* days = rig.Model->DAYS;
  TprDevReg* restart = rig.Model->RSTSTATUS;
  const TComTimeouts& t = rig.Line->Timeouts();
  const int timeout = t.ReadTotalMultiplier * days->ModbusRead.ReplyLength + t.ReadTotalConstant;
  // Only the DAYS reply is late, by 30 ms past its time-out: it starts while the next request
  // is on the wire.
  rig.Module->Fault = TSimFault{TSimFaultKind::Late, timeout + 30, 1};
  EXPECT_FALSE(rig.Model->ReadRegister(days));
  rig.Port.ClearReplyGuards();  // no quiet wait: the request goes 10 ms after the time-out
  EXPECT_FALSE(rig.Model->ReadRegister(restart));
  EXPECT_EQ(restart->ValueText, "");
  // The exchange that saw it counts as timed out: the next request waits for the quiet line
  // and gets its own answer.
  EXPECT_TRUE(rig.Model->ReadRegister(restart));
  EXPECT_EQ(restart->ValueText, "0");
}

// The guard costs nothing while the module answers in time.
TEST(LateReply, NoWaitWhileTheModuleAnswers) {
  TPageRig rig(1);
  rig.Page->FormShow();
  rig.Ticks(5);
  EXPECT_EQ(rig.Port.GuardWaitedMs, 0);
  EXPECT_EQ(rig.LiveLooking(0).size(), 9u);  // every value of the tab
  // A silent module: every read after the first waits for the quiet line.
  rig.Silence();
  rig.Ticks(3);
  EXPECT_GT(rig.Port.GuardWaitedMs, 0);
}


// The adapter is gone: the cycle's first exchange raises, the error leaves the tick once and
// the timer stays off. Every value of every tab shows its failure display, not the last
// values read; showing the page again (selecting its node again) polls again.
TEST(StoppedPolling, ALineErrorLeavesNoValueLookingLive) {
  for (int model = 1; model <= 5; ++model) {
    TPageRig rig(model);
    SCOPED_TRACE(rig.Device->NameText);
    rig.Page->FormShow();
    rig.ShowTab(1);
    EXPECT_FALSE(rig.LiveLooking(1).empty());
    rig.Sim->Unplugged = true;
    EXPECT_THROW(rig.Ticks(), EComPort);
    EXPECT_FALSE(rig.Page->MainTimer.Enabled());
    for (size_t tab = 0; tab < rig.Page->pcMain->Sheets().size(); ++tab)
      EXPECT_EQ(rig.LiveLooking(int(tab)), std::vector<std::string>{}) << "tab " << tab;

    // Back again: the next selection closes the vanished line (which reports its loss once
    // more) and opens it anew.
    rig.Sim->Unplugged = false;
    EXPECT_THROW(rig.Line->Close(), EComPort);
    rig.Line->Open();
    rig.Page->FormShow();
    EXPECT_TRUE(rig.Page->MainTimer.Enabled());
    EXPECT_FALSE(rig.LiveLooking(0).empty());
  }
}

// A name with a character outside the modules' code page is rejected as an entry is.
TEST(WireText, TheNameFieldRejectsWhatTheCodePageCannotHold) {
  TPageRig rig(1);
  rig.Page->FormShow();
  const size_t mark = rig.Mark();
  rig.Page->edName->UserEdit("Pumpe ä");
  rig.Page->edName->UserKey(13);
  EXPECT_EQ(rig.Page->edName->Color(), TTextColor::Red);
  EXPECT_EQ(rig.Ui.Beeps, 1);
  EXPECT_TRUE(rig.Page->edName->Focused());
  EXPECT_TRUE(rig.Writes(mark).empty());

  rig.Page->edName->UserEdit("Насос подачи");
  rig.Page->edName->UserKey(13);
  EXPECT_EQ(rig.Writes(mark).size(), 1u);
  EXPECT_EQ(rig.Module->Text("MNAME"), "Насос подачи");
  EXPECT_EQ(rig.Ui.Beeps, 1);
}

}  // namespace

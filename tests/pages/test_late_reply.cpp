// Line faults as a module page meets them. A module that answers after the read time-out: its
// late replies must never be taken for the answer to a later request (Modbus RTU has no
// transaction number to tell them apart). A line error that stops the polling. A name the
// modules' code page cannot hold.
#include <gtest/gtest.h>

#include "comm/CPort.h"
#include "comm/Resources.h"
#include "support/PageRig.h"

namespace {

// A line and a lateness: every reply comes lateMs after the end of its request (the module's
// turnaround included), later than the read time-out of every register.
struct TLateCase {
  uint8_t Protocol;
  int32_t Baud;
  int32_t TimeoutMs;  // the port's time-out, 0: automatic
  int LateMs;
};

std::string Describe(const TLateCase& c) {
  return std::string(c.Protocol == ptVela ? "Vela " : "Modbus ") + std::to_string(c.Baud) +
         " baud, time-out " + std::to_string(c.TimeoutMs) + " ms, " + std::to_string(c.LateMs) +
         " ms late";
}

void SetLine(TPageRig& rig, const TLateCase& c) {
  rig.Port.SetProtocol(c.Protocol);
  rig.Port.SetBaudRate(c.Baud);
  rig.Port.SetTimeout(c.TimeoutMs);
  rig.Port.ApplySettings();
}

TSimFault LateFault(const TPageRig& rig, int lateMs) {
  const int delay = lateMs - int(rig.Bus->TurnaroundMs);
  return delay > 0 ? TSimFault{TSimFaultKind::Late, delay, -1} : TSimFault{};
}

// From just past the longest read time-out of the model's registers to 17 times it, and a
// manual time-out shorter than the module needs (10 ms for 30 ms, 1 ms for its turnaround).
std::vector<TLateCase> LateCases() {
  std::vector<TLateCase> cases;
  for (uint8_t protocol : {ptModbus, ptVela}) {
    for (int32_t baud : {115200, 9600}) {
      TPageRig probe(1);
      SetLine(probe, {protocol, baud, 0, 0});
      const int longest = probe.ReadTimeoutRange().second;
      for (double factor : {1.1, 1.5, 2.0, 3.0, 5.0, 10.0, 17.0})
        cases.push_back({protocol, baud, 0, int(factor * longest)});
      cases.push_back({protocol, baud, 10, 30});
      cases.push_back({protocol, baud, 1, int(probe.Bus->TurnaroundMs)});
    }
  }
  return cases;
}

TEST(LateReply, AtAnyLatenessThePageShowsOnlyNoData) {
  for (const TLateCase& c : LateCases()) {
    SCOPED_TRACE(Describe(c));
    TPageRig rig(1);
    SetLine(rig, c);
    // Values a misplaced reply would show: the watchdog time-out would check the status box.
    rig.Module->SetInt("NETWDT", 1);
    rig.Module->SetInt("NWDTSTATUS", 0);
    rig.Module->Fault = LateFault(rig, c.LateMs);
    rig.Page->FormShow();
    for (int tab : {0, 1}) {
      if (tab != rig.Page->pcMain->TabIndex()) rig.ShowTab(tab);
      for (int cycle = 0; cycle < 8; ++cycle) {
        rig.Ticks();
        EXPECT_EQ(rig.LiveLooking(tab), std::vector<std::string>{}) << "cycle " << cycle;
      }
    }
  }
}

// Registers of one reply size, each with a value of its own: a reply taken for another
// register's shows that register's value. The module answers late for a while, then in time
// again (at the automatic time-out), and its values come back.
TEST(LateReply, AReadGivesItsOwnValueOrNoneAndValuesComeBackInTime) {
  const std::vector<std::pair<std::string, uint32_t>> values = {
      {"DAYS", 301}, {"NETWDT", 302}, {"DCSFMT", 3}};
  for (const TLateCase& c : LateCases()) {
    SCOPED_TRACE(Describe(c));
    TPageRig rig(1);
    SetLine(rig, c);
    for (const auto& [name, value] : values) rig.Module->SetInt(name, value);
    rig.Module->Fault = LateFault(rig, c.LateMs);
    std::vector<bool> read;
    for (int round = 0; round < 16; ++round) {
      if (round == 8) {
        EXPECT_GT(rig.Port.LateReplyMs(rig.Model->Address), 0);
        rig.Speak();
        rig.Port.SetTimeout(0);
      }
      read.clear();
      for (const auto& [name, value] : values) {
        TprDevReg* reg = rig.Model->FindRegister(name);
        const bool ok = rig.Model->ReadRegister(reg);
        EXPECT_EQ(reg->ValueText, ok ? std::to_string(value) : "") << name << ", round " << round;
        read.push_back(ok);
      }
    }
    EXPECT_EQ(read, std::vector<bool>(values.size(), true));
    EXPECT_EQ(rig.Port.LateReplyMs(rig.Model->Address), 0);
  }
}

// The page says in a line under its caption that the module answers late, and how late,
// until its replies come in time again.
TEST(LateReply, ThePageNoticeNamesTheLatenessUntilRepliesComeInTime) {
  TPageRig rig(1);
  rig.Page->FormShow();
  rig.Ticks(2);
  EXPECT_EQ(rig.Page->lbNotice, "");
  rig.Module->Fault = LateFault(rig, 240);
  rig.Ticks(3);
  const std::string notice = rig.Page->lbNotice;
  // The lateness counts to the end of the reply: a little over 240 ms.
  const size_t digits = notice.find_first_of("0123456789");
  ASSERT_NE(digits, std::string::npos) << notice;
  const int late = std::stoi(notice.substr(digits));
  EXPECT_GE(late, 240);
  EXPECT_LT(late, 240 + 40);
  EXPECT_EQ(notice.substr(0, digits) + "%d" + notice.substr(notice.find(' ', digits)),
            ResStr("Модуль отвечает с опозданием: %d мс; увеличьте таймаут порта"));
  rig.Speak();
  rig.Ticks(3);
  EXPECT_EQ(rig.Page->lbNotice, "");
  EXPECT_NE(rig.LiveLooking(0), std::vector<std::string>{});
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

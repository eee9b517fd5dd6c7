// The in-memory line: line time on the fake clock, recorded traffic, open failures, and every
// fault mode as the master's exchange sees it.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "comm/Clock.h"
#include "comm/prDevOps.h"
#include "comm/prPort.h"
#include "sim/SimBackend.h"
#include "support/SimExchange.h"

using namespace simtest;

namespace {

struct Line : ::testing::Test {
  std::shared_ptr<TSimBus> bus = std::make_shared<TSimBus>();
  TSimModule* kappa = &bus->AddModel(1, 1);
  TSimBackend* sim = nullptr;
  std::unique_ptr<TComPort> line;
  TFakeClock clock;
  TClockGuard guard{&clock};
  std::vector<std::unique_ptr<TprDevReg>> regs;

  void SetUp() override {
    auto backend = std::make_unique<TSimBackend>(bus);
    sim = backend.get();
    line = std::make_unique<TComPort>(std::move(backend));
    line->SetPort("/dev/ttyUSB3");
    // The port's automatic time-outs at 9600 baud, 8N1: interval 17, multiplier 2, 66.
    line->SetTimeouts({17, 2, 66, 2, 200});
    line->Open();
  }
  TprDevReg& Reg(const char* name, uint8_t address = 1) {
    for (const auto& d : RegisterMap(1))
      if (std::string(d.Name) == name) {
        regs.push_back(std::make_unique<TprDevReg>(nullptr, name));
        regs.back()->Setup(address, d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
        return *regs.back();
      }
    throw std::logic_error(name);
  }
};

TEST_F(Line, AnAnsweredReadTakesTheWireTimeOnTheFakeClock) {
  TprDevReg& secns = Reg("SECNS");
  ASSERT_TRUE(LineReadModbus(*line, secns));
  // 8 request bytes + 2 ms turnaround + 7 reply bytes at 1.0417 ms a character.
  EXPECT_EQ(clock.Now, 17);
  EXPECT_EQ(clock.SleepCount, 0);
  EXPECT_EQ(clock.TotalSleptMs, 0);
  ASSERT_EQ(sim->Frames.size(), 1u);
  EXPECT_EQ(sim->Frames[0], std::vector<uint8_t>(secns.ModbusRead.Frame, secns.ModbusRead.Frame + 8));
  EXPECT_EQ(sim->Reads.back().size(), 7u);
  EXPECT_EQ(sim->OpenPort(), "/dev/ttyUSB3");

  // At 19200 baud with even parity (11 bits a character) the same exchange is shorter.
  line->SetBaudRate(br19200);
  line->SetParity({prEven, true});
  ASSERT_TRUE(LineReadModbus(*line, secns));
  EXPECT_EQ(clock.Now, 28);  // 17.6 before, then 8 x 0.573 + 2 + 7 x 0.573 = 10.6
}

TEST_F(Line, ASilentBusTakesTheReadTotalTimeout) {
  TprDevReg& nobody = Reg("SECNS", 9);
  EXPECT_FALSE(LineReadModbus(*line, nobody));
  EXPECT_EQ(sim->Reads.back().size(), 0u);
  EXPECT_EQ(clock.Now, 88);  // 8.3 ms writing, then 2 x 7 + 66

  line->SetTimeouts({0, 0, 500, 2, 200});
  EXPECT_FALSE(LineReadVela(*line, nobody));
  EXPECT_EQ(clock.Now, 593);  // 88.3 before, 5 bytes, then the constant of 500
}

TEST_F(Line, TheModulesLiveOnTheLinesTime) {
  clock.Advance(61000);
  TprDevReg& secns = Reg("SECNS");
  TprDevReg& mints = Reg("MINTS");
  ASSERT_TRUE(LineReadVela(*line, secns));
  ASSERT_TRUE(LineReadVela(*line, mints));
  EXPECT_EQ(secns.ValueText, "6");  // 5 + 61 s
  EXPECT_EQ(mints.ValueText, "23");
}

TEST_F(Line, OpeningClosingAndTheClosedLine) {
  EXPECT_TRUE(sim->IsOpen());
  line->Close();
  EXPECT_FALSE(sim->IsOpen());
  EXPECT_EQ(sim->CloseCount, 1);
  uint8_t byte = 0;
  EXPECT_THROW(sim->Write(&byte, 1), EComPort);
  try {
    sim->Purge(true, true);
    FAIL();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_PurgeFailed);
  }

  sim->BusyPorts = {"/dev/ttyS0"};
  line->SetPort("/dev/ttyS0");
  try {
    line->Open();
    FAIL();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_OpenFailed);
    EXPECT_EQ(e.WinCode, EBUSY);
  }
  EXPECT_FALSE(line->Connected());
  line->SetPort("anything at all");
  line->Open();
  EXPECT_TRUE(sim->IsOpen());
  sim->FailOpen = true;
  line->Close();
  EXPECT_THROW(line->Open(), EComPort);
  EXPECT_EQ(sim->OpenCount, 2);
}

TEST_F(Line, EachPortNameCanReachItsOwnBus) {
  auto other = std::make_shared<TSimBus>();
  other->AddModel(4, 1);
  sim->SetBus("/dev/ttyUSB0", other);
  TprDevReg probe(nullptr, "PROBE");
  probe.Setup(1, 1, 0, 256, 0, dtUInt8);
  ASSERT_TRUE(LineReadModbus(*line, probe));
  EXPECT_EQ(probe.ValueText, "201");
  line->SetPort("/dev/ttyUSB0");
  ASSERT_TRUE(LineReadModbus(*line, probe));
  EXPECT_EQ(probe.ValueText, "204");
}

struct FaultCase {
  TSimFaultKind Kind;
  int Param;
  int BytesReceived;  // of a 7-byte Modbus reply
};

TEST_F(Line, EachFaultModeSpoilsTheReplyAsItSays) {
  const FaultCase cases[] = {
      {TSimFaultKind::None, 0, 7},
      {TSimFaultKind::Silence, 0, 0},
      {TSimFaultKind::BadCrc, 0, 7},
      {TSimFaultKind::Truncated, 4, 4},
      {TSimFaultKind::Noise, 2, 7},  // 2 noise bytes and the first 5 of the reply
      {TSimFaultKind::Late, 0, 0},
  };
  TprDevReg& secns = Reg("SECNS");
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.Kind));
    kappa->Fault = {c.Kind, c.Param, -1};
    clock.Advance(2000);  // any late reply of the case before has come and gone
    secns.SealModbusRead();
    const TModbusRecord reply = LineExchange(*line, secns.ModbusRead);
    EXPECT_EQ(reply.RequestLength, c.BytesReceived);
    EXPECT_EQ(secns.DecodeModbusReply(reply), c.Kind == TSimFaultKind::None);
    if (c.Kind == TSimFaultKind::BadCrc || c.Kind == TSimFaultKind::Truncated) {
      // The bytes before the spoiled part are those of the true reply.
      EXPECT_EQ(reply.Frame[0], 1);
      EXPECT_EQ(reply.Frame[1], 3);
      EXPECT_EQ(reply.Frame[2], 2);
    }
    if (c.Kind == TSimFaultKind::Noise) {
      EXPECT_EQ(reply.Frame[0], 0x00);
      EXPECT_EQ(reply.Frame[1], 0xFF);
      EXPECT_EQ(reply.Frame[2], 1);
    }
  }
}

TEST_F(Line, ALateReplySurvivesThePurgeAndSpoilsTheNextExchange) {
  kappa->Fault = {TSimFaultKind::Late, 85, 1};
  TprDevReg& secns = Reg("SECNS");
  TprDevReg& days = Reg("DAYS");
  EXPECT_FALSE(LineReadModbus(*line, secns));  // nothing within 82 ms
  // The next exchange starts while the late reply is still on its way: its bytes come in
  // first and the reply to DAYS behind them is not read.
  EXPECT_FALSE(LineReadModbus(*line, days));
  // Once the line is quiet the module answers normally again.
  clock.Advance(500);
  EXPECT_TRUE(LineReadModbus(*line, days));
  EXPECT_EQ(days.ValueText, "37");
}

TEST_F(Line, TruncatedRepliesEndAfterTheIntervalNotTheTotal) {
  kappa->Fault = {TSimFaultKind::Truncated, 3, -1};
  TprDevReg& secns = Reg("SECNS");
  EXPECT_FALSE(LineReadModbus(*line, secns));
  EXPECT_EQ(sim->Reads.back().size(), 3u);
  EXPECT_EQ(clock.Now, 30);  // last byte at 13.5 ms, then the 17 ms interval
}

TEST_F(Line, TwoModulesAtOneAddressGarbleEachOthersReplies) {
  TSimModule& twin = bus->AddModel(1, 1);
  TprDevReg& secns = Reg("SECNS");
  EXPECT_FALSE(LineReadModbus(*line, secns));
  EXPECT_FALSE(LineReadVela(*line, secns));
  twin.Fault = {TSimFaultKind::Silence, 0, -1};  // the twin now stays out of it
  clock.Advance(50);  // the garbled tail (the twin's last byte) has arrived and is purged
  EXPECT_TRUE(LineReadModbus(*line, secns));
}

}  // namespace


namespace {

// The same faults through the port node and the device register operations of the program.
TEST(PortOnSimBus, ReadRegisterFailsForEveryFaultAndRecovers) {
  auto bus = std::make_shared<TSimBus>();
  TSimModule& eta = bus->AddModel(2, 8);
  TFakeClock clock;
  TClockGuard guard(&clock);
  TComPort line(std::make_unique<TSimBackend>(bus));
  TprPort port;
  port.SetComPort(&line);
  port.SetPortName("/dev/ttyS4");
  line.SetPort("/dev/ttyS4");
  line.Open();
  port.ApplySettings();
  TprDevReg days(nullptr, "DAYS");
  days.Setup(8, 0, 25, 25, 0, dtUInt16);
  for (uint8_t protocol : {uint8_t(ptModbus), uint8_t(ptVela)}) {
    port.SetProtocol(protocol);
    for (TSimFaultKind kind : {TSimFaultKind::Silence, TSimFaultKind::BadCrc,
                               TSimFaultKind::Truncated, TSimFaultKind::Noise,
                               TSimFaultKind::Late}) {
      SCOPED_TRACE(int(kind));
      eta.Fault = {kind, 0, 1};
      EXPECT_FALSE(ReadRegister(port, days));
      EXPECT_TRUE(days.ValueText.empty());
      clock.Advance(2000);  // a late reply has come and gone
      EXPECT_TRUE(ReadRegister(port, days));
      EXPECT_EQ(days.ValueText, "37");
    }
  }
  EXPECT_EQ(clock.TotalSleptMs, 20 * 10);  // only the 10 ms pauses after each read
}

}  // namespace

// The tap on the line against simulated modules: what each kind of fault looks like to the
// observers, what the exchanges meant, and what the bus health makes of them.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comm/Clock.h"
#include "comm/ExchangeTap.h"
#include "comm/prPort.h"
#include "models/BusHealth.h"
#include "models/BusTrace.h"
#include "sim/SimBackend.h"

namespace {

using enum TExchangeOutcome;

// A port on an in-memory bus with the fake clock, and the records the tap reports.
struct TTapRig {
  TFakeClock Clock;
  TClockGuard Guard{&Clock};
  std::shared_ptr<TSimBus> Bus = std::make_shared<TSimBus>();
  std::unique_ptr<TComPort> Line;
  TprPort Port;
  std::vector<TExchangeRecord> Records;
  TTapListener Listener{[this](const TExchangeRecord& r) { Records.push_back(r); }};

  explicit TTapRig(uint8_t protocol = ptModbus, int32_t baud = 9600) {
    Line = std::make_unique<TComPort>(std::make_unique<TSimBackend>(Bus));
    Port.SetComPort(Line.get());
    Port.SetPortName("/dev/ttyS0");
    Port.SetProtocol(protocol);
    Port.SetBaudRate(baud);
    Port.ApplySettings();
    Line->Open();
  }
  std::unique_ptr<TprModel> Device(int modelIndex, uint32_t address) {
    return std::unique_ptr<TprModel>(dynamic_cast<TprModel*>(CreateDevice(modelIndex, address, &Port)));
  }
  std::vector<TExchangeOutcome> Outcomes() const {
    std::vector<TExchangeOutcome> out;
    for (const auto& r : Records) out.push_back(r.Outcome);
    return out;
  }
};

struct TFaultCase {
  const char* Name;
  uint8_t Protocol;
  TSimFault Fault;
  std::vector<TExchangeOutcome> Outcomes;  // of two reads of NETWDT
  bool TwoModules = false;
  bool Unreadable = false;
};

const TFaultCase FaultCases[] = {
    {"healthy", ptModbus, {}, {Answered, Answered}},
    {"healthy", ptVela, {}, {Answered, Answered}},
    {"silent", ptModbus, {TSimFaultKind::Silence}, {Timeout, Timeout}},
    {"badcrc", ptVela, {TSimFaultKind::BadCrc}, {BadChecksum, BadChecksum}},
    {"badcrc", ptModbus, {TSimFaultKind::BadCrc}, {BadChecksum, BadChecksum}},
    {"truncated", ptModbus, {TSimFaultKind::Truncated}, {WrongLength, WrongLength}},
    {"truncated", ptVela, {TSimFaultKind::Truncated}, {WrongLength, WrongLength}},
    // The reply's tail is still coming when the read has its length: the next purge finds it.
    {"noise", ptModbus, {TSimFaultKind::Noise}, {BadChecksum, Late, BadChecksum}},
    {"noise", ptVela, {TSimFaultKind::Noise}, {BadChecksum, Late, BadChecksum}},
    // The guard before the next request sees the late reply come in.
    {"late", ptModbus, {TSimFaultKind::Late, 100}, {Timeout, Late, Timeout}},
    {"late", ptVela, {TSimFaultKind::Late, 100}, {Timeout, Late, Timeout}},
    {"exception", ptModbus, {}, {Exception, Exception}, false, true},
    // Two replies at once are one byte longer than either.
    {"two modules", ptModbus, {}, {BadChecksum, Late, BadChecksum}, true},
};

TEST(ExchangeTap, EveryFaultReportedOnceWithItsOutcome) {
  for (const TFaultCase& c : FaultCases) {
    SCOPED_TRACE(std::string(c.Name) + (c.Protocol == ptVela ? " Vela" : " Modbus"));
    TTapRig rig(c.Protocol);
    TSimModule& module = rig.Bus->AddModel(1, 3);
    module.Fault = c.Fault;
    if (c.TwoModules) rig.Bus->AddModel(1, 3);
    if (c.Unreadable) module.SetUnreadable("NETWDT");
    auto device = rig.Device(1, 3);
    device->ReadRegister(device->NETWDT);
    device->ReadRegister(device->NETWDT);
    EXPECT_EQ(rig.Outcomes(), c.Outcomes);
    for (const auto& r : rig.Records) {
      EXPECT_EQ(r.Address, r.Outcome == Late ? -1 : 3);  // a late burst answers no request
      EXPECT_EQ(r.ExceptionCode, r.Outcome == Exception ? 2 : 0);
      // Times are told whenever bytes came, and the last byte never precedes the first.
      EXPECT_EQ(r.LastByteMs >= 0, !r.Reply.empty() && r.Outcome != Late);
      EXPECT_LE(r.FirstByteMs, r.LastByteMs);
    }
  }
}

// A reply that starts while the next request is still on the wire voids that exchange; the
// observers see its bytes.
TEST(ExchangeTap, AReplyWhileSendingIsReportedWithItsBytes) {
  TTapRig rig(ptModbus, 1200);
  TSimModule& module = rig.Bus->AddModel(1, 3);
  auto device = rig.Device(1, 3);
  const TComTimeouts& t = rig.Line->Timeouts();
  module.Fault = {TSimFaultKind::Late, t.ReadTotalMultiplier * 7 + t.ReadTotalConstant + 30, 1};
  device->ReadRegister(device->NETWDT);
  rig.Port.ClearReplyGuards();
  device->ReadRegister(device->NETWDT);
  // Between the two the guard may report what it takes off the line as late bursts.
  const auto outcomes = rig.Outcomes();
  ASSERT_GE(outcomes.size(), 2u);
  EXPECT_EQ(outcomes.front(), Timeout);
  EXPECT_EQ(outcomes.back(), WhileSending);
  EXPECT_FALSE(rig.Records.back().Reply.empty());
}

TEST(ExchangeTap, RegisterNamesAndValuesInBothProtocols) {
  struct TCase {
    int Model;
    const char* Register;
    const char* Write;  // nullptr: a read
  };
  const TCase cases[] = {
      {1, "NETWDT", "77"}, {1, "NETWDT", nullptr}, {2, "MNAME", "Печь 2"}, {2, "MNAME", nullptr},
      {2, "INPTYPE3", "4"}, {4, "OUTPUTCH1", nullptr}, {5, "ANALOGINPUT2", nullptr},
  };
  for (uint8_t protocol : {ptModbus, ptVela}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.Register) + (protocol == ptVela ? " Vela" : " Modbus"));
      TTapRig rig(protocol);
      TSimModule& module = rig.Bus->AddModel(c.Model, 9);
      module.RandomInputs = module.MovingInputs = false;
      auto device = rig.Device(c.Model, 9);
      TprDevReg* reg = device->FindRegister(c.Register);
      ASSERT_TRUE(reg);
      ASSERT_TRUE(c.Write ? device->WriteRegister(reg, c.Write) : device->ReadRegister(reg));
      ASSERT_EQ(rig.Records.size(), 1u);
      const std::string value = c.Write ? c.Write : reg->ValueText;
      for (int known : {c.Model, 0}) {
        const TExchangeMeaning m = DecodeExchange(rig.Records[0], known);
        // Without the model only a name every model gives that register is told.
        if (known == 0 && m.Register.empty()) continue;
        EXPECT_EQ(m.Register, c.Register);
        EXPECT_EQ(m.Write, c.Write != nullptr);
        EXPECT_EQ(m.Value, value);
      }
    }
  }
}

TEST(ExchangeTap, SearchProbeReadsTheModelCode) {
  for (uint8_t protocol : {ptModbus, ptVela}) {
    TTapRig rig(protocol);
    rig.Bus->AddModel(3, 17);
    if (protocol == ptVela) {
      TVelaRecord request, reply;
      PrepareVelaProbe(VelaProbeTemplate(), 17, request);
      rig.Port.ExchangeVela(request, reply);
    } else {
      TModbusRecord request, reply;
      PrepareModbusProbe(ModbusProbeTemplate(), 17, request);
      rig.Port.ExchangeModbus(request, reply);
    }
    ASSERT_EQ(rig.Records.size(), 1u);
    const TExchangeMeaning m = DecodeExchange(rig.Records[0], 0);
    EXPECT_EQ(m.Value, std::to_string(ModelNames[3].Code) + " " + ModelNames[3].Name);
    EXPECT_FALSE(m.Register.empty());
  }
}

// A frame typed by hand gets the checksum the register frames carry.
TEST(ExchangeTap, HandFrameChecksumAndHex) {
  TprDevReg reg;
  reg.Setup(12, 0, 26, 26, 0, dtUInt16);
  reg.SealVelaRead();
  reg.SealModbusRead();
  const std::vector<uint8_t> vela(reg.VelaRead.Frame, reg.VelaRead.Frame + 5);
  const std::vector<uint8_t> modbus(reg.ModbusRead.Frame, reg.ModbusRead.Frame + 8);
  EXPECT_EQ(SealFrame(ptVela, {vela.begin(), vela.end() - 1}), vela);
  EXPECT_EQ(SealFrame(ptModbus, {modbus.begin(), modbus.end() - 2}), modbus);

  struct THex {
    const char* Text;
    bool Ok;
    std::vector<uint8_t> Bytes;
  };
  const THex hex[] = {
      {"0C 03 00 1a", true, {0x0C, 0x03, 0x00, 0x1A}}, {"0c03001A", true, {0x0C, 0x03, 0x00, 0x1A}},
      {"", true, {}}, {"C 03", false, {}}, {"0C 3", false, {}}, {"0G", false, {}},
  };
  for (const THex& h : hex) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ParseHexBytes(h.Text, bytes), h.Ok) << h.Text;
    if (h.Ok) {
      EXPECT_EQ(bytes, h.Bytes) << h.Text;
    }
  }
  EXPECT_EQ(HexBytes(modbus.data(), 3), "0C 03 00");
}

// Observers come and go while another thread reports; each report reaches the observers that
// listened throughout.
TEST(ExchangeTap, ObserversComeAndGoWhileAnotherThreadReports) {
  std::atomic<int> steady{0};
  TTapListener listener{[&](const TExchangeRecord&) { ++steady; }};
  constexpr int reports = 20000;
  std::thread reporter([] {
    for (int i = 0; i < reports; ++i) {
      TExchangeRecord r;
      ExchangeTap().Report(r);
    }
  });
  for (int i = 0; i < 2000; ++i) TTapListener passing{[](const TExchangeRecord&) {}};
  reporter.join();
  EXPECT_EQ(steady, reports);
}

// Each fault of a module at address 2 gives its own diagnosis; the healthy module beside it
// none.
TEST(BusHealth, EachFaultGivesItsDiagnosis) {
  using enum TBusDiagnosis;
  struct TCase {
    const char* Name;
    TSimFault Fault;
    TBusDiagnosis Expected;
    bool TwoModules = false;
  };
  const TCase cases[] = {
      {"healthy", {}, None},
      {"silent", {TSimFaultKind::Silence}, Silent},
      {"badcrc", {TSimFaultKind::BadCrc}, LineFormat},
      {"truncated", {TSimFaultKind::Truncated}, CutShort},
      {"late", {TSimFaultKind::Late, 150}, TooLate},
      {"noise", {TSimFaultKind::Noise}, Noise},
      {"two modules", {}, TwoModules, true},
  };
  for (uint8_t protocol : {ptModbus, ptVela}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (protocol == ptVela ? " Vela" : " Modbus"));
      TTapRig rig(protocol);
      TBusHealth health;
      TTapListener feed{[&](const TExchangeRecord& r) { health.Add(r); }};
      rig.Bus->AddModel(1, 1);
      rig.Bus->AddModel(3, 2).Fault = c.Fault;
      if (c.TwoModules) rig.Bus->AddModel(3, 2);
      auto good = rig.Device(1, 1);
      auto faulty = rig.Device(3, 2);
      for (int cycle = 0; cycle < 5; ++cycle) {
        for (TprModel* device : {good.get(), faulty.get()}) {
          device->ReadRegister(device->NETWDT);
          device->ReadRegister(device->SLFDGNS);
        }
      }
      const TModuleHealth* ok = health.Find("/dev/ttyS0", 1);
      const TModuleHealth* bad = health.Find("/dev/ttyS0", 2);
      ASSERT_TRUE(ok && bad);
      EXPECT_EQ(health.Diagnose(*ok), None);
      EXPECT_EQ(ok->Count(Answered), 10);
      EXPECT_GT(ok->MedianResponseMs(), 0);
      EXPECT_LE(ok->MedianResponseMs(), ok->MaxResponseMs);
      EXPECT_EQ(bad->Exchanges, 10);
      EXPECT_EQ(health.Diagnose(*bad), c.Expected);
      EXPECT_EQ(health.Diagnosis(*bad).empty(), c.Expected == None);
      // The suggested time-out takes the late replies.
      if (c.Expected == TooLate) {
        EXPECT_GT(TBusHealth::SuggestedTimeoutMs(*bad), c.Fault.Param + rig.Bus->TurnaroundMs);
      }
    }
  }
}

}  // namespace

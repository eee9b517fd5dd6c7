#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/prDevOps.h"
#include "comm/prPort.h"
#include "support/ScriptedBackend.h"

namespace {

using Bytes = TScriptedBackend::Bytes;

Bytes WithCrc8(Bytes b) {
  b.push_back(Crc8(b.data(), int(b.size()), 0xFF));
  return b;
}

Bytes WithCrc16(Bytes b) {
  const uint16_t crc = Crc16(b.data(), int(b.size()), 0xFFFF);
  b.push_back(uint8_t(crc));
  b.push_back(uint8_t(crc >> 8));
  return b;
}

class PortTest : public testing::Test {
 protected:
  PortTest() {
    auto backend = std::make_unique<TScriptedBackend>();
    Line = backend.get();
    Com = std::make_unique<TComPort>(std::move(backend));
    Port.SetComPort(Com.get());
    Com->Open();
  }

  TScriptedBackend* Line;
  std::unique_ptr<TComPort> Com;
  TprPort Port;
  TFakeClock Fake;
  TClockGuard Guard{&Fake};
};

}  // namespace

TEST_F(PortTest, Defaults) {
  EXPECT_EQ(Port.PortName(), "COM1");
  EXPECT_EQ(Port.Protocol(), ptModbus);
  EXPECT_EQ(Port.BaudRate(), 9600);
  EXPECT_EQ(Port.Parity(), TLineParity::None);
  EXPECT_EQ(Port.Timeout(), 0);
  EXPECT_FALSE(Port.InitMode());
  EXPECT_FALSE(Port.UseLRC());
}

TEST_F(PortTest, ParityRuleAndStopBitsByProtocol) {
  Port.SetParity(TLineParity::None);
  EXPECT_EQ(Com->StopBits(), sbTwoStopBits);
  EXPECT_EQ(Com->Parity(), (TComParity{prNone, false}));
  Port.SetParity(TLineParity::Even);
  EXPECT_EQ(Com->Parity(), (TComParity{prEven, true}));
  EXPECT_EQ(Com->StopBits(), sbOneStopBit);
  Port.SetParity(TLineParity::Odd);
  EXPECT_EQ(Com->Parity(), (TComParity{prOdd, true}));

  Port.SetProtocol(ptVela);
  Port.SetParity(TLineParity::None);
  EXPECT_EQ(Com->StopBits(), sbOneStopBit) << "Vela leaves the stop bits as they are";
  EXPECT_EQ(Com->EventChar(), 0);
  Port.SetProtocol(ptDCS);
  EXPECT_EQ(Com->EventChar(), '\r');
}

// Every rate of the list reaches the line as itself; a rate or parity outside the lists is
// refused and changes neither the port nor the line.
TEST_F(PortTest, ListedRatesReachTheLineOthersAreRefused) {
  for (const TBaudRateRow& row : BaudRates) {
    EXPECT_TRUE(Port.SetBaudRate(row.Rate)) << row.Text;
    EXPECT_EQ(Port.BaudRate(), row.Rate);
    EXPECT_EQ(BaudRateValue(Com->BaudRate()), row.Rate) << row.Text;
  }
  const TBaudRateRow& last = BaudRates[BaudRateCount - 1];
  for (int32_t other : {0, -9600, 12345, 14400, 230400}) {
    EXPECT_FALSE(Port.SetBaudRate(other)) << other;
    EXPECT_EQ(Port.BaudRate(), last.Rate);
    EXPECT_EQ(BaudRateValue(Com->BaudRate()), last.Rate);
  }
  ASSERT_TRUE(Port.SetParity(TLineParity::Even));
  EXPECT_FALSE(Port.SetParity(TLineParity(3)));
  EXPECT_EQ(Port.Parity(), TLineParity::Even);
  EXPECT_EQ(Com->Parity(), (TComParity{prEven, true}));
}

TEST_F(PortTest, TimeoutRule) {
  struct {
    TStopBits Stop;
    int32_t Timeout;
    TComTimeouts Expected;
  } cases[] = {
      {sbOneStopBit, 0, {17, 2, 66, 2, 200}},
      {sbTwoStopBits, 0, {19, 2, 68, 2, 200}},
      {sbOneStopBit, 500, {0, 0, 500, 2, 200}},
  };
  for (const auto& c : cases) {
    Com->SetStopBits(c.Stop);
    Port.SetTimeout(c.Timeout);
    EXPECT_EQ(Com->Timeouts(), c.Expected) << "timeout " << c.Timeout << " stop " << c.Stop;
  }
  EXPECT_NEAR(Port.CharTimeMs(), 1.0417, 1e-4);
}

TEST_F(PortTest, ApplySettingsComputesTimeoutsBeforeTheParityStep) {
  // The line still has one stop bit when the time-outs are computed; the parity step then
  // sets two for Modbus without parity.
  Port.ApplySettings();
  EXPECT_EQ(Com->Timeouts().ReadTotalConstant, 66);
  EXPECT_EQ(Com->StopBits(), sbTwoStopBits);
  Port.ApplySettings();
  EXPECT_EQ(Com->Timeouts().ReadTotalConstant, 68);
}

TEST_F(PortTest, SilentDeviceGivesZeroAndAnAllZeroReply) {
  TVelaRecord request = VelaProbeTemplate(), reply;
  std::memset(&reply, 0xAA, sizeof reply);
  EXPECT_EQ(Port.ExchangeVela(request, reply), 0);
  TVelaRecord zero{};
  EXPECT_EQ(std::memcmp(&reply, &zero, sizeof reply), 0);
  ASSERT_EQ(Line->Sent.size(), 1u);
  EXPECT_EQ(Line->Sent[0].size(), 5u);
}

TEST_F(PortTest, LateBytesArePurged) {
  TprDevReg reg;
  reg.Setup(1, 0, 10, 10, 0, dtUInt16);
  Line->Input = {0x01, 0x00, 0x0A, 0x00, 0xC3, 0x01, 0x00};  // an earlier reply, too late
  Line->Responder = [](const Bytes&) { return Bytes{0x01, 0x00, 0x0A, 0x00, 0xC3, 0xE8, 0x03, 0xD0}; };
  Port.SetProtocol(ptVela);
  ASSERT_TRUE(ReadRegister(Port, reg));
  EXPECT_EQ(reg.ValueText, "1000");
  EXPECT_EQ(Fake.LastSleepMs, 10);
  EXPECT_EQ(Line->Sent[0], (Bytes{0x01, 0x00, 0x0A, 0x00, 0x83}));
}

TEST_F(PortTest, ProbesPrepareSealAndCheck) {
  TVelaRecord velaRequest;
  PrepareVelaProbe(VelaProbeTemplate(), 17, velaRequest);
  EXPECT_EQ(Bytes(velaRequest.Frame, velaRequest.Frame + 5), WithCrc8({17, 0x01, 0x00, 0x00}));
  EXPECT_EQ(velaRequest.ReplyLength, 7);

  TVelaRecord reply{};
  Bytes good = WithCrc8({17, 0x01, 0x00, 0x00, 0xC1, 203});
  std::memcpy(reply.Frame, good.data(), good.size());
  reply.RequestLength = int(good.size());
  uint8_t value = 0;
  EXPECT_TRUE(CheckVelaProbe(reply, velaRequest, value));
  EXPECT_EQ(value, 203);
  reply.Frame[6] ^= 0xFF;  // bad CRC: the value byte is still delivered
  value = 0;
  EXPECT_FALSE(CheckVelaProbe(reply, velaRequest, value));
  EXPECT_EQ(value, 203);

  TModbusRecord mbRequest;
  PrepareModbusProbe(ModbusProbeTemplate(), 5, mbRequest);
  EXPECT_EQ(Bytes(mbRequest.Frame, mbRequest.Frame + 8), WithCrc16({5, 0x03, 0x01, 0x00, 0x00, 0x01}));
  TModbusRecord mbReply{};
  Bytes answer = WithCrc16({5, 0x03, 0x02, 0x00, 204});
  std::memcpy(mbReply.Frame, answer.data(), answer.size());
  mbReply.RequestLength = int(answer.size());
  EXPECT_TRUE(CheckModbusProbe(mbReply, mbRequest, value));
  EXPECT_EQ(value, 204);

  TDcsRecord dcs, dcsReply{};
  PrepareDcsProbe(DcsProbeTemplate(), dcs);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(dcs.Frame), 3), "$01");
  EXPECT_FALSE(CheckDcsProbe(dcsReply, dcs, value));
}

TEST_F(PortTest, VelaWriteAcknowledgedAfterTheWritePause) {
  TprDevReg reg;
  reg.Setup(1, 1, 1, 257, 0, dtUInt16);
  Port.SetProtocol(ptVela);
  Line->Responder = [](const Bytes&) { return Bytes{0x01, 0x01, 0x01, 0x01, 0x55}; };
  const int64_t before = Fake.Now;
  EXPECT_TRUE(WriteRegister(Port, reg, "1000"));
  EXPECT_GE(Fake.Now - before, 200);
  EXPECT_EQ(Line->Sent[0], (Bytes{0x01, 0x01, 0x01, 0x01, 0xC3, 0xE8, 0x03, 0x18}));
}

TEST_F(PortTest, ModbusReadAndWriteThroughTheDevice) {
  TprDevReg reg;
  reg.Setup(3, 0, 25, 25, 0, dtUInt16);
  Line->Responder = [](const Bytes& request) {
    if (request[1] == 0x03) return WithCrc16({3, 0x03, 0x02, 0x01, 0x2C});
    return WithCrc16(Bytes(request.begin(), request.begin() + 6));
  };
  ASSERT_TRUE(ReadRegister(Port, reg));
  EXPECT_EQ(reg.ValueText, "300");
  EXPECT_TRUE(WriteRegister(Port, reg, "65535"));
  EXPECT_EQ(reg.ValueText, "300") << "a write leaves the text as it was";
  EXPECT_EQ(Bytes(Line->Sent[1].begin() + 7, Line->Sent[1].begin() + 9), (Bytes{0xFF, 0xFF}));
  // A wrong acknowledgement fails.
  Line->Responder = [](const Bytes&) { return WithCrc16({3, 0x90, 0x02}); };
  EXPECT_FALSE(WriteRegister(Port, reg, "1"));
}

TEST_F(PortTest, DcsFailsEveryOperationWithoutTraffic) {
  TprDevReg reg;
  reg.Setup(1, 0, 10, 10, 0, dtUInt8);
  reg.ValueText = "12";
  Port.SetProtocol(ptDCS);
  Line->Responder = [](const Bytes&) { return Bytes{1, 2, 3}; };
  EXPECT_FALSE(ReadRegister(Port, reg));
  EXPECT_EQ(reg.ValueText, "");
  EXPECT_FALSE(WriteRegister(Port, reg, "5"));
  EXPECT_TRUE(Line->Sent.empty());
}

TEST_F(PortTest, ConversionErrorSendsNothingAndSkipsThePause) {
  TprDevReg reg;
  reg.Setup(1, 0, 16, 16, 0, dtUInt8);
  for (uint8_t protocol : {ptModbus, ptVela}) {
    Port.SetProtocol(protocol);
    const int64_t sleeps = Fake.SleepCount;
    try {
      WriteRegister(Port, reg, "abc");
      FAIL() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(Fake.SleepCount, sleeps);
  }
  EXPECT_TRUE(Line->Sent.empty());
  EXPECT_EQ(Line->PurgeCount, 0);
}

TEST_F(PortTest, ClosedLineErrorsPassThrough) {
  // A real line that was never opened: the exchange fails with the line's own error.
  TComPort closed;
  Port.SetComPort(&closed);
  TprDevReg reg;
  reg.Setup(1, 0, 10, 10, 0, dtUInt8);
  try {
    ReadRegister(Port, reg);
    FAIL() << "no error";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_PurgeFailed);
    EXPECT_EQ(std::string(e.what()).rfind("PurgeComm function failed", 0), 0u);
  }
}

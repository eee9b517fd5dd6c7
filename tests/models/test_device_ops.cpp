// The register operations of the device objects over their port, against simulated modules.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/WireText.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "sim/SimBackend.h"

namespace {

struct DeviceOps : ::testing::Test {
  std::shared_ptr<TSimBus> bus = std::make_shared<TSimBus>();
  TSimBackend* sim = nullptr;
  std::unique_ptr<TComPort> line;
  TprPort port;
  TFakeClock clock;
  TClockGuard guard{&clock};

  void SetUp() override {
    auto backend = std::make_unique<TSimBackend>(bus);
    sim = backend.get();
    line = std::make_unique<TComPort>(std::move(backend));
    port.SetComPort(line.get());
    port.SetPortName("/dev/ttyS0");
    port.ApplySettings();
    line->Open();
  }
  std::unique_ptr<TprModel> Device(int modelIndex, uint32_t address) {
    return std::unique_ptr<TprModel>(
        dynamic_cast<TprModel*>(CreateDevice(modelIndex, address, &port)));
  }
};

// Every model, under both working protocols, writes through its own frames and reads back.
TEST_F(DeviceOps, WriteThenReadThroughThePortProtocol) {
  for (int index = 1; index < ModelCount; ++index) bus->AddModel(index, uint8_t(10 + index));
  for (uint8_t protocol : {ptModbus, ptVela}) {
    port.SetProtocol(protocol);
    for (int index = 1; index < ModelCount; ++index) {
      SCOPED_TRACE(std::string(ModelNames[index].Name) + " protocol " + std::to_string(protocol));
      auto device = Device(index, uint32_t(10 + index));
      const std::string value = std::to_string(20 + index + protocol);
      const size_t before = sim->Frames.size();
      ASSERT_TRUE(device->WriteRegister(device->NETWDT, value));
      EXPECT_EQ(bus->Module(size_t(index - 1)).Int("NETWDT"), uint32_t(std::stoi(value)));
      device->NETWDT->ValueText.clear();
      ASSERT_TRUE(device->ReadRegister(device->NETWDT));
      EXPECT_EQ(device->NETWDT->ValueText, value);
      ASSERT_EQ(sim->Frames.size(), before + 2);
      // Vela frames carry the bank; Modbus frames the function code.
      EXPECT_EQ(sim->Frames.back()[1], protocol == ptVela ? 0 : 0x03);
      EXPECT_EQ(sim->Frames.back()[0], 10 + index);
    }
  }
}

TEST_F(DeviceOps, DcsFailsAndLeavesNoValue) {
  bus->AddModel(2, 4);
  auto eta = Device(2, 4);
  ASSERT_TRUE(eta->ReadRegister(eta->MNAME));
  EXPECT_FALSE(eta->MNAME->ValueText.empty());
  port.SetProtocol(ptDCS);
  EXPECT_FALSE(eta->ReadRegister(eta->MNAME));
  EXPECT_TRUE(eta->MNAME->ValueText.empty());
  EXPECT_FALSE(eta->WriteRegister(eta->NETWDT, "5"));
}

TEST_F(DeviceOps, NullRegisterOrNoPortYieldsFalseWithoutTraffic) {
  bus->AddModel(1, 3);
  auto kappa = Device(1, 3);
  EXPECT_FALSE(kappa->ReadRegister(nullptr));
  EXPECT_FALSE(kappa->WriteRegister(nullptr, "1"));
  EXPECT_FALSE(kappa->ReadRegister(kappa->FindRegister("FILTER5")));
  kappa->SetPort(nullptr);
  EXPECT_EQ(kappa->Port(), nullptr);
  EXPECT_EQ(kappa->ParentNode, nullptr);
  EXPECT_FALSE(kappa->ReadRegister(kappa->SECNS));
  EXPECT_FALSE(kappa->WriteRegister(kappa->NETWDT, "1"));
  EXPECT_TRUE(sim->Frames.empty());
  EXPECT_EQ(clock.SleepCount, 0);
}

// The module takes a new address; after SetAddress the device follows it.
TEST_F(DeviceOps, ReaddressingFollowsAnAcceptedNetAddr) {
  bus->AddModel(3, 5);
  auto beta = Device(3, 5);
  ASSERT_TRUE(beta->WriteRegister(beta->NETADDR, "12"));
  EXPECT_FALSE(beta->ReadRegister(beta->SECNS));
  beta->SetAddress(12);
  EXPECT_TRUE(beta->ReadRegister(beta->SECNS));
  EXPECT_TRUE(beta->ReadRegister(beta->FindRegister("COUNTER", 4)));
  EXPECT_EQ(sim->Frames.back()[0], 12);
}

// Module texts travel one byte per character in Windows-1251, through both protocols and the
// simulated module alike.
using WireText = DeviceOps;

TEST_F(WireText, TextsTakeOneBytePerCharacterBothWays) {
  bus->AddModel(2, 4);  // ETA-03: a module name and a display text
  auto eta = Device(2, 4);
  struct Case {
    TprDevReg* reg;
    const char* text;
    int chars;
    uint8_t first, second;  // the first two characters on the wire
  };
  const Case cases[] = {
      {eta->MNAME, "Насос подачи", 12, 0xCD, 0xE0},
      {eta->MNAME, "Компрессор №12", 14, 0xCA, 0xEE},  // the whole field
      {eta->DISPLAY, "Линия №2", 8, 0xCB, 0xE8},
      {eta->MNAME, "Line 3", 6, 'L', 'i'},
  };
  for (uint8_t protocol : {ptModbus, ptVela}) {
    port.SetProtocol(protocol);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.text) + (protocol == ptVela ? " Vela" : " Modbus"));
      ASSERT_TRUE(eta->WriteRegister(c.reg, c.text));
      const std::vector<uint8_t>& frame = sim->Frames.back();
      if (protocol == ptVela) {
        // Header, the characters, NUL, CRC.
        EXPECT_EQ(frame.size(), size_t(c.chars + 7));
        EXPECT_EQ(frame[5], c.first);
        EXPECT_EQ(frame[6], c.second);
      } else {
        // The first character of each pair travels second.
        EXPECT_EQ(frame[7], c.second);
        EXPECT_EQ(frame[8], c.first);
      }
      EXPECT_EQ(bus->Module(0).Text(c.reg->Name), c.text);
      c.reg->ValueText.clear();
      ASSERT_TRUE(eta->ReadRegister(c.reg));
      EXPECT_EQ(c.reg->ValueText, c.text);
    }
  }
}

TEST_F(WireText, ATextTheCodePageCannotHoldIsRejectedAndNothingSent) {
  bus->AddModel(1, 3);
  auto kappa = Device(1, 3);
  const std::string before = bus->Module(0).Text("MNAME");
  for (uint8_t protocol : {ptModbus, ptVela}) {
    port.SetProtocol(protocol);
    // Characters outside the code page, and bytes that are no UTF-8 at all.
    for (const std::string t : {"Pumpe ä", "温度", "Насос 🙂", "bad \xFF"}) {
      const size_t frames = sim->Frames.size();
      const int64_t pauses = clock.SleepCount;
      EXPECT_THROW(kappa->WriteRegister(kappa->MNAME, t), EConvertError) << t;
      EXPECT_EQ(sim->Frames.size(), frames) << t;
      EXPECT_EQ(clock.SleepCount, pauses) << t;
    }
  }
  EXPECT_EQ(bus->Module(0).Text("MNAME"), before);
  // The one byte the code page leaves undefined reads as the replacement character.
  EXPECT_EQ(DecodeWireText("A\x98"), "A\xEF\xBF\xBD");
}

}  // namespace

// The slave side of both protocols, checked with the master's own request records and decoders
// over a few registers of the model tables (the whole tables are checked in test_sim_models.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "models/prDevice.h"
#include "support/SimExchange.h"

using namespace simtest;

namespace {

constexpr uint8_t Code = 202;

// One register of each value kind and bank, as the model tables declare them.
const std::vector<TRegisterDef>& Table() {
  static const std::vector<TRegisterDef> rows = [] {
    std::vector<TRegisterDef> rows;
    const auto take = [&rows](uint8_t model, std::initializer_list<std::string_view> names) {
      for (const TRegisterDef& def : ModelNames[ModelIndexFromProbe(model)].Map)
        if (std::find(names.begin(), names.end(), def.Name) != names.end()) rows.push_back(def);
    };
    take(Code, {"SECNS", "MINTS", "HOURS", "DAYS", "MNAME", "MVERSION", "SLFDGNS", "NETADDR",
                "NETBDRT", "MDBFMT", "DISPLAY", "HBS1", "HBS2"});
    take(201, {"COUNTER1"});
    return rows;
  }();
  return rows;
}

struct Fixture : ::testing::Test {
  TSimBus bus;
  TSimModule* module = nullptr;
  void SetUp() override {
    module = &bus.Add(TSimModule(Code, Table(), 5));
    module->MovingInputs = false;
  }
  std::vector<std::unique_ptr<TprDevReg>> regs;
  // A master register for a row of the table at an address.
  TprDevReg& Reg(const char* name, uint8_t address = 5) {
    for (const auto& d : Table())
      if (std::string(d.Name) == name) {
        regs.push_back(std::make_unique<TprDevReg>(nullptr, name));
        regs.back()->Setup(address, d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
        return *regs.back();
      }
    throw std::logic_error(name);
  }
};

using Protocol = Fixture;

struct TypeCase {
  const char* Name;
  const char* Written;
  const char* ReadBack;
};

TEST_F(Protocol, EachTypeWritesAndReadsBackOverBothProtocols) {
  const TypeCase cases[] = {
      {"SECNS", "42", "42"},
      {"DAYS", "1000", "1000"},
      {"DAYS", "65535", "65535"},
      {"HBS1", "-12.5", "-12.50000"},
      {"HBS2", "1234.25", "1234.25000"},
      {"MNAME", "Pump 7", "Pump 7"},
      {"MNAME", "ABCDEFGHIJKLMN", "ABCDEFGHIJKLMN"},  // all 14 characters
      {"DISPLAY", "ABC", "ABC"},
  };
  for (bool vela : {true, false}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(vela ? "Vela " : "Modbus ") + c.Name + " " + c.Written);
      TprDevReg& reg = Reg(c.Name);
      ASSERT_TRUE(vela ? WriteVela(bus, reg, c.Written) : WriteModbus(bus, reg, c.Written));
      reg.ValueText.clear();
      ASSERT_TRUE(vela ? ReadVela(bus, reg) : ReadModbus(bus, reg));
      EXPECT_EQ(reg.ValueText, c.ReadBack);
    }
  }
  EXPECT_DOUBLE_EQ(module->Real("HBS2"), 1234.25);
  EXPECT_EQ(module->Text("DISPLAY"), "ABC");
}

TEST_F(Protocol, ValuesSetInTheModuleReadBackExactly) {
  module->SetInt("COUNTER1", 0xBEEF);
  module->SetReal("HBS1", 3.25);
  module->SetText("MVERSION", "1.2a");
  for (bool vela : {true, false}) {
    TprDevReg& counter = Reg("COUNTER1");
    TprDevReg& real = Reg("HBS1");
    TprDevReg& text = Reg("MVERSION");
    ASSERT_TRUE(vela ? ReadVela(bus, counter) : ReadModbus(bus, counter));
    ASSERT_TRUE(vela ? ReadVela(bus, real) : ReadModbus(bus, real));
    ASSERT_TRUE(vela ? ReadVela(bus, text) : ReadModbus(bus, text));
    EXPECT_EQ(counter.ValueText, "48879");
    EXPECT_EQ(real.ValueText, "3.25000");
    EXPECT_EQ(text.ValueText, "1.2a");
  }
}

TEST_F(Protocol, ProbeRegistersHoldTheModelCode) {
  // The search probes: bank 1 register 0 with a one-byte reply, Modbus register 256.
  TprDevReg probe(nullptr, "PROBE");
  probe.Setup(5, 1, 0, 256, 0, dtUInt8);
  ASSERT_TRUE(ReadVela(bus, probe));
  EXPECT_EQ(probe.ValueText, "202");
  EXPECT_EQ(probe.VelaRead.ReplyLength, 7);
  ASSERT_TRUE(ReadModbus(bus, probe));
  EXPECT_EQ(probe.ValueText, "202");
}

TEST_F(Protocol, OtherAddressesAndBadChecksumsGetNoAnswer) {
  TprDevReg& other = Reg("DAYS", 6);
  EXPECT_FALSE(ReadVela(bus, other));
  EXPECT_FALSE(ReadModbus(bus, other));
  EXPECT_FALSE(WriteModbus(bus, other, "7"));

  TprDevReg& reg = Reg("DAYS");
  reg.SealVelaRead();
  reg.VelaRead.Frame[4] ^= 0x01;
  EXPECT_FALSE(Ask(bus, reg.VelaRead.Frame, 5));
  reg.SealModbusRead();
  reg.ModbusRead.Frame[7] ^= 0x80;
  EXPECT_FALSE(Ask(bus, reg.ModbusRead.Frame, 8));
  reg.EncodeModbusWrite("9");
  reg.ModbusWrite.Frame[8] ^= 0x01;  // a data byte: the CRC no longer fits
  EXPECT_FALSE(Ask(bus, reg.ModbusWrite.Frame, reg.ModbusWrite.RequestLength));
  EXPECT_NE(module->Int("DAYS"), 9u);
  // A frame that is shorter than its header says.
  EXPECT_FALSE(Ask(bus, VelaFrame({5, 0, 25})));
}

TEST_F(Protocol, ModbusExceptionsForUndeclaredAddressesAndBadRequests) {
  struct Case {
    std::vector<uint8_t> Body;
    std::vector<uint8_t> Expected;
  } cases[] = {
      {{5, 3, 0x01, 0x2C, 0, 1}, {5, 0x83, 2}},           // 300: nothing declared
      {{5, 3, 0, 9, 0, 2}, {5, 0x83, 2}},                 // starts before SECNS
      {{5, 3, 0, 12, 0, 2}, {5, 0x83, 2}},                // ends after HOURS
      {{5, 3, 0, 10, 0, 0}, {5, 0x83, 3}},                // no registers
      {{5, 3, 0, 10, 0, 126}, {5, 0x83, 3}},              // too many
      {{5, 4, 0, 10, 0, 1}, {5, 0x84, 1}},                // function 4 is not served
      {{5, 0x10, 0, 14, 0, 1, 2, 0, 1}, {5, 0x90, 2}},    // write to an undeclared address
      {{5, 0x10, 0, 10, 0, 2, 2, 0, 1}, {5, 0x90, 3}},    // byte count does not fit
  };
  for (const auto& c : cases) {
    auto reply = Ask(bus, ModbusFrame(c.Body));
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, ModbusFrame(c.Expected));
  }
  // The master does not tell an exception from any other bad reply.
  TprDevReg wrong(nullptr, "X");
  wrong.Setup(5, 0, 0, 300, 0, dtUInt16);
  EXPECT_FALSE(ReadModbus(bus, wrong));
}

TEST_F(Protocol, ModbusBlocksCoverSeveralRegistersInTheCodecsWordOrder) {
  module->SetInt("SECNS", 1);
  module->SetInt("MINTS", 2);
  module->SetInt("HOURS", 3);
  module->SetReal("HBS1", 1.0);  // 0x3F800000: low word first
  module->SetText("MNAME", "ABC");
  auto reply = Ask(bus, ModbusFrame({5, 3, 0, 10, 0, 3}));
  EXPECT_EQ(*reply, ModbusFrame({5, 3, 6, 0, 1, 0, 2, 0, 3}));
  reply = Ask(bus, ModbusFrame({5, 3, 0x01, 0x31, 0, 2}));
  EXPECT_EQ(*reply, ModbusFrame({5, 3, 4, 0x00, 0x00, 0x3F, 0x80}));
  // A string occupies one word more than its length: the text is always NUL-terminated. The
  // first character of each pair travels in the low byte.
  reply = Ask(bus, ModbusFrame({5, 3, 0, 36, 0, 8}));
  EXPECT_EQ(*reply, ModbusFrame({5, 3, 16, 'B', 'A', 0, 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0}));
  // Gaps inside a block read as zero; 23 and 24 are not declared.
  module->SetInt("SLFDGNS", 0x1234);
  module->SetInt("DAYS", 0x0102);
  reply = Ask(bus, ModbusFrame({5, 3, 0, 22, 0, 4}));
  EXPECT_EQ(*reply, ModbusFrame({5, 3, 8, 0x12, 0x34, 0, 0, 0, 0, 0x01, 0x02}));

  // A block write over SECNS..HOURS and a float written in two single-word writes.
  reply = Ask(bus, ModbusFrame({5, 0x10, 0, 10, 0, 3, 6, 0, 7, 0, 8, 0, 9}));
  EXPECT_EQ(*reply, ModbusFrame({5, 0x10, 0, 10, 0, 3}));
  EXPECT_EQ(module->Int("SECNS"), 7u);
  EXPECT_EQ(module->Int("MINTS"), 8u);
  EXPECT_EQ(module->Int("HOURS"), 9u);
  Ask(bus, ModbusFrame({5, 0x10, 0x01, 0x33, 0, 1, 2, 0x00, 0x00}));
  Ask(bus, ModbusFrame({5, 0x10, 0x01, 0x34, 0, 1, 2, 0x40, 0x20}));
  EXPECT_DOUBLE_EQ(module->Real("HBS2"), 2.5);
}

TEST_F(Protocol, VelaRepliesCarryTheTypeByteAndTheWireLengths) {
  module->SetInt("DAYS", 1000);
  auto reply = Ask(bus, VelaFrame({5, 0, 25, 0}));
  EXPECT_EQ(*reply, VelaFrame({5, 0, 25, 0, 0xC3, 0xE8, 0x03}));
  module->SetText("MVERSION", "2.1");
  reply = Ask(bus, VelaFrame({5, 0, 28, 0}));
  EXPECT_EQ(*reply, VelaFrame({5, 0, 28, 0, 0xC9, '2', '.', '1', 0}));
  reply = Ask(bus, VelaFrame({5, 0, 25, 1, 0xC3, 0x10, 0x27}));
  EXPECT_EQ(*reply, VelaFrame({5, 0, 25, 1}));
  EXPECT_EQ(module->Int("DAYS"), 10000u);
  // Unknown registers and a data length that does not fit the type byte: no answer.
  EXPECT_FALSE(Ask(bus, VelaFrame({5, 0, 99, 0})));
  EXPECT_FALSE(Ask(bus, VelaFrame({5, 0, 25, 1, 0xC3, 0x10})));
}

TEST_F(Protocol, ReadOnlyRegistersAcknowledgeAndKeepTheirValue) {
  module->SetText("MVERSION", "2.13");
  TprDevReg& version = Reg("MVERSION");
  EXPECT_TRUE(WriteVela(bus, version, "9.99"));
  EXPECT_TRUE(WriteModbus(bus, version, "9.99"));
  EXPECT_EQ(module->Text("MVERSION"), "2.13");
}

TEST_F(Protocol, NetaddrIsAcknowledgedFromTheOldAddressThenFollowed) {
  for (bool vela : {true, false}) {
    SCOPED_TRACE(vela ? "Vela" : "Modbus");
    const uint8_t from = vela ? 5 : 12, to = vela ? 12 : 5;
    TprDevReg& netaddr = Reg("NETADDR", from);
    ASSERT_TRUE(vela ? WriteVela(bus, netaddr, std::to_string(to))
                     : WriteModbus(bus, netaddr, std::to_string(to)));
    EXPECT_EQ(module->AnswerAddress(), to);
    TprDevReg& old = Reg("DAYS", from);
    TprDevReg& moved = Reg("DAYS", to);
    EXPECT_FALSE(vela ? ReadVela(bus, old) : ReadModbus(bus, old));
    EXPECT_TRUE(vela ? ReadVela(bus, moved) : ReadModbus(bus, moved));
  }
  // An address outside 1..247 is acknowledged but not taken.
  TprDevReg& netaddr = Reg("NETADDR");
  EXPECT_TRUE(WriteModbus(bus, netaddr, "248"));
  EXPECT_EQ(module->AnswerAddress(), 5);
  EXPECT_EQ(module->Int("NETADDR"), 5u);
}

TEST_F(Protocol, InitModeAnswersAtAddressOneAt9600WithoutParity) {
  module->SetInitMode(true);
  TprDevReg& atOne = Reg("SLFDGNS", 1);
  TprDevReg& atFive = Reg("SLFDGNS", 5);
  EXPECT_FALSE(ReadModbus(bus, atFive));
  ASSERT_TRUE(ReadModbus(bus, atOne));
  EXPECT_EQ(std::stoi(atOne.ValueText) & 0x8000, 0x8000);
  ASSERT_TRUE(ReadVela(bus, atOne));

  TSimLine line;
  line.Known = true;
  line.ParityKnown = true;
  line.Baud = 9600;
  EXPECT_TRUE(ReadModbus(bus, atOne, 0, line));
  line.Parity = 2;
  EXPECT_FALSE(ReadModbus(bus, atOne, 0, line));
  line.Parity = 0;
  line.Baud = 19200;
  EXPECT_FALSE(ReadVela(bus, atOne, 0, line));

  // The address written in INIT mode is kept for later; the module still answers at 1.
  TprDevReg& netaddr = Reg("NETADDR", 1);
  EXPECT_TRUE(WriteVela(bus, netaddr, "9"));
  EXPECT_EQ(module->AnswerAddress(), 1);
  module->SetInitMode(false);
  EXPECT_EQ(module->AnswerAddress(), 9);
  EXPECT_EQ(module->Int("SLFDGNS") & 0x8000u, 0u);
}

TEST_F(Protocol, AChosenProtocolIgnoresTheOther) {
  TprDevReg& days = Reg("DAYS");
  bus.Protocol = TSimProtocol::Modbus;
  EXPECT_FALSE(ReadVela(bus, days));
  EXPECT_TRUE(ReadModbus(bus, days));
  bus.Protocol = TSimProtocol::Vela;
  EXPECT_TRUE(ReadVela(bus, days));
  EXPECT_FALSE(ReadModbus(bus, days));
}

}  // namespace

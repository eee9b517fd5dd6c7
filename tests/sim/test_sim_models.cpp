// Every model's map served by its simulated module: the probe, every register readable with
// the master's own frames, and every settable register written and read back, over both
// protocols.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "support/SimExchange.h"

using namespace simtest;

namespace {

// Registers whose write starts an action (and that then read back 0), or re-address.
const std::set<std::string> Commands = {"NETADDR",   "RSTLATCH",  "COUNTRESET",
                                        "FLAGRESET", "TUNINGCH1", "TUNINGCH2"};

bool Settable(const TRegisterDef& d) {
  static const std::set<std::string> computed = {
      "MVERSION", "SLFDGNS", "DIGINPUT", "LHDIGINPUT", "LLDIGINPUT", "OVFFLAGS", "SAVOUTPUT",
      "CJT",      "TCOD",    "OVRD",     "UNRD",       "OUTPUTDGNS", "SMSTS"};
  const std::string n = d.Name;
  return !Commands.count(n) && !computed.count(n) && n.rfind("ANALOGINPUT", 0) != 0 &&
         n.rfind("OUTPUTCH", 0) != 0 && n.rfind("SAVEDOUTPUTCH", 0) != 0;
}

// A value of the register's type that differs from row to row; for a list, one of its codes
// (a module keeps no other).
std::string ValueFor(const TRegisterDef& d, int row) {
  if (d.List) return std::to_string(CodeOf(*d.List, size_t(row) % d.List->Items.size()));
  switch (d.DataType) {
    case dtUInt8: return std::to_string(1 + (row * 37) % 200);
    case dtUInt16: return std::to_string((300 + row * 911) % 65536);
    case dtSingle: return std::to_string(row) + ".25000";
    case dtString: return std::string("T") + std::to_string(row);
  }
  return "0";
}

class Models : public ::testing::TestWithParam<int> {
 protected:
  TSimBus bus;
  std::vector<std::unique_ptr<TprDevReg>> regs;
  TprDevReg& Reg(const TRegisterDef& d, uint8_t address) {
    regs.push_back(std::make_unique<TprDevReg>(nullptr, d.Name));
    regs.back()->Setup(address, d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
    return *regs.back();
  }
};

TEST_P(Models, AnswerTheProbeWithTheirModelCode) {
  const int model = GetParam();
  bus.AddModel(model, 17);
  TprDevReg probe(nullptr, "PROBE");
  probe.Setup(17, 1, 0, 256, 0, dtUInt8);
  const std::string code = std::to_string(model == 0 ? 210 : ModelRow(model).Code);
  ASSERT_TRUE(ReadVela(bus, probe));
  EXPECT_EQ(probe.ValueText, code);
  ASSERT_TRUE(ReadModbus(bus, probe));
  EXPECT_EQ(probe.ValueText, code);
}

TEST_P(Models, EveryRegisterReadsWithTheMastersFrames) {
  const int model = GetParam();
  TSimModule& module = bus.AddModel(model, 3);
  ASSERT_FALSE(module.Map().empty());
  for (const auto& d : module.Map()) {
    SCOPED_TRACE(d.Name);
    TprDevReg& reg = Reg(d, 3);
    EXPECT_TRUE(ReadVela(bus, reg));
    EXPECT_TRUE(ReadModbus(bus, reg));
  }
}

TEST_P(Models, EverySettableRegisterWritesAndReadsBack) {
  const int model = GetParam();
  TSimModule& module = bus.AddModel(model, 3);
  module.RandomInputs = false;
  module.MovingInputs = false;
  int row = 0;
  std::set<int> types;
  for (const auto& d : module.Map()) {
    ++row;
    if (!Settable(d)) continue;
    types.insert(d.DataType);
    for (bool vela : {true, false}) {
      SCOPED_TRACE(std::string(vela ? "Vela " : "Modbus ") + d.Name);
      TprDevReg& reg = Reg(d, 3);
      const std::string value = ValueFor(d, row + (vela ? 0 : 1000));
      ASSERT_TRUE(vela ? WriteVela(bus, reg, value) : WriteModbus(bus, reg, value));
      ASSERT_TRUE(vela ? ReadVela(bus, reg) : ReadModbus(bus, reg));
      EXPECT_EQ(reg.ValueText, value);
    }
  }
  // Each model has registers of the one-byte, 16-bit and string types; the analog ones also
  // single-precision values.
  EXPECT_TRUE(types.count(dtUInt8) && types.count(dtUInt16) && types.count(dtString));
  if (model == 2 || model == 4) {
    EXPECT_TRUE(types.count(dtSingle));
  }
}

TEST_P(Models, NoTwoRegistersShareAModbusWord) {
  const int model = GetParam();
  TSimModule& module = bus.AddModel(model, 3);
  std::set<int> used;
  for (const auto& d : module.Map()) {
    const int words =
        d.DataType == dtString ? (d.StrLength + 2) / 2 : d.DataType == dtSingle ? 2 : 1;
    for (int w = 0; w < words; ++w)
      EXPECT_TRUE(used.insert(d.ModbusAddress + w).second) << d.Name << " word " << w;
  }
  EXPECT_FALSE(used.count(256));  // the probe register
}

// A row added to the model table without simulator behaviour would answer as a bare module.
TEST_P(Models, BehaveAsTheirModelAndReportItsName) {
  const int model = GetParam();
  EXPECT_EQ(SimBehaves(ModelRow(model).Family), model != 0);
  EXPECT_EQ(TSimModule::ForModel(model, 3).Text("MNAME"), model ? ModelRow(model).Name : "MODULE");
}

INSTANTIATE_TEST_SUITE_P(AllModels, Models, ::testing::Range(0, ModelCount), [](const auto& info) {
  std::string name = info.param ? ModelRow(info.param).Name : "Unknown";
  name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
  return name;
});

}  // namespace

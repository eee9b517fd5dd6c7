// The value rules, one table per kind of value, in both decimal-separator locales; and the
// simulator keeping exactly what the rules take, for every register of every model.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/Resources.h"
#include "comm/prDevReg.h"
#include "models/ValueRules.h"
#include "models/prMapRows.h"
#include "sim/SimBus.h"
#include "support/SimExchange.h"

namespace {

const TRegisterDef& RowOf(int model, const char* name) {
  for (const TRegisterDef& d : RegisterMap(model))
    if (std::string(d.Name) == name) return d;
  throw std::logic_error(name);
}

struct TTextCase {
  const char* Text;
  TValueFault Fault;
};

// Each case in both locales: a text takes either separator whatever the locale shows.
void ExpectVerdicts(const TRegisterDef& def, const std::vector<TTextCase>& cases,
                    bool force = false) {
  for (char separator : {',', '.'}) {
    TFormatGuard locale(separator);
    for (const TTextCase& c : cases)
      EXPECT_EQ(CheckValue(def, c.Text, force).Fault, c.Fault)
          << def.Name << " '" << c.Text << "' with '" << separator << "'";
  }
}

TEST(ValueRules, Integers) {
  const TRegisterDef& address = RowOf(1, "NETADDR");  // its own range, 1..247
  EXPECT_EQ(ValueKindOf(address), TValueKind::Integer);
  ExpectVerdicts(address, {{"1", TValueFault::None},
                           {"247", TValueFault::None},
                           {"0", TValueFault::OutOfRange},
                           {"248", TValueFault::OutOfRange},
                           {"1,5", TValueFault::NotANumber},
                           {"1.5", TValueFault::NotANumber},
                           {"", TValueFault::NotANumber},
                           {"abc", TValueFault::NotANumber}});
  const TRegisterDef& watchdog = RowOf(1, "NETWDT");  // the range of its type
  ExpectVerdicts(watchdog, {{"65535", TValueFault::None},
                            {"65536", TValueFault::OutOfRange},
                            {"-1", TValueFault::OutOfRange}});
  EXPECT_EQ(ValueExpected(address, TValueFault::OutOfRange), "an integer 1..247");
}

TEST(ValueRules, CodesOfAClosedAndAnOpenList) {
  const TRegisterDef& baud = RowOf(1, "NETBDRT");
  ASSERT_EQ(ValueKindOf(baud), TValueKind::Code);
  const std::string last = std::to_string(CodeOf(*baud.List, baud.List->Items.size() - 1));
  // A code no item stands for is refused even when forced: the module would be unreachable.
  for (bool force : {false, true})
    ExpectVerdicts(baud, {{last.c_str(), TValueFault::None},
                          {"200", TValueFault::NotInList},
                          {"256", TValueFault::OutOfRange}},
                   force);
  const TRegisterDef& filter = RowOf(1, "FILTER1");  // shows other codes as its last item
  ASSERT_GE(filter.List->Other, 0);
  ExpectVerdicts(filter, {{"3", TValueFault::None}, {"9", TValueFault::NotInList}});
  ExpectVerdicts(filter, {{"9", TValueFault::None}}, true);
  EXPECT_EQ(ValueExpected(filter, TValueFault::NotInList),
            "one of 0, 1, 2, 3 (another code only with --force)");
}

TEST(ValueRules, SinglePrecisionNumbers) {
  const TRegisterDef& setPoint = RowOf(4, "SETPOINTCH1");
  ASSERT_EQ(ValueKindOf(setPoint), TValueKind::Single);
  ExpectVerdicts(setPoint, {{"12,5", TValueFault::None},
                            {"12.5", TValueFault::None},
                            {"-3.4e37", TValueFault::None},
                            {"3.5e37", TValueFault::OutOfRange},
                            {"1e39", TValueFault::OutOfRange},
                            {"12,5,1", TValueFault::NotANumber},
                            {"x", TValueFault::NotANumber}});
  TFormatGuard locale(',');
  EXPECT_DOUBLE_EQ(CheckValue(setPoint, "12,25").Real, 12.25);
}

TEST(ValueRules, TextsByTheirBytesInTheModulesCodePage) {
  const TRegisterDef& name = RowOf(1, "MNAME");
  ASSERT_EQ(ValueKindOf(name), TValueKind::Text);
  const std::string full(size_t(name.StrLength), 'A');
  std::string cyrillic;
  for (int i = 0; i < name.StrLength; ++i) cyrillic += "Ж";  // two UTF-8 bytes, one on the wire
  ExpectVerdicts(name, {{"Насос 1", TValueFault::None},
                        {full.c_str(), TValueFault::None},
                        {cyrillic.c_str(), TValueFault::None},
                        {(full + "A").c_str(), TValueFault::TooLong},
                        {"中", TValueFault::Unencodable}});
}

TEST(ValueRules, ShownValuesAndTheFailureDisplays) {
  TprDevReg reg;
  reg.Def = &RowOf(4, "SETPOINTCH1");
  ASSERT_EQ(reg.Def->Decimals, 3);
  reg.SetValue("12.25000");
  struct {
    char Separator;
    const char* Fixed;  // with the row's decimals
    const char* Two;    // with two decimals
  } cases[] = {{',', "12,250", "12,25"}, {'.', "12.250", "12.25"}};
  for (const auto& c : cases) {
    TFormatGuard locale(c.Separator);
    EXPECT_EQ(ShownValue(reg, true), c.Fixed);
    EXPECT_EQ(ShownValue(reg, true, 2), c.Two);
    EXPECT_EQ(ShownValue(reg, true, kAsRead), "12.25000");
  }
  EXPECT_EQ(ShownValue(reg, false), NoValueText());
  reg.SetValue("");  // read, but no number (a value that is not finite)
  EXPECT_EQ(ShownValue(reg, true), BadValueText());
  EXPECT_EQ(ShownValue(reg, true, kAsRead), BadValueText());
  EXPECT_EQ(NoValueText(), ResStr("Н/Д"));
  EXPECT_EQ(BadValueText(), ResStr("Ошибка"));
}

TEST(ValueRules, SameValues) {
  struct {
    const TRegisterDef& Def;
    const char *A, *B;
    bool Same;
  } cases[] = {{RowOf(4, "SETPOINTCH1"), "5.5", "5,50000", true},
               {RowOf(4, "SETPOINTCH1"), "5.5", "5.6", false},
               {RowOf(1, "MNAME"), "Pump", "Pump   ", true},
               {RowOf(1, "NETWDT"), "07", "7", true},
               {RowOf(1, "NETWDT"), "7", "8", false}};
  for (const auto& c : cases) EXPECT_EQ(SameValue(c.Def, c.A, c.B), c.Same) << c.A << " " << c.B;
}

// Texts around the edges of what a register takes.
std::vector<std::string> Candidates(const TRegisterDef& d) {
  switch (ValueKindOf(d)) {
    case TValueKind::Text:
      // (A longer text never reaches a module whole: the codec cuts it to the register's length.)
      return {"Ж", std::string(size_t(d.StrLength), 'B')};
    case TValueKind::Single: return {"1,5", "-2.25", "3.3e37", "3.5e37"};
    case TValueKind::Integer:
    case TValueKind::Code: break;
  }
  int64_t lo = 0, hi = 0;
  NumberRange(d, lo, hi);
  std::vector<std::string> texts = {std::to_string(lo), std::to_string(hi), "7", "250"};
  if (lo > 0) texts.push_back(std::to_string(lo - 1));
  if (d.List) texts.push_back(std::to_string(d.List->Items.size() + 1));
  return texts;
}

// What the command line writes (forced: a module's own view) the simulated module keeps, and
// what it refuses the module ignores, for every register of every model.
TEST(ValueRules, TheSimulatorKeepsExactlyWhatTheRulesTake) {
  for (int model = 1; model < ModelCount; ++model) {
    for (const TRegisterDef& d : RegisterMap(model)) {
      if (d.Access != raConfig && d.Access != raLive) continue;
      if (std::string(d.Name) == "NETADDR") continue;  // a write moves the module
      for (const std::string& text : Candidates(d)) {
        SCOPED_TRACE(std::string(ModelRow(model).Name) + " " + d.Name + "=" + text);
        TSimBus bus;
        TSimModule& module = bus.AddModel(model, 3);
        module.RandomInputs = module.MovingInputs = false;
        TprDevReg reg;
        reg.Setup(3, d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
        ASSERT_TRUE(simtest::ReadModbus(bus, reg));
        const std::string before = reg.ValueText;
        std::string why;
        const bool takes = CheckValueText(d, text, why, true);
        try {
          ASSERT_TRUE(simtest::WriteModbus(bus, reg, text));
        } catch (const std::exception&) {
          EXPECT_FALSE(takes) << "the codec refused a text the rules take";
          continue;
        }
        ASSERT_TRUE(simtest::ReadModbus(bus, reg));
        if (takes)
          EXPECT_TRUE(SameValue(d, reg.ValueText, text)) << reg.ValueText;
        else
          EXPECT_EQ(reg.ValueText, before);
      }
    }
  }
}

}  // namespace

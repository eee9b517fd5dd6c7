// Configuration files: both kinds written and read back, texts refused with their fault, a
// file checked against a model, and the load plan against a simulated module.
#include <gtest/gtest.h>

#include <memory>

#include "comm/Clock.h"
#include "comm/prPort.h"
#include "models/ConfigPlan.h"
#include "sim/SimBackend.h"

namespace {

TEST(ConfigFile, BothKindsReadBackAsWritten) {
  const TModuleConfig eta{"ETA-03", "2.13", {{"MNAME", "Насос \"3\" & <сушка>"}, {"HBS1", "20.5"}}};
  const TConfigParseResult module = ParseConfigXml(WriteConfigXml(eta));
  ASSERT_TRUE(module.Ok) << module.Error;
  EXPECT_EQ(module.Kind, TConfigKind::Module);
  EXPECT_EQ(module.Config.Model, eta.Model);
  EXPECT_EQ(module.Config.Firmware, eta.Firmware);
  EXPECT_EQ(module.Config.Values, eta.Values);

  TBusConfig bus;
  bus.Protocol = ptVela;
  bus.Baud = 57600;
  bus.Parity = TLineParity::Even;
  bus.Timeout = 120;
  bus.Modules = {{3, eta}, {200, {"KAPPA-01", "", {{"FILTER1", "4"}}}}};
  const TConfigParseResult back = ParseConfigXml(WriteBusXml(bus));
  ASSERT_TRUE(back.Ok) << back.Error;
  EXPECT_EQ(back.Kind, TConfigKind::Bus);
  EXPECT_EQ(back.Bus.Protocol, bus.Protocol);
  EXPECT_EQ(back.Bus.Baud, bus.Baud);
  EXPECT_EQ(back.Bus.Parity, bus.Parity);
  EXPECT_EQ(back.Bus.Timeout, bus.Timeout);
  ASSERT_EQ(back.Bus.Modules.size(), 2u);
  EXPECT_EQ(back.Bus.Find(3)->Config.Values, eta.Values);
  EXPECT_EQ(back.Bus.Find(200)->Config.Model, "KAPPA-01");
  EXPECT_EQ(back.Bus.Find(4), nullptr);
}

TEST(ConfigFile, DamagedAndForeignTextsAreRefusedWithTheirFault) {
  const std::string bus =
      "<bus-configuration protocol=\"modbus\" baud=\"9600\" parity=\"none\" timeout=\"0\"";
  const struct {
    std::string Text;
    TConfigFault Fault;
  } cases[] = {
      {"", TConfigFault::NotXml},
      {"not xml", TConfigFault::NotXml},
      {"<module-configuration model=\"KAPPA-01\">", TConfigFault::NotXml},
      {"<other model=\"KAPPA-01\"/>", TConfigFault::Foreign},
      {"<html><body/></html>", TConfigFault::Foreign},
      {"<module-configuration format=\"2\" model=\"KAPPA-01\"/>", TConfigFault::NewerFormat},
      {"<module-configuration format=\"x\" model=\"KAPPA-01\"/>", TConfigFault::Damaged},
      {"<module-configuration/>", TConfigFault::Damaged},
      {"<module-configuration model=\"KAPPA-01\"><register name=\"A\"/></module-configuration>",
       TConfigFault::Damaged},
      {"<module-configuration model=\"KAPPA-01\"><register value=\"1\"/></module-configuration>",
       TConfigFault::Damaged},
      {"<module-configuration model=\"KAPPA-01\"><reg name=\"A\" "
       "value=\"1\"/></module-configuration>",
       TConfigFault::Damaged},
      {"<module-configuration model=\"KAPPA-01\"><register name=\"A\" value=\"1\"/>"
       "<register name=\"a\" value=\"2\"/></module-configuration>",
       TConfigFault::Damaged},
      {"<bus-configuration protocol=\"dcs\" baud=\"9600\" parity=\"none\" timeout=\"0\"/>",
       TConfigFault::Damaged},
      {"<bus-configuration protocol=\"modbus\" baud=\"9601\" parity=\"none\" timeout=\"0\"/>",
       TConfigFault::Damaged},
      {"<bus-configuration protocol=\"modbus\" baud=\"9600\" parity=\"mark\" timeout=\"0\"/>",
       TConfigFault::Damaged},
      {bus + "><module address=\"248\" model=\"KAPPA-01\"/></bus-configuration>",
       TConfigFault::Damaged},
      {bus + "><module address=\"5\" model=\"KAPPA-01\"/><module address=\"5\" model=\"ETA-03\"/>"
             "</bus-configuration>",
       TConfigFault::Damaged},
      {bus + "><module address=\"5\"/></bus-configuration>", TConfigFault::Damaged},
      {bus + "><register name=\"A\" value=\"1\"/></bus-configuration>", TConfigFault::Damaged},
  };
  for (const auto& c : cases) {
    const TConfigParseResult r = ParseConfigXml(c.Text);
    EXPECT_FALSE(r.Ok) << c.Text;
    EXPECT_EQ(r.Fault, c.Fault) << c.Text << ": " << r.Error;
    EXPECT_FALSE(r.Error.empty()) << c.Text;
  }
  // A file of before the format was numbered is of the first format.
  EXPECT_TRUE(ParseConfigXml("<module-configuration model=\"KAPPA-01\"/>").Ok);
}

struct ConfigFileLoad : ::testing::Test {
  std::shared_ptr<TSimBus> bus = std::make_shared<TSimBus>();
  TSimModule& sim = bus->AddModel(1, 5);  // KAPPA-01
  TComPort line{std::make_unique<TSimBackend>(bus)};
  TprPort port;
  TFakeClock clock;
  TClockGuard guard{&clock};
  std::unique_ptr<TprModel> kappa;

  void SetUp() override {
    port.SetComPort(&line);
    port.ApplySettings();
    line.Open();
    kappa.reset(dynamic_cast<TprModel*>(CreateDevice(1, 5, &port)));
  }
  uint32_t Value(const std::string& name) {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    return sim.Int(name);
  }
};

TEST_F(ConfigFileLoad, AFileIsCheckedAgainstTheModel) {
  const struct {
    TModuleConfig Config;
    TConfigMismatch Mismatch;
  } cases[] = {
      {{"KAPPA-01", "", {{"FILTER1", "3"}, {"MNAME", "Насос"}}}, TConfigMismatch::None},
      {{"ETA-03", "", {}}, TConfigMismatch::OtherModel},
      {{"KAPPA-01", "", {{"MVERSION", "1"}}}, TConfigMismatch::NotASetting},
      {{"KAPPA-01", "", {{"NOSUCH", "1"}}}, TConfigMismatch::NotASetting},
      {{"KAPPA-01", "", {{"NETBDRT", "99"}}}, TConfigMismatch::BadValue},
      {{"KAPPA-01", "", {{"MNAME", "a name far too long"}}}, TConfigMismatch::BadValue},
  };
  for (const auto& c : cases) {
    const TConfigCheck check = CheckConfigFor(*kappa, c.Config);
    EXPECT_EQ(check.Mismatch, c.Mismatch) << check.Error;
    EXPECT_EQ(check.Error.empty(), c.Mismatch == TConfigMismatch::None) << check.Error;
  }
}

// Only what differs is written, network settings last and only on request; each write is read
// back; a register whose present value cannot be read is written all the same.
TEST_F(ConfigFileLoad, TheLoadWritesWhatDiffersAndVerifiesIt) {
  std::vector<std::string> unread;
  const TModuleConfig present = ReadConfig(*kappa, unread);
  ASSERT_TRUE(unread.empty());
  TModuleConfig wanted = present;
  auto set = [&](const char* name, const char* value) {
    for (auto& [n, v] : wanted.Values)
      if (n == name) v = value;
  };
  set("NETADDR", "9");
  set("FILTER2", "7");
  set("NETWDT", "300");
  {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    sim.SetUnreadable("MNAME");
  }
  const struct {
    bool Network;
    std::vector<std::string> Steps, Skipped;
  } cases[] = {
      {false, {"MNAME", "NETWDT", "FILTER2"}, {"MDBFMT", "NETBDRT", "NETADDR"}},
      {true, {"MNAME", "NETWDT", "FILTER2", "NETADDR"}, {}},
  };
  for (const auto& c : cases) {
    TLoadPlan plan = PlanLoad(*kappa, wanted, c.Network);
    std::vector<std::string> steps;
    for (const TWriteStep& s : plan.Steps) steps.push_back(s.Name);
    EXPECT_EQ(steps, c.Steps);
    EXPECT_EQ(plan.Skipped, c.Skipped);
    EXPECT_EQ(plan.Unread, std::vector<std::string>{"MNAME"});
    EXPECT_EQ(DiffConfigs(kappa->Map(), present, wanted, c.Network).size(), c.Steps.size() - 1);
  }
  TLoadPlan plan = PlanLoad(*kappa, wanted, true);
  RunLoad(*kappa, plan, nullptr);
  for (const TWriteStep& s : plan.Steps) {
    EXPECT_TRUE(s.Written) << s.Name;
    // MNAME cannot be read back; everything else holds, at the module's new address too.
    EXPECT_EQ(s.Verified, s.Name != "MNAME") << s.Name;
  }
  EXPECT_EQ(Value("FILTER2"), 7u);
  EXPECT_EQ(Value("NETADDR"), 9u);
  EXPECT_EQ(kappa->Address, 9u);
}

}  // namespace

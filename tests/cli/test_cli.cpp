// orbis-cli run in the process against simulated modules on a pty: the commands, their exit
// codes and JSON documents.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CliBus.h"
#include "comm/Clock.h"
#include "sim/DemoBus.h"
#include "sim/PtyBus.h"

using nlohmann::json;

namespace {

struct TRun {
  int Code = -1;
  std::string Out, Err;
  json Doc() const { return json::parse(Out); }
};

TRun Cli(std::vector<std::string> args) {
  std::ostringstream out, err;
  TRun r;
  r.Code = RunCli(args, {out, err, false});
  r.Out = out.str();
  r.Err = err.str();
  return r;
}

struct CliBus : ::testing::Test {
  std::shared_ptr<TSimBus> bus = std::make_shared<TSimBus>();
  TSimModule* kappa = &bus->AddModel(1, 1);
  TSimModule* kappa2 = &bus->AddModel(1, 7);
  TSimModule* eta = &bus->AddModel(2, 2);
  TSimModule* rho = &bus->AddModel(4, 4);
  TPtyBus pty{bus};
  // The pauses after each exchange are the program's; the exchanges themselves run on the pty.
  TFakeClock clock;
  TClockGuard clockGuard{&clock};
  std::string port;
  // One file per test: ctest runs the tests of this suite side by side.
  std::string file = ::testing::TempDir() + "orbis-cli-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xml";

  void SetUp() override {
    for (auto& m : bus->Modules()) m->RandomInputs = m->MovingInputs = false;
    pty.PaceReplies = false;
    std::string error;
    ASSERT_TRUE(pty.Start(&error)) << error;
    port = pty.DevicePath();
  }
  void TearDown() override { std::remove(file.c_str()); }
  std::string ValueOf(TSimModule* m, const std::string& name) {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    return m->Text(name);
  }
  uint32_t IntOf(TSimModule* m, const std::string& name) {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    return m->Int(name);
  }
};

TEST(CliScan, FindsTheDemoBus) {
  TFakeClock clock;
  TClockGuard guard(&clock);
  std::string error;
  const std::string path = StartDemoBus(&error);
  ASSERT_FALSE(path.empty()) << error;
  const TRun r = Cli({"scan", path, "--to", "10", "--json"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const json modules = r.Doc()["modules"];
  ASSERT_EQ(modules.size(), 6u) << r.Out;
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(modules[i]["address"], i + 1);
    EXPECT_EQ(modules[i]["model"], ModelNames[(i + 1) % 6].Name);
  }
  EXPECT_TRUE(r.Doc()["complete"]);
  EXPECT_EQ(clock.TotalSleptMs, 10 * 30);  // the search's pause after every address
}

// A gateway's name goes wherever a port does, diff's PORT:ADDRESS included.
TEST(TcpLineCli, EveryCommandTakesAGateway) {
  TFakeClock clock;
  TClockGuard guard(&clock);
  auto bus = std::make_shared<TSimBus>();
  for (uint8_t address : {1, 7}) bus->AddModel(1, address).RandomInputs = false;
  TPtyBus gateway(bus);
  std::string error;
  ASSERT_TRUE(gateway.StartTcp("127.0.0.1", 0, &error)) << error;
  const std::string port = "tcp://127.0.0.1:" + std::to_string(gateway.TcpPort());

  const TRun scan = Cli({"scan", port, "--to", "8", "--json"});
  ASSERT_EQ(scan.Code, 0) << scan.Err;
  EXPECT_EQ(scan.Doc()["modules"].size(), 2u) << scan.Out;
  const TRun write = Cli({"write", port, "7", "MNAME=Pump 7"});
  EXPECT_EQ(write.Code, 0) << write.Err;
  const TRun diff = Cli({"diff", port + ":1", port + ":7"});
  EXPECT_EQ(diff.Code, 1) << diff.Err;
  EXPECT_NE(diff.Out.find("Pump 7"), std::string::npos) << diff.Out << diff.Err;
}

// Each value kind written, read back by the tool and found in the module as written.
TEST_F(CliBus, WriteThenReadRoundTripsEveryValueKind) {
  struct Case {
    const char* Address;
    const char* Register;
    const char* Value;
    const char* ReadsAs;
  };
  const Case cases[] = {
      {"1", "FILTER2", "3", "3"},                  // one byte
      {"1", "NETWDT", "65535", "65535"},           // 16 bits
      {"4", "OUTPUTPUPCH1", "4.25", "4.25000"},    // single
      {"4", "OUTPUTSAFECH2", "-0.5", "-0.50000"},  // single, negative
      {"2", "DISPLAY", "Бак №3", "Бак №3"},        // 8 bytes on the wire, more in UTF-8
      {"2", "DISPLAY", "Tank <3>", "Tank <3>"},    // string
  };
  for (const Case& c : cases) {
    const std::string assignment = std::string(c.Register) + "=" + c.Value;
    const TRun w = Cli({"write", port, c.Address, assignment});
    EXPECT_EQ(w.Code, 0) << assignment << ": " << w.Out << w.Err;
    EXPECT_EQ(w.Out, assignment + ": holds\n");
    const TRun r = Cli({"read", port, c.Address, c.Register, "--json"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Doc()["registers"][0]["value"], c.ReadsAs) << assignment;
  }
  EXPECT_EQ(IntOf(kappa, "NETWDT"), 65535u);
  EXPECT_EQ(ValueOf(eta, "DISPLAY"), "Tank <3>");
}

// Command lines refused or failing, each with its exit code and a JSON document that parses.
TEST_F(CliBus, ExitCodesOfRefusedAndFailingCommands) {
  struct Case {
    std::vector<std::string> Args;
    int Code;
  };
  const std::string p = port;
  const Case cases[] = {
      {{"frobnicate"}, 2},
      {{}, 2},
      {{"scan", p, "--protocol", "dcs"}, 2},
      {{"scan", p, "--protocol", "vela", "--parity", "even"}, 2},
      {{"scan", p, "--from", "9", "--to", "3"}, 2},
      {{"scan", p, "--baud", "14400"}, 2},
      {{"read", p, "0"}, 2},
      {{"read", p, "1", "NOSUCH"}, 2},
      {{"write", p, "1", "DIGINPUT=1"}, 2},   // read-only
      {{"write", p, "1", "FILTER1=256"}, 2},  // beyond one byte
      {{"write", p, "1", "NETADDR=0"}, 2},    // beyond the register's own range
      {{"write", p, "1", "NETBDRT=11"}, 2},   // a code no baud rate has
      {{"write", p, "2", "DISPLAY=✓"}, 2},     // no byte for the mark in the code page
      {{"write", p, "1", "NETWDT"}, 2},
      {{"write", p, "4", "SETPOINTCH1=1e38"}, 2},
      {{"read", p, "9"}, 1},  // nobody there
      {{"read", "/nonexistent/tty", "1"}, 3},
      {{"diff", file, file}, 2},  // no such file
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.Args;
    args.push_back("--json");
    const TRun r = Cli(args);
    std::string line;
    for (const auto& a : args) line += a + " ";
    EXPECT_EQ(r.Code, c.Code) << line << r.Err;
    EXPECT_NO_THROW(EXPECT_TRUE(r.Doc().contains("error")) << line) << line << r.Out;
    EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << line << r.Err;
  }
  EXPECT_EQ(IntOf(kappa, "FILTER1"), 1u);  // nothing of the refused writes reached the module
}

TEST_F(CliBus, SaveThenLoadOntoASecondModuleLeavesNoDifference) {
  ASSERT_EQ(Cli({"write", port, "1", "NETWDT=120", "FILTER3=3", "COUNTFRONT=21845",
                 "MNAME=Pump 3"}).Code, 0);
  ASSERT_EQ(Cli({"save", port, "1", file}).Code, 0);
  const TRun before = Cli({"diff", file, port + ":7", "--json"});
  EXPECT_EQ(before.Code, 1);
  EXPECT_EQ(before.Doc()["differences"].size(), 4u) << before.Out;

  const TRun load = Cli({"load", port, "7", file, "--json"});
  ASSERT_EQ(load.Code, 0) << load.Err;
  const json doc = load.Doc();
  EXPECT_EQ(doc["changes"].size(), 4u) << load.Out;  // only what differs is written
  for (const auto& c : doc["changes"]) EXPECT_TRUE(c["holds"]) << c;
  EXPECT_EQ(doc["left_alone"], json({"MDBFMT", "NETBDRT", "NETADDR"}));
  EXPECT_EQ(IntOf(kappa2, "NETADDR"), 7u);  // the bus address is not cloned

  const TRun after = Cli({"diff", port + ":1", port + ":7"});
  EXPECT_EQ(after.Code, 0) << after.Out;
  EXPECT_EQ(after.Out, "");
  EXPECT_EQ(Cli({"load", port, "7", file, "--json"}).Doc()["changes"].size(), 0u);
}

// A whole bus saved, changed, compared and loaded back module by module at each address.
TEST_F(CliBus, BusFileSavesComparesAndLoadsEveryModule) {
  const std::string second = file + ".2";
  ASSERT_EQ(Cli({"save", port, "--bus", file, "--to", "7"}).Code, 0);
  ASSERT_EQ(Cli({"write", port, "7", "FILTER3=9", "--force"}).Code, 0);
  ASSERT_EQ(Cli({"write", port, "2", "MNAME=Dryer"}).Code, 0);
  const TRun saved = Cli({"save", port, "--bus", second, "--to", "7", "--json"});
  ASSERT_EQ(saved.Code, 0) << saved.Err;
  EXPECT_EQ(saved.Doc()["modules"].size(), 4u) << saved.Out;
  const TRun diff = Cli({"diff", file, second, "--json"});
  EXPECT_EQ(diff.Code, 1);
  EXPECT_EQ(diff.Doc()["differences"],
            json::parse(R"([{"address":2,"name":"MNAME","a":"ETA-03","b":"Dryer"},)"
                        R"({"address":7,"name":"FILTER3","a":"1","b":"9"}])"));

  const TRun load = Cli({"load", port, file, "--json"});
  ASSERT_EQ(load.Code, 0) << load.Err << load.Out;
  const json doc = load.Doc();
  for (const auto& m : doc["modules"]) {
    EXPECT_EQ(m["found"], m["model"]);
    const size_t changed = m["address"] == 2 || m["address"] == 7 ? 1 : 0;
    EXPECT_EQ(m["changes"].size(), changed) << m;
  }
  EXPECT_EQ(IntOf(kappa2, "FILTER3"), 1u);
  ASSERT_EQ(Cli({"save", port, "--bus", second, "--to", "7"}).Code, 0);
  EXPECT_EQ(Cli({"diff", file, second}).Out, "");
  std::remove(second.c_str());
}

TEST_F(CliBus, LoadRefusesAnotherModelsFileAndDryRunWritesNothing) {
  ASSERT_EQ(Cli({"write", port, "1", "FILTER4=2"}).Code, 0);
  ASSERT_EQ(Cli({"save", port, "1", file}).Code, 0);
  const int framesBefore = [&] {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    return eta->FramesServed;
  }();
  const TRun other = Cli({"load", port, "2", file});
  EXPECT_EQ(other.Code, 2);  // a file this module cannot use
  EXPECT_NE(other.Err.find("KAPPA-01"), std::string::npos) << other.Err;
  {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    EXPECT_EQ(eta->FramesServed, framesBefore + 1);  // the identification probe only
  }

  const TRun dry = Cli({"load", port, "7", file, "--dry-run", "--json"});
  EXPECT_EQ(dry.Code, 0) << dry.Err;
  ASSERT_EQ(dry.Doc()["changes"].size(), 1u) << dry.Out;
  EXPECT_EQ(dry.Doc()["changes"][0], json({{"name", "FILTER4"}, {"from", "1"}, {"to", "2"}}));
  EXPECT_EQ(IntOf(kappa2, "FILTER4"), 1u);
}

TEST_F(CliBus, NetworkOptionMovesTheModuleAndFollowsIt) {
  ASSERT_EQ(Cli({"write", port, "1", "NETADDR=9"}).Code, 0);  // the source, now at 9
  ASSERT_EQ(Cli({"save", port, "9", file}).Code, 0);
  ASSERT_EQ(Cli({"write", port, "9", "NETADDR=1"}).Code, 0);
  const TRun load = Cli({"load", port, "7", file, "--network", "--json"});
  ASSERT_EQ(load.Code, 0) << load.Err << load.Out;
  EXPECT_EQ(load.Doc()["changes"].back()["name"], "NETADDR");
  EXPECT_EQ(Cli({"read", port, "9", "NETADDR"}).Out, "NETADDR  9  setting\n");
}

TEST_F(CliBus, NetworkLoadFollowsTheModuleToItsNewBaudRate) {
  {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    kappa2->StrictLine = true;  // hears only frames at the baud rate of its NETBDRT
  }
  std::ofstream(file) << WriteConfigXml({"KAPPA-01", "", {{"NETBDRT", "7"}}});  // 19200
  const TRun load = Cli({"load", port, "7", file, "--network", "--json"});
  ASSERT_EQ(load.Code, 0) << load.Err << load.Out;
  EXPECT_EQ(load.Doc()["changes"][0]["holds"], true);
  EXPECT_EQ(Cli({"read", port, "7", "NETBDRT"}).Code, 1);
  EXPECT_EQ(Cli({"read", port, "7", "NETBDRT", "--baud", "19200"}).Out, "NETBDRT  7  setting\n");
}

TEST_F(CliBus, CtrlCStopsAScanBetweenTwoExchangesAndClosesTheLine) {
  TPtyBus stopping(bus);
  int requests = 0;
  stopping.Log = [&](const std::string& line) {
    if (line.rfind("<-", 0) == 0 && ++requests == 3) CliStopRequested() = true;
  };
  std::string error;
  ASSERT_TRUE(stopping.Start(&error)) << error;
  const TRun r = Cli({"scan", stopping.DevicePath(), "--json"});
  EXPECT_EQ(r.Code, 130);
  EXPECT_FALSE(r.Doc()["complete"]);
  EXPECT_EQ(clock.SleepCount, 3);  // the third probe ended, and nothing after it
  EXPECT_EQ(Cli({"read", stopping.DevicePath(), "1", "NETADDR"}).Code, 0);  // line given back
}

// A module that answers later than the time-out (on the real clock: its replies come late in
// real time): each command that reads it fails, naming how late it answers, and reports no
// value; with the time-out raised above that, the read succeeds.
TEST(CliLate, ALateModuleFailsTheReadNamingItsLateness) {
  auto bus = std::make_shared<TSimBus>();
  bus->AddModel(1, 1).Fault = TSimFault{TSimFaultKind::Late, 150, -1};
  TPtyBus pty{bus};
  pty.PaceReplies = false;
  std::string error;
  ASSERT_TRUE(pty.Start(&error)) << error;
  const std::string port = pty.DevicePath();
  const std::string file = ::testing::TempDir() + "orbis-cli-late.xml";
  const std::vector<std::vector<std::string>> commands = {
      {"read", port, "1", "DAYS"}, {"save", port, "1", file}, {"diff", port + ":1", file}};
  for (const auto& args : commands) {
    SCOPED_TRACE(args[0]);
    const TRun r = Cli(args);
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Out, "");
    const size_t at = r.Err.find("answers ");
    ASSERT_NE(at, std::string::npos) << r.Err;
    const int late = std::atoi(r.Err.c_str() + at + 8);
    EXPECT_GE(late, 150) << r.Err;
    EXPECT_LT(late, 400) << r.Err;
  }
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(Cli({"read", port, "1", "DAYS", "--timeout", "500"}).Code, 0);
}

// Bad input exits 2 with its reason, a module that fails 1; every failure is said in words.
TEST_F(CliBus, RoughEdgesExitCodesAndMessages) {
  const std::string dir = ::testing::TempDir();
  {
    TModuleConfig partial;
    partial.Model = "KAPPA-01";
    partial.Values = {{"FILTER1", "3"}};
    std::ofstream(file) << WriteConfigXml(partial);
  }
  struct Case {
    std::vector<std::string> Args;
    int Code;
    std::string Says;  // in standard error, or standard output for code 0
    std::function<void()> Before = {};
  };
  const std::string p = port;
  const auto garble = [&](TSimFaultKind kind) {
    return [this, kind] {
      std::lock_guard<std::mutex> lock(bus->Mutex());
      kappa->Fault = TSimFault{kind, 0, 1};
    };
  };
  const Case cases[] = {
      {{"load", p, "1", dir}, 2, "is a directory"},
      {{"diff", dir, file}, 2, "is a directory"},
      {{"save", p, "1", dir}, 2, "is a directory"},
      {{"load", p, "1", "/nonexistent/x.xml"}, 2, "No such file"},
      {{"scan", p, "--from", "100", "--to", "102"}, 1, "no module answered"},
      {{"write", p, "4", "OUTTYPE1=7"}, 2, "--force"},
      {{"write", p, "4", "OUTTYPE1=7", "--force"}, 0, "OUTTYPE1=7"},
      {{"load", p, "1", file, "--strict", "--dry-run"}, 2, "does not set MNAME"},
      {{"load", p, "1", file, "--dry-run"}, 0, "does not set MNAME"},
      {{"read", p, "1"}, 1, "checksum error", garble(TSimFaultKind::BadCrc)},
      {{"read", p, "1"}, 1, "garbled reply", garble(TSimFaultKind::Truncated)},
      {{"--version"}, 0, "orbis-cli "},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& a : c.Args) line += a + " ";
    if (c.Before) c.Before();
    const TRun r = Cli(c.Args);
    EXPECT_EQ(r.Code, c.Code) << line << r.Err;
    EXPECT_NE((r.Err + r.Out).find(c.Says), std::string::npos) << line << r.Err << r.Out;
  }
}

// A register that fails in a text-mode read is named as failed, not shown as a value.
TEST_F(CliBus, RoughEdgesAFailedReadIsAnError) {
  // The module falls silent after the first register is read.
  clock.OnSleep = [this](int) {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    kappa->Fault = TSimFault{TSimFaultKind::Silence};
  };
  const TRun r = Cli({"read", port, "1", "FILTER1", "FILTER2"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Out.find("Н/Д"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("FILTER2  read failed"), std::string::npos) << r.Out;
  EXPECT_NE(r.Err.find("FILTER2"), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.find("FILTER1"), std::string::npos) << r.Err;
}

}  // namespace

// --trace: every exchange of the command, as lines on standard error and in the document.
TEST_F(CliBus, TraceShowsEveryExchange) {
  const TRun r = Cli({"read", port, "1", "NETWDT", "--trace", "--json"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const json trace = r.Doc()["trace"];
  ASSERT_GE(trace.size(), 2u) << r.Out;  // the probe, then the read
  EXPECT_EQ(trace.front()["model"], "KAPPA-01");
  EXPECT_EQ(trace.back()["register"], "NETWDT");
  EXPECT_EQ(trace.back()["value"], std::to_string(IntOf(kappa, "NETWDT")));
  EXPECT_EQ(trace.back()["outcome"], "answered");
  size_t lines = 0;
  for (size_t at = 0; (at = r.Err.find("trace: ", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, trace.size()) << r.Err;
}

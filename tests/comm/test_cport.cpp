// The serial line's own semantics on a recording backend (order of the set-up steps, when a
// setting is pushed, reopen on a new name, closed-line errors), its tables, the flag builder
// of the termios backend and the port list over a fake sysfs tree.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <utility>

#include "comm/CPort.h"
#include "comm/ComPortTermios.h"

namespace {

class TRecorder : public TComBackend {
 public:
  explicit TRecorder(std::vector<std::string>& log) : Log(log) {}
  void Open(const std::string& port) override {
    Log.push_back("open " + port);
    if (FailOpen) throw EComPort(CError_OpenFailed, ENOENT);
  }
  void Close() override { Log.push_back("close"); }
  void ApplyBuffer(const TComBuffer& b) override {
    Log.push_back("buffer " + std::to_string(b.InputSize) + "/" + std::to_string(b.OutputSize));
  }
  void ApplyLine(const TComLineSettings& s) override {
    Log.push_back("line " + std::to_string(BaudRateValue(s.BaudRate)));
    if (FailLine) throw EComPort(CError_SetStateFailed, EINVAL);
  }
  void ApplyTimeouts(const TComTimeouts& t) override {
    Log.push_back("timeouts " + std::to_string(t.ReadTotalConstant));
  }
  void Purge(bool in, bool out) override {
    Log.push_back(std::string("purge") + (in ? " in" : "") + (out ? " out" : ""));
    if (FailPurge) throw EComPort(CError_PurgeFailed, EIO);
  }
  int Write(const uint8_t*, int count) override {
    Log.push_back("write " + std::to_string(count));
    return count;
  }
  int Read(uint8_t*, int count) override {
    Log.push_back("read " + std::to_string(count));
    return 0;
  }
  std::vector<std::string>& Log;
  bool FailOpen = false, FailLine = false, FailPurge = false;
};

struct RecordedLine : ::testing::Test {
  RecordedLine() : Line(std::make_unique<TRecorder>(Log)) {}
  TRecorder& Rec() { return static_cast<TRecorder&>(Line.Backend()); }
  std::vector<std::string> Take() { return std::exchange(Log, {}); }
  std::vector<std::string> Log;
  TComPort Line;
};

using Steps = std::vector<std::string>;

}  // namespace

TEST_F(RecordedLine, DefaultsOfTheLine) {
  EXPECT_EQ(Line.Port(), "COM1");
  EXPECT_EQ(Line.BaudRate(), br9600);
  EXPECT_EQ(Line.CustomBaudRate(), 9600);
  EXPECT_EQ(Line.DataBits(), dbEight);
  EXPECT_EQ(Line.StopBits(), sbOneStopBit);
  EXPECT_EQ(Line.Parity(), (TComParity{prNone, false}));
  EXPECT_EQ(Line.EventChar(), 0);
  EXPECT_EQ(Line.FlowControl(), (TComFlowControl{dtrDisable, rtsDisable, false, false, false, false}));
  EXPECT_EQ(Line.Buffer(), (TComBuffer{1024, 1024}));
  EXPECT_EQ(Line.Timeouts(), (TComTimeouts{-1, 0, 0, 100, 1000}));
  EXPECT_FALSE(Line.Connected());
}

TEST_F(RecordedLine, OpenSetsUpInOrderAndOnlyOnce) {
  Line.Open();
  Line.Open();
  EXPECT_EQ(Take(), (Steps{"open COM1", "buffer 1024/1024", "line 9600", "timeouts 0"}));
  EXPECT_TRUE(Line.Connected());
  Line.Close();
  Line.Close();
  EXPECT_EQ(Take(), (Steps{"purge in out", "close"}));
  EXPECT_FALSE(Line.Connected());
}

TEST_F(RecordedLine, SettingsAreStoredWhileClosedAndPushedWhileOpen) {
  Line.SetBaudRate(br19200);
  Line.SetTimeouts(TComTimeouts{0, 0, 500, 2, 200});
  EXPECT_TRUE(Take().empty());
  Line.Open();
  EXPECT_EQ(Take(), (Steps{"open COM1", "buffer 1024/1024", "line 19200", "timeouts 500"}));
  Line.SetBaudRate(br115200);
  Line.SetParity({prOdd, true});
  Line.SetStopBits(sbTwoStopBits);
  Line.SetEventChar('\r');
  Line.SetTimeouts(TComTimeouts{17, 2, 66, 2, 200});
  Line.SetBuffer({2048, 2048});
  EXPECT_EQ(Take(), (Steps{"line 115200", "line 115200", "line 115200", "line 115200",
                           "timeouts 66", "buffer 2048/2048"}));
  // An unchanged value is not pushed again.
  Line.SetBaudRate(br115200);
  Line.SetTimeouts(TComTimeouts{17, 2, 66, 2, 200});
  EXPECT_TRUE(Take().empty());
  EXPECT_EQ(Line.LineSettings().Parity, (TComParity{prOdd, true}));
  EXPECT_EQ(Line.StopBits(), sbTwoStopBits);
  EXPECT_EQ(Line.EventChar(), '\r');
}

TEST_F(RecordedLine, NewPortNameReopensAndTheSameNameDoesNot) {
  Line.SetPort("/dev/ttyS0");
  EXPECT_TRUE(Take().empty());
  Line.Open();
  Take();
  Line.SetPort("/dev/ttyS0");
  EXPECT_TRUE(Take().empty());
  Line.SetPort("/dev/TTYS0");  // exact comparison: a different name
  EXPECT_EQ(Take(), (Steps{"purge in out", "close", "open /dev/TTYS0", "buffer 1024/1024",
                           "line 9600", "timeouts 0"}));
  EXPECT_TRUE(Line.Connected());
}

TEST_F(RecordedLine, FailedOpenLeavesTheLineClosed) {
  Rec().FailOpen = true;
  EXPECT_THROW(Line.Open(), EComPort);
  EXPECT_FALSE(Line.Connected());
  Rec().FailOpen = false;
  Rec().FailLine = true;
  Take();
  try {
    Line.Open();
    FAIL();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_SetStateFailed);
  }
  EXPECT_FALSE(Line.Connected());
  EXPECT_EQ(Take(), (Steps{"open COM1", "buffer 1024/1024", "line 9600", "close"}));
}

// An unplugged adapter fails the purge of the close; the device is released all the same.
TEST_F(RecordedLine, FailedPurgeOnCloseStillCloses) {
  Line.Open();
  Take();
  Rec().FailPurge = true;
  try {
    Line.Close();
    FAIL();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_PurgeFailed);
  }
  EXPECT_FALSE(Line.Connected());
  EXPECT_EQ(Take(), (Steps{"purge in out", "close"}));
}

TEST_F(RecordedLine, ExchangesOnAClosedLineFailWithTheLineError) {
  uint8_t buf[4] = {};
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* message;
  };
  const Case cases[] = {
      {"read", [&] { Line.Read(buf, 4); }, "ReadFile function failed (win error code: 9)"},
      {"write", [&] { Line.Write(buf, 4); }, "WriteFile function failed (win error code: 9)"},
      {"purge", [&] { Line.ClearBuffer(true, true); },
       "PurgeComm function failed (win error code: 9)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.call();
      FAIL() << "no error";
    } catch (const EComPort& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_EQ(e.WinCode, EBADF);
    }
  }
  EXPECT_TRUE(Take().empty());
}

TEST(ComPortTables, ErrorMessages) {
  const char* texts[] = {
      "Unable to open com port",
      "WriteFile function failed",
      "ReadFile function failed",
      "Invalid Async parameter",
      "PurgeComm function failed",
      "Unable to get async status",
      "SetCommState function failed",
      "SetCommTimeouts failed",
      "SetupComm function failed",
      "ClearCommError function failed",
      "GetCommModemStatus function failed",
      "EscapeCommFunction function failed",
      "TransmitCommChar function failed",
      "Cannot set property while connected",
      "EnumPorts function failed",
      "Failed to store settings",
      "Failed to load settings",
      "Link (un)registration failed",
      "Cannot change led state if ComPort is selected",
      "Cannot wait for event if event thread is created",
      "WaitForEvent method failed",
      "A component is linked to OnRxBuf event",
      "Registry error",
  };
  for (int code = 1; code <= 23; ++code) {
    SCOPED_TRACE(code);
    EXPECT_STREQ(EComPort(code).what(), texts[code - 1]);
    EXPECT_EQ(EComPort(code, 16).what(), std::string(texts[code - 1]) + " (win error code: 16)");
    EXPECT_EQ(EComPort(code, 0).what(), std::string(texts[code - 1]) + " (win error code: 0)");
  }
  EComPort e(CError_OpenFailed, EBUSY);
  EXPECT_EQ(e.Code, 1);
  EXPECT_EQ(e.WinCode, EBUSY);
  EXPECT_EQ(EComPort(CError_OpenFailed).WinCode, -1);
}

TEST(ComPortTables, BaudRateTexts) {
  const std::pair<const char*, int> rates[] = {
      {"Custom", 0},    {"110", 110},     {"300", 300},       {"600", 600},
      {"1200", 1200},   {"2400", 2400},   {"4800", 4800},     {"9600", 9600},
      {"14400", 14400}, {"19200", 19200}, {"38400", 38400},   {"56000", 56000},
      {"57600", 57600}, {"115200", 115200}, {"128000", 128000}, {"256000", 256000},
  };
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(rates[i].first);
    EXPECT_EQ(StrToBaudRate(rates[i].first), TBaudRate(i));
    EXPECT_EQ(BaudRateValue(TBaudRate(i)), rates[i].second);
  }
  EXPECT_EQ(StrToBaudRate("cUsToM"), brCustom);
  for (const char* other : {"", "9600 ", "230400", "abc", "0"}) EXPECT_EQ(StrToBaudRate(other), br9600) << other;
}

// The termios mapping in full, where a pty would hide data bits and parity.
TEST(TermiosFlags, RawLineFromAnyStartingPoint) {
  TTermiosFlags dirty;
  dirty.IFlag = dirty.OFlag = dirty.CFlag = dirty.LFlag = 0xFFFFFFFFu;
  dirty.VTime = 5;
  dirty.VMin = 0;
  struct Case {
    int dataBits, parity;
    bool two;
    uint32_t size, parityFlags;
  };
  const Case cases[] = {
      {5, 0, false, CS5, 0},
      {6, 1, false, CS6, PARENB | PARODD},
      {7, 2, true, CS7, PARENB},
      {8, 3, false, CS8, PARENB | PARODD | CMSPAR},
      {8, 4, true, CS8, PARENB | CMSPAR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataBits * 10 + c.parity);
    TTermiosLine line;
    line.Rate = 19200;
    line.DataBits = c.dataBits;
    line.Parity = c.parity;
    line.TwoStopBits = c.two;
    TTermiosFlags f = MakeRawLineFlags(dirty, line);
    EXPECT_EQ(f.CFlag & CSIZE, c.size);
    EXPECT_EQ(f.CFlag & (PARENB | PARODD | CMSPAR), c.parityFlags);
    EXPECT_EQ((f.CFlag & CSTOPB) != 0, c.two);
    EXPECT_EQ(f.CFlag & CRTSCTS, 0u);
    EXPECT_EQ(f.CFlag & (CLOCAL | CREAD), uint32_t(CLOCAL | CREAD));
    EXPECT_EQ(f.CFlag & CBAUD, uint32_t(B19200));
    // Nothing may translate, drop, zero or mark a byte, whatever the parity.
    EXPECT_EQ(f.IFlag & (INPCK | PARMRK | IGNPAR | ISTRIP | ICRNL | INLCR | IGNCR | IXON | IXOFF |
                         IXANY | BRKINT),
              0u);
    EXPECT_EQ(f.OFlag & OPOST, 0u);
    EXPECT_EQ(f.LFlag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(f.VMin, 1);
    EXPECT_EQ(f.VTime, 0);
  }

  TTermiosLine odd;
  odd.Rate = 128000;
  odd.RtsCtsFlow = true;
  odd.XonXoffIn = true;
  odd.XonXoffOut = true;
  TTermiosFlags f = MakeRawLineFlags(TTermiosFlags{}, odd);
  EXPECT_EQ(f.CFlag & CBAUD, kTermiosArbitraryRate);
  EXPECT_EQ(f.OSpeed, 128000u);
  EXPECT_NE(f.CFlag & CRTSCTS, 0u);
  EXPECT_EQ(f.IFlag & (IXON | IXOFF), uint32_t(IXON | IXOFF));
}

namespace {

struct FakeSysfs : ::testing::Test {
  void SetUp() override {
    char tmpl[] = "/tmp/orbis-sysfs-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    Root = tmpl;
    std::filesystem::create_directories(Root / "class/tty");
    std::filesystem::create_directories(Root / "dev");
    std::filesystem::create_directories(Root / "devices/serial");
  }
  void TearDown() override { std::filesystem::remove_all(Root); }

  // type < 0: no type file (USB and ACM ports have none).
  void AddTty(const std::string& name, bool device, int type, bool devNode = true) {
    auto dir = Root / "class/tty" / name;
    std::filesystem::create_directories(dir);
    if (device) std::filesystem::create_directory_symlink(Root / "devices/serial", dir / "device");
    if (type >= 0) std::ofstream(dir / "type") << type << "\n";
    if (devNode) std::ofstream(Root / "dev" / name) << "";
  }
  std::string Dev(const std::string& name) { return (Root / "dev" / name).string(); }

  std::filesystem::path Root;
};

}  // namespace

TEST_F(FakeSysfs, PortsWithADeviceSortedIgnoringCase) {
  AddTty("ttyS0", true, 4);
  AddTty("ttyS1", true, 0);  // phantom UART
  AddTty("ttyS10", true, 4);
  AddTty("ttyS2", true, 4);
  AddTty("ttyUSB0", true, -1);
  AddTty("ttymxc0", true, -1);
  AddTty("ttyACM0", true, -1);
  AddTty("tty0", false, -1);  // virtual console
  AddTty("ptmx", false, -1);
  AddTty("ttyUSB1", true, -1, false);  // no node to open
  std::vector<std::string> ports = {"stale"};
  EnumComPortsFrom((Root / "class/tty").string(), (Root / "dev").string(), ports);
  EXPECT_EQ(ports, (std::vector<std::string>{Dev("ttyACM0"), Dev("ttymxc0"), Dev("ttyS0"),
                                             Dev("ttyS10"), Dev("ttyS2"), Dev("ttyUSB0")}));
}

TEST_F(FakeSysfs, UnreadableListIsARegistryError) {
  std::vector<std::string> ports;
  try {
    EnumComPortsFrom((Root / "no-such-class").string(), (Root / "dev").string(), ports);
    FAIL() << "no error";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_RegError);
    EXPECT_STREQ(e.what(), "Registry error (win error code: 2)");
  }
}

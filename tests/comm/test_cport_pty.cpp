// The termios line against real pseudo-terminals: time-outs in tolerance bands, exclusivity,
// open failures, purge, binary transparency and the settings the terminal receives.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <numeric>
#include <thread>

#include "comm/CPort.h"
#include "comm/ComPortTermios.h"
#include "support/PtyPair.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

TComTimeouts ReadTimeouts(int interval, int multiplier, int constant) {
  TComTimeouts t;
  t.ReadInterval = interval;
  t.ReadTotalMultiplier = multiplier;
  t.ReadTotalConstant = constant;
  return t;
}

struct PtyLine : ::testing::Test {
  void SetUp() override {
    Line.SetPort(Pty.SlavePath);
    Line.Open();
  }
  TPtyPair Pty;
  TComPort Line;
};

std::vector<uint8_t> Bytes(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

}  // namespace

// A module that stays silent costs exactly the total time-out, and not a millisecond less.
TEST_F(PtyLine, SilentLineReturnsNothingAfterTheTotalTimeout) {
  Line.SetTimeouts(ReadTimeouts(0, 0, 500));
  uint8_t buf[38];
  auto t0 = Clock::now();
  EXPECT_EQ(Line.Read(buf, 38), 0);
  double ms = MsSince(t0);
  EXPECT_GE(ms, 500.0);
  EXPECT_LT(ms, 560.0);
}

TEST_F(PtyLine, ShortReplyWithoutIntervalEndsAtTheTotalTimeout) {
  Line.SetTimeouts(ReadTimeouts(0, 0, 500));
  std::thread peer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    Pty.Send(Bytes(7, 1));
  });
  uint8_t buf[38] = {};
  auto t0 = Clock::now();
  int got = Line.Read(buf, 38);
  double ms = MsSince(t0);
  peer.join();
  EXPECT_EQ(got, 7);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 7), Bytes(7, 1));
  EXPECT_GE(ms, 500.0);
  EXPECT_LT(ms, 560.0);
}

// The interval ends the read about one interval after the last byte, not after the first,
// and gaps shorter than the interval do not end it.
TEST_F(PtyLine, IntervalEndsTheReadAfterTheLastByte) {
  Line.SetTimeouts(ReadTimeouts(17, 0, 500));
  Clock::time_point seventh;
  std::thread peer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    for (uint8_t b = 1; b <= 7; ++b) {
      Pty.Send({b});
      if (b < 7) std::this_thread::sleep_for(std::chrono::milliseconds(6));
    }
    seventh = Clock::now();
  });
  uint8_t buf[38] = {};
  int got = Line.Read(buf, 38);
  auto end = Clock::now();
  peer.join();
  EXPECT_EQ(got, 7);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 7), Bytes(7, 1));
  double afterSeventh = std::chrono::duration<double, std::milli>(end - seventh).count();
  EXPECT_GE(afterSeventh, 16.0);  // the peer takes its time stamp just after the byte left
  EXPECT_LT(afterSeventh, 45.0);
}

TEST_F(PtyLine, CompleteReplyEndsTheReadAtOnce) {
  Line.SetTimeouts(ReadTimeouts(17, 2, 500));
  std::thread peer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Pty.Send(Bytes(8, 0xF8));
  });
  uint8_t buf[8] = {};
  auto t0 = Clock::now();
  EXPECT_EQ(Line.Read(buf, 8), 8);
  double ms = MsSince(t0);
  peer.join();
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 8), Bytes(8, 0xF8));
  EXPECT_LT(ms, 200.0);
}

TEST_F(PtyLine, IntervalMinusOneReturnsWhatHasArrived) {
  // The defaults of a fresh line: interval -1, no total.
  uint8_t buf[16] = {};
  auto t0 = Clock::now();
  EXPECT_EQ(Line.Read(buf, 16), 0);
  Pty.Send(Bytes(5, 40));
  EXPECT_EQ(Line.Read(buf, 16), 5);
  EXPECT_LT(MsSince(t0), 100.0);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 5), Bytes(5, 40));
}

TEST_F(PtyLine, WriteReachesTheFarEnd) {
  auto frame = Bytes(8, 0x10);
  EXPECT_EQ(Line.Write(frame.data(), 8), 8);
  EXPECT_EQ(Pty.Receive(8), frame);
}

// A far end that never takes the bytes cannot hold the line longer than the write time-out.
TEST_F(PtyLine, WriteIsBoundedByItsTimeout) {
  TComTimeouts t = Line.Timeouts();
  t.WriteTotalMultiplier = 0;
  t.WriteTotalConstant = 100;
  Line.SetTimeouts(t);
  std::vector<uint8_t> big(1 << 20, 0x55);
  auto t0 = Clock::now();
  int sent = Line.Write(big.data(), int(big.size()));
  double ms = MsSince(t0);
  EXPECT_GT(sent, 0);
  EXPECT_LT(sent, int(big.size()));
  EXPECT_GE(ms, 100.0);
  EXPECT_LT(ms, 160.0);
}

// Every byte value crosses both ways unchanged, parity checking on or off: no CR/LF mapping,
// no XON/XOFF, no stripping of the eighth bit, no marking or zeroing of parity errors.
TEST_F(PtyLine, EveryByteValuePassesUnchanged) {
  Line.SetTimeouts(ReadTimeouts(0, 0, 1000));
  auto all = Bytes(256);
  for (bool check : {false, true}) {
    SCOPED_TRACE(check ? "parity check on" : "parity check off");
    Line.SetParity({check ? prEven : prNone, check});
    Pty.Send(all);
    std::vector<uint8_t> in(256);
    ASSERT_EQ(Line.Read(in.data(), 256), 256);
    EXPECT_EQ(in, all);
    ASSERT_EQ(Line.Write(all.data(), 256), 256);
    EXPECT_EQ(Pty.Receive(256), all);
  }
}

// Late bytes of an earlier exchange must not reach the next reply.
TEST_F(PtyLine, PurgeDiscardsBytesThatArrivedBeforeIt) {
  Line.SetTimeouts(ReadTimeouts(0, 0, 100));
  uint8_t buf[16] = {};
  for (bool purge : {false, true}) {
    SCOPED_TRACE(purge ? "purged" : "not purged");
    Pty.Send({0xEE, 0xEE, 0xEE});
    if (purge) Line.ClearBuffer(true, true);
    Pty.Send({1, 2, 3, 4});
    int got = Line.Read(buf, 16);
    std::vector<uint8_t> want = {1, 2, 3, 4};
    if (!purge) want.insert(want.begin(), 3, 0xEE);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + got), want);
  }
}

// An unplugged adapter looks like a pty whose master closed: the read fails, it does not
// return an empty reply forever.
TEST_F(PtyLine, LostDeviceFailsTheRead) {
  Line.SetTimeouts(ReadTimeouts(0, 0, 500));
  Pty.CloseMaster();
  uint8_t buf[8];
  auto t0 = Clock::now();
  try {
    Line.Read(buf, 8);
    FAIL() << "read on a hung-up line succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_ReadFailed);
    EXPECT_EQ(e.WinCode, EIO);
    // The old text first, then what happened in the user's words.
    EXPECT_EQ(std::string(e.what()),
              "ReadFile function failed (win error code: 5)\n" + LineErrorHint(EIO, Pty.SlavePath));
  }
  EXPECT_LT(MsSince(t0), 100.0);
}

// A reopen purges, so a byte waiting in the input queue tells whether the line was reopened.
// Another spelling of the same device is another name: the comparison is on the text.
TEST_F(PtyLine, SameNameDoesNotReopen) {
  Line.SetTimeouts(ReadTimeouts(0, 0, 50));
  std::string name = Pty.SlavePath;
  std::string alias = "/dev/pts/../pts/" + name.substr(name.rfind('/') + 1);
  uint8_t b = 0;
  Pty.Send({9});
  Line.SetPort(name);
  EXPECT_EQ(Line.Read(&b, 1), 1);
  EXPECT_EQ(b, 9);
  Pty.Send({9});
  Line.SetPort(alias);
  EXPECT_TRUE(Line.Connected());
  EXPECT_EQ(Line.Port(), alias);
  EXPECT_EQ(Line.Read(&b, 1), 0);
}

TEST_F(PtyLine, SecondOpenerIsRefusedAndTheFirstKeepsWorking) {
  TComPort other;
  other.SetPort(Pty.SlavePath);
  try {
    other.Open();
    FAIL() << "second open succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code, CError_OpenFailed);
    // Root passes TIOCEXCL and is stopped by the lock; everybody else by TIOCEXCL.
    EXPECT_TRUE(e.WinCode == EWOULDBLOCK || e.WinCode == EBUSY) << e.WinCode;
    EXPECT_EQ(std::string(e.what()), "Unable to open com port (win error code: " +
                                         std::to_string(e.WinCode) + ")\nпорт " +
                                         Pty.SlavePath + " занят другой программой");
  }
  EXPECT_FALSE(other.Connected());
  auto frame = Bytes(4, 7);
  EXPECT_EQ(Line.Write(frame.data(), 4), 4);
  EXPECT_EQ(Pty.Receive(4), frame);
}

// A program that does not lock is kept out by TIOCEXCL (checked as an unprivileged user,
// since root passes it).
TEST_F(PtyLine, NonLockingOpenerIsRefusedWhileOpen) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  ASSERT_EQ(chmod(Pty.SlavePath.c_str(), 0666), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
    int fd = ::open(Pty.SlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    _exit(fd >= 0 ? 101 : errno == EBUSY ? 0 : 102);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(PtyOpen, FailuresLeaveTheLineClosed) {
  struct Case {
    std::string path;
    int err;
  };
  for (const Case& c : {Case{"/dev/orbis-no-such-tty", ENOENT}, Case{"/dev/null", ENOTTY}}) {
    SCOPED_TRACE(c.path);
    TComPort line;
    line.SetPort(c.path);
    try {
      line.Open();
      FAIL() << "open succeeded";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.Code, CError_OpenFailed);
      EXPECT_EQ(e.WinCode, c.err);
      const std::string hint = LineErrorHint(c.err, c.path);
      EXPECT_EQ(std::string(e.what()), "Unable to open com port (win error code: " +
                                           std::to_string(c.err) + ")" +
                                           (hint.empty() ? "" : "\n" + hint));
    }
    EXPECT_FALSE(line.Connected());
    uint8_t b;
    EXPECT_THROW(line.Read(&b, 1), EComPort);
  }
}

// Root reads any file, so the refusal is checked as an unprivileged user in a child. The
// message gets a line naming the device and the group that owns it.
TEST(PtyOpen, NoPermissionRaisesEaccesWithTheGroupToJoin) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  TPtyPair pty;
  ASSERT_EQ(chmod(pty.SlavePath.c_str(), 0660), 0);
  struct stat st{};
  ASSERT_EQ(stat(pty.SlavePath.c_str(), &st), 0);
  const group* owner = getgrgid(st.st_gid);
  ASSERT_NE(owner, nullptr);
  const std::string hint = "нет доступа к " + pty.SlavePath +
                           ": пользователь должен входить в группу " + owner->gr_name;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
    int code = 101;
    {
      TComPort line;
      line.SetPort(pty.SlavePath);
      try {
        line.Open();
      } catch (const EComPort& e) {
        code = (e.Code == CError_OpenFailed && e.WinCode == EACCES && !line.Connected()) ? 0 : 102;
        if (code == 0 && (e.Hint != hint || std::string(e.what()) !=
                                                "Unable to open com port (win error code: " +
                                                    std::to_string(EACCES) + ")\n" + hint))
          code = 103;
      }
    }
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// What the slave side applied, read back from the master side. A pty keeps speed and stop
// bits but forces 8 data bits without parity, so those two are checked on the flag builder.
TEST_F(PtyLine, SettingsReachTheTerminal) {
  TTermiosFlags f;
  ASSERT_EQ(TermiosReadFlags(Pty.Master, f), 0);
  EXPECT_EQ(f.LFlag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(f.OFlag & OPOST, 0u);
  EXPECT_EQ(f.IFlag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | INPCK | PARMRK), 0u);
  EXPECT_EQ(f.CFlag & (CLOCAL | CREAD), unsigned(CLOCAL | CREAD));
  EXPECT_EQ(f.CFlag & CSTOPB, 0u);
  EXPECT_EQ(f.VMin, 1);
  EXPECT_EQ(f.VTime, 0);
  EXPECT_EQ(f.OSpeed, 9600u);

  struct RateCase {
    TBaudRate rate;
    int custom;
    unsigned want;
  };
  const RateCase rates[] = {
      {br110, 0, 110},       {br300, 0, 300},         {br600, 0, 600},
      {br1200, 0, 1200},     {br2400, 0, 2400},       {br4800, 0, 4800},
      {br14400, 0, 14400},   {br19200, 0, 19200},     {br38400, 0, 38400},
      {br56000, 0, 56000},   {br57600, 0, 57600},     {br115200, 0, 115200},
      {br128000, 0, 128000}, {br256000, 0, 256000},   {brCustom, 31250, 31250},
      {brCustom, 250000, 250000}, {br9600, 0, 9600},
  };
  for (const RateCase& c : rates) {
    SCOPED_TRACE(c.want);
    if (c.custom) Line.SetCustomBaudRate(c.custom);
    Line.SetBaudRate(c.rate);
    ASSERT_EQ(TermiosReadFlags(Pty.Master, f), 0);
    EXPECT_EQ(f.OSpeed, c.want);
    EXPECT_EQ(f.ISpeed, c.want);
  }

  for (auto [bits, two] : {std::pair{sbTwoStopBits, true}, std::pair{sbOne5StopBits, true},
                           std::pair{sbOneStopBit, false}}) {
    Line.SetStopBits(bits);
    ASSERT_EQ(TermiosReadFlags(Pty.Master, f), 0);
    EXPECT_EQ((f.CFlag & CSTOPB) != 0, two) << bits;
  }
}

TEST(PtyOpen, CloseRestoresTheTerminal) {
  TPtyPair pty;
  TTermiosFlags before;
  ASSERT_EQ(TermiosReadFlags(pty.Master, before), 0);
  ASSERT_NE(before.LFlag & ICANON, 0u);  // a fresh pty is a cooked terminal
  TComPort line;
  line.SetPort(pty.SlavePath);
  line.Open();
  TTermiosFlags during;
  ASSERT_EQ(TermiosReadFlags(pty.Master, during), 0);
  EXPECT_EQ(during.LFlag & ICANON, 0u);
  line.Close();
  TTermiosFlags after;
  ASSERT_EQ(TermiosReadFlags(pty.Master, after), 0);
  EXPECT_EQ(after.LFlag, before.LFlag);
  EXPECT_EQ(after.IFlag, before.IFlag);
  EXPECT_EQ(after.OSpeed, before.OSpeed);
  // Closed means closed: the next opener gets the device.
  TComPort next;
  next.SetPort(pty.SlavePath);
  EXPECT_NO_THROW(next.Open());
}

// The line through a TCP connection, on loopback against the simulator standing in for a
// serial-to-Ethernet gateway: the exchanges the serial line serves, the connection's own
// failures, the search and a page cycle. Real time with tolerance bands; the pauses between
// exchanges run on the fake clock.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "comm/ComPortTcp.h"
#include "models/BusScan.h"
#include "sim/PtyBus.h"
#include "support/PageRig.h"

#ifdef ORBIS_HAVE_LIBMODBUS
#include <modbus.h>
#endif

namespace {

double MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

std::string LoopbackName(int port) { return "tcp://127.0.0.1:" + std::to_string(port); }

// The read time-out of a register's Modbus read at the line's time-outs.
int ReadTimeoutMs(const TCustomComPort& line, const TprDevReg& reg) {
  const TComTimeouts& t = line.Timeouts();
  return t.ReadTotalMultiplier * reg.ModbusRead.ReplyLength + t.ReadTotalConstant;
}

// A KAPPA-01 at address 5 behind the gateway stand-in, its serial side at 9600 baud: every
// reply byte leaves in a TCP segment of its own.
struct TcpLine : ::testing::Test {
  TPageRig rig{1};
  TPtyBus gateway{rig.Bus};

  void SetUp() override {
    gateway.TcpBaud = 9600;
    std::string error;
    ASSERT_TRUE(gateway.StartTcp("127.0.0.1", 0, &error)) << error;
    rig.UseLine(std::make_unique<TComPort>(), LoopbackName(gateway.TcpPort()));
  }
  void SetFault(TSimFault fault) {
    std::lock_guard<std::mutex> lock(rig.Bus->Mutex());
    rig.Module->Fault = fault;
  }
};

TEST_F(TcpLine, ReadsAndWritesOverBothProtocolsFromRepliesInManySegments) {
  TprDevReg* name = rig.Model->MNAME;
  for (uint8_t protocol : {ptModbus, ptVela}) {
    rig.Port.SetProtocol(protocol);
    rig.Port.ApplySettings();
    const std::string text = protocol == ptVela ? "Line 3 pumps" : "Boiler house";
    ASSERT_TRUE(rig.Model->WriteRegister(name, text));
    name->ValueText.clear();
    ASSERT_TRUE(rig.Model->ReadRegister(name));
    EXPECT_EQ(name->ValueText, text);
    std::lock_guard<std::mutex> lock(rig.Bus->Mutex());
    EXPECT_EQ(rig.Module->Text("MNAME"), text);
  }
}

TEST_F(TcpLine, ASilentModuleFailsTheReadAfterTheTimeOutWithTheNetworkAllowance) {
  // The same port on a serial device: its automatic time-out lacks just the allowance.
  TComPort serialLine;
  TprPort serial;
  serial.SetComPort(&serialLine);
  serial.SetPortName("/dev/ttyUSB0");
  serial.ApplySettings();
  const TComTimeouts& s = serialLine.Timeouts();
  const TComTimeouts& t = rig.Line->Timeouts();
  const int allowance = rig.Port.NetworkAllowance();
  EXPECT_EQ(allowance, kDefaultNetworkAllowanceMs);
  EXPECT_EQ(t.ReadTotalConstant, s.ReadTotalConstant + allowance);
  EXPECT_EQ(t.ReadInterval, s.ReadInterval + allowance);

  SetFault({TSimFaultKind::Silence, 0, -1});
  TprDevReg* days = rig.Model->DAYS;
  const double start = MonotonicMs();
  EXPECT_FALSE(rig.Model->ReadRegister(days));
  const double elapsed = MonotonicMs() - start;
  EXPECT_GT(elapsed, ReadTimeoutMs(*rig.Line, *days) - 1.0);
  EXPECT_LT(elapsed, ReadTimeoutMs(*rig.Line, *days) + 150.0);
}

// Modbus RTU carries no transaction number: a reply coming after its time-out must not be
// taken for the answer to the next request, which it would pass every check of.
TEST_F(TcpLine, ALateReplyIsNeverTakenForTheNextRequestsAnswer) {
  {
    std::lock_guard<std::mutex> lock(rig.Bus->Mutex());
    rig.Module->SetInt("DAYS", 777);
    rig.Module->SetInt("RSTSTATUS", 0);
  }
  TprDevReg* days = rig.Model->DAYS;
  TprDevReg* restart = rig.Model->RSTSTATUS;
  SetFault({TSimFaultKind::Late, ReadTimeoutMs(*rig.Line, *days) + 30, 1});
  EXPECT_FALSE(rig.Model->ReadRegister(days));
  EXPECT_TRUE(rig.Model->ReadRegister(restart));
  EXPECT_EQ(restart->ValueText, "0");
}

TEST_F(TcpLine, AGatewayDroppingMidReplyIsALineErrorUntilTheLineIsOpenedAgain) {
  {
    std::lock_guard<std::mutex> lock(rig.Bus->Mutex());
    gateway.DropAfterReplyBytes = 3;
  }
  TprDevReg* days = rig.Model->DAYS;
  // The bytes that came before the loss are no whole reply; the loss shows as a line error,
  // in this read or the next (watching for the rest of a reply may meet it first).
  bool lost = false;
  for (int i = 0; i < 2 && !lost; ++i) {
    try {
      EXPECT_FALSE(rig.Model->ReadRegister(days));
    } catch (const EComPort& e) {
      lost = true;
      EXPECT_NE(e.Hint.find(TcpPortLabel(rig.Port.PortName())), std::string::npos) << e.Hint;
    }
  }
  EXPECT_TRUE(lost) << "a lost connection reads as a silent module";
  // Selecting the node again closes and opens the line: a new connection.
  rig.Line->Close();
  rig.Line->Open();
  EXPECT_TRUE(rig.Model->ReadRegister(days));
}

TEST_F(TcpLine, TheSearchFindsEveryModuleBehindTheGateway) {
  {
    std::lock_guard<std::mutex> lock(rig.Bus->Mutex());
    rig.Bus->AddModel(2, 2);
    rig.Bus->AddModel(0, 7);
  }
  std::vector<std::pair<int, int>> found;
  ScanBus(rig.Port, 1, 8, nullptr,
          [&](const TScanHit& hit) { found.emplace_back(hit.Address, hit.ModelIndex); });
  EXPECT_EQ(found, (std::vector<std::pair<int, int>>{{2, 2}, {5, 1}, {7, 0}}));
}

TEST(TcpLinePage, ACycleShowsOverTheGatewayWhatItShowsOnTheSerialLine) {
  TPageRig rig(1);
  rig.Page->FormShow();
  rig.Ticks(2);
  const std::vector<std::string> serial = rig.LiveLooking(0);
  rig.Page->FormHide();
  ASSERT_FALSE(serial.empty());

  TPtyBus gateway(rig.Bus);
  std::string error;
  ASSERT_TRUE(gateway.StartTcp("127.0.0.1", 0, &error)) << error;
  rig.UseLine(std::make_unique<TComPort>(), LoopbackName(gateway.TcpPort()));
  rig.Page->FormShow();
  rig.Ticks(2);
  EXPECT_EQ(rig.LiveLooking(0), serial);
  EXPECT_EQ(rig.Ui.Dialogs, 0);
  rig.Page->FormHide();
}

TEST(TcpLineOpen, ARefusedOrUnansweredConnectionLeavesTheLineClosed) {
  const auto loopbackSocket = [](int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
      ADD_FAILURE() << "no loopback socket: " << errno;
    port = ntohs(a.sin_port);
    return fd;
  };
  // Bound but not listening: the connection is refused.
  int refusedPort = 0;
  const int refused = loopbackSocket(refusedPort);
  // A listener whose queue of one is taken: the kernel drops the next SYN, so that connect
  // is never answered.
  int fullPort = 0;
  const int full = loopbackSocket(fullPort);
  ASSERT_EQ(listen(full, 0), 0);
  int filler = 0;
  const int queued = loopbackSocket(filler);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(uint16_t(fullPort));
  ASSERT_EQ(connect(queued, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);

  constexpr int kConnectMs = 150;
  const struct {
    std::string Name;
    int Errno;
    double AtLeastMs, AtMostMs;
  } cases[] = {
      {LoopbackName(refusedPort), ECONNREFUSED, 0, 100},
      {LoopbackName(fullPort), ETIMEDOUT, kConnectMs - 1, kConnectMs + 500},
      {"tcp://127.0.0.1", EINVAL, 0, 100},
      {"tcp://::1:502", EINVAL, 0, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TComPort line(MakeTcpBackend(kConnectMs));
    line.SetPort(c.Name);
    const double start = MonotonicMs();
    try {
      line.Open();
      ADD_FAILURE() << "opened";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.Code, CError_OpenFailed);
      EXPECT_EQ(e.WinCode, c.Errno);
      EXPECT_NE(e.Hint.find(TcpPortLabel(c.Name)), std::string::npos) << e.Hint;
    }
    const double elapsed = MonotonicMs() - start;
    EXPECT_GE(elapsed, c.AtLeastMs);
    EXPECT_LE(elapsed, c.AtMostMs);
    EXPECT_FALSE(line.Connected());
  }
  for (int fd : {refused, full, queued}) close(fd);
}

TEST(TcpLineName, HostAndPortAreTakenApartAsTheUserWroteThem) {
  const struct {
    const char* Name;
    bool Valid;
    const char* Host;
    int Port;
  } cases[] = {
      {"tcp://10.0.0.5:4001", true, "10.0.0.5", 4001},
      {"TCP://gw-3.plant.example:502", true, "gw-3.plant.example", 502},
      {"tcp://[fe80::1]:4001", true, "fe80::1", 4001},
      {"tcp://fe80::1:4001", false, "", 0},
      {"tcp://10.0.0.5", false, "", 0},
      {"tcp://10.0.0.5:0", false, "", 0},
      {"tcp://10.0.0.5:65536", false, "", 0},
      {"tcp://:4001", false, "", 0},
      {"/dev/ttyUSB0", false, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::string host;
    int port = 0;
    ASSERT_EQ(ParseTcpPortName(c.Name, host, port), c.Valid);
    if (!c.Valid) continue;
    EXPECT_EQ(host, c.Host);
    EXPECT_EQ(port, c.Port);
    // What the user types into the dialog comes back as the same name.
    EXPECT_EQ(ParseTcpPortName(MakeTcpPortName(" " + host + " ", port), host, port), true);
    EXPECT_EQ(host, c.Host);
  }
}

#ifdef ORBIS_HAVE_LIBMODBUS
// A Modbus TCP gateway played by libmodbus, an independent implementation: the module at unit 5
// is found by the probe and read like one on a serial line; Vela is refused.
TEST(TcpLineModbusTcp, LibmodbusServesTheProbeAndARegisterAndVelaIsRefused) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
  modbus_mapping_t* map = modbus_mapping_new(0, 0, 512, 0);
  const int server = modbus_tcp_listen(ctx, 1);
  ASSERT_GE(server, 0);
  sockaddr_in bound{};
  socklen_t size = sizeof bound;
  getsockname(server, reinterpret_cast<sockaddr*>(&bound), &size);
  map->tab_registers[256] = 201;  // KAPPA-01
  map->tab_registers[25] = 777;   // DAYS
  std::thread peer([&] {
    int client = server;
    if (modbus_tcp_accept(ctx, &client) < 0) return;
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (int rc; (rc = modbus_receive(ctx, query)) > 0;) modbus_reply(ctx, query, rc, map);
  });

  TFakeClock clock;
  TClockGuard guard(&clock);
  TComPort line;
  TprPort port;
  port.SetComPort(&line);
  port.SetPortName("modbustcp://127.0.0.1:" + std::to_string(ntohs(bound.sin_port)));
  port.ApplySettings();
  line.Open();
  TScanHit hit;
  EXPECT_TRUE(ProbeAddress(port, 5, hit));
  EXPECT_EQ(hit.ModelIndex, 1);
  std::unique_ptr<TprNode> device(CreateDevice(1, 5, &port));
  auto* kappa = dynamic_cast<TprModel*>(device.get());
  ASSERT_NE(kappa, nullptr);
  EXPECT_TRUE(kappa->ReadRegister(kappa->DAYS));
  EXPECT_EQ(kappa->DAYS->ValueText, "777");
  port.SetProtocol(ptVela);
  EXPECT_THROW(kappa->ReadRegister(kappa->DAYS), EComPort);
  line.Close();
  peer.join();
  modbus_close(ctx);
  modbus_mapping_free(map);
  modbus_free(ctx);
  close(server);
}
#endif

}  // namespace

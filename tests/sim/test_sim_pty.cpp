// The bus served on a pty: the program's own serial line and libmodbus as masters, the demo
// bus, pacing at the baud rate and a fault in real time. Real time with tolerance bands.
#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "comm/CPort.h"
#include "sim/DemoBus.h"
#include "sim/PtyBus.h"
#include "support/SimExchange.h"

#ifdef ORBIS_HAVE_LIBMODBUS
#include <modbus.h>
#endif

using namespace simtest;

namespace {

double MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

struct Pty : ::testing::Test {
  std::shared_ptr<TSimBus> bus = std::make_shared<TSimBus>();
  TSimModule* kappa = &bus->AddModel(1, 1);
  TSimModule* eta = &bus->AddModel(2, 2);
  TSimModule* rho = &bus->AddModel(4, 4);
  TPtyBus pty{bus};
  std::vector<std::unique_ptr<TprDevReg>> regs;

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(pty.Start(&error)) << error;
  }
  TprDevReg& Reg(int model, const char* name, uint8_t address) {
    for (const auto& d : RegisterMap(model))
      if (std::string(d.Name) == name) {
        regs.push_back(std::make_unique<TprDevReg>(nullptr, name));
        regs.back()->Setup(address, d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
        return *regs.back();
      }
    throw std::logic_error(name);
  }
  // The program's line, set up as the port node does at 9600 baud with automatic time-outs.
  std::unique_ptr<TComPort> OpenLine(TBaudRate rate = br9600, int interval = 17,
                                     int multiplier = 2, int constant = 66) {
    auto line = std::make_unique<TComPort>();
    line->SetPort(pty.DevicePath());
    line->SetBaudRate(rate);
    line->SetTimeouts({interval, multiplier, constant, 2, 200});
    line->Open();
    return line;
  }
};

TEST_F(Pty, TheProgramsLineReadsAndWritesOverBothProtocols) {
  auto line = OpenLine();
  TprDevReg& name = Reg(1, "MNAME", 1);
  ASSERT_TRUE(LineWriteVela(*line, name, "Line 3 pumps"));
  ASSERT_TRUE(LineReadModbus(*line, name));
  EXPECT_EQ(name.ValueText, "Line 3 pumps");
  TprDevReg& setpoint = Reg(4, "SETPOINTCH2", 4);
  ASSERT_TRUE(LineWriteModbus(*line, setpoint, "6.25"));
  ASSERT_TRUE(LineReadVela(*line, setpoint));
  EXPECT_EQ(setpoint.ValueText, "6.25000");
  std::lock_guard<std::mutex> lock(bus->Mutex());
  EXPECT_EQ(kappa->Text("MNAME"), "Line 3 pumps");
  EXPECT_DOUBLE_EQ(rho->Real("SETPOINTCH2"), 6.25);
}

TEST_F(Pty, RepliesArePacedAtTheBaudRateTheProgramSet) {
  TprDevReg& name = Reg(1, "MNAME", 1);  // 8 bytes out, 21 back
  auto timed = [&](TBaudRate rate) {
    auto line = OpenLine(rate);
    const double start = MonotonicMs();
    EXPECT_TRUE(LineReadModbus(*line, name));
    return MonotonicMs() - start;
  };
  const double slow = timed(br9600);  // 29 characters at 1.04 ms and the turnaround
  EXPECT_GT(slow, 28.0);
  EXPECT_LT(slow, 250.0);
  const double fast = timed(br115200);  // 2.5 ms on the wire
  EXPECT_LT(fast, slow - 15.0);
}

TEST_F(Pty, ALateReplyMissesTheReadTimeout) {
  {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    eta->Fault = {TSimFaultKind::Late, 250, 1};
  }
  auto line = OpenLine();
  TprDevReg& days = Reg(2, "DAYS", 2);
  const double start = MonotonicMs();
  EXPECT_FALSE(LineReadModbus(*line, days));
  const double elapsed = MonotonicMs() - start;
  EXPECT_GT(elapsed, 75.0);  // 2 x 7 + 66 ms
  EXPECT_LT(elapsed, 240.0);
}

TEST(DemoBus, ServesOneModuleOfEachModelAndAnUnknownOne) {
  std::string error;
  const std::string path = StartDemoBus(&error);
  ASSERT_FALSE(path.empty()) << error;
  EXPECT_EQ(StartDemoBus(), path);  // once per process
  TComPort line;
  line.SetPort(path);
  line.SetTimeouts({17, 2, 66, 2, 200});
  line.Open();
  const int expected[] = {201, 202, 203, 204, 205, 210};
  for (uint8_t address = 1; address <= 7; ++address) {
    TprDevReg probe(nullptr, "PROBE");
    probe.Setup(address, 1, 0, 256, 0, dtUInt8);
    const bool modbus = LineReadModbus(line, probe);
    const std::string viaModbus = probe.ValueText;
    const bool vela = LineReadVela(line, probe);
    if (address == 7) {
      EXPECT_FALSE(modbus || vela);
      continue;
    }
    ASSERT_TRUE(modbus && vela) << int(address);
    EXPECT_EQ(viaModbus, std::to_string(expected[address - 1]));
    EXPECT_EQ(probe.ValueText, viaModbus);
  }
  line.Close();
  StopDemoBus();
  EXPECT_NE(access(path.c_str(), F_OK), 0);  // the pty is gone
}

#ifdef ORBIS_HAVE_LIBMODBUS

struct Libmodbus : Pty {
  modbus_t* ctx = nullptr;
  void SetUp() override {
    Pty::SetUp();
    ctx = modbus_new_rtu(pty.DevicePath().c_str(), 19200, 'N', 8, 1);
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
  }
  void TearDown() override {
    if (ctx) {
      modbus_close(ctx);
      modbus_free(ctx);
    }
  }
};

TEST_F(Libmodbus, ReadsBlocksFloatsAndStringsTheSimulatorHolds) {
  {
    std::lock_guard<std::mutex> lock(bus->Mutex());
    kappa->SetText("MNAME", "Hall 2, line B");
    rho->SetReal("SETPOINTCH1", 13.375);
  }
  uint16_t regs[16] = {};
  modbus_set_slave(ctx, 1);
  // NETADDR, NETBDRT, MDBFMT, DCSFMT in one block.
  ASSERT_EQ(modbus_read_registers(ctx, 16, 4, regs), 4) << modbus_strerror(errno);
  EXPECT_EQ(regs[0], 1);
  EXPECT_EQ(regs[1], 6);
  EXPECT_EQ(regs[2], 0);
  EXPECT_EQ(regs[3], 0);
  // The name: 14 characters in 8 registers, the first of each pair in the low byte.
  ASSERT_EQ(modbus_read_registers(ctx, 36, 8, regs), 8) << modbus_strerror(errno);
  std::string text;
  for (int i = 0; i < 8; ++i) {
    text.push_back(char(regs[i] & 0xFF));
    text.push_back(char(regs[i] >> 8));
  }
  EXPECT_EQ(text.c_str(), std::string("Hall 2, line B"));

  modbus_set_slave(ctx, 4);
  ASSERT_EQ(modbus_read_registers(ctx, 263, 2, regs), 2) << modbus_strerror(errno);
  EXPECT_FLOAT_EQ(modbus_get_float_cdab(regs), 13.375f);  // low word first

  // An address nothing is declared at: exception 2.
  modbus_set_slave(ctx, 1);
  EXPECT_EQ(modbus_read_registers(ctx, 300, 1, regs), -1);
  EXPECT_EQ(errno, EMBXILADD);
}

TEST_F(Libmodbus, WritesBlocksFloatsAndStrings) {
  modbus_set_slave(ctx, 1);
  const uint16_t filters[4] = {0, 1, 2, 3};
  ASSERT_EQ(modbus_write_registers(ctx, 263, 4, filters), 4) << modbus_strerror(errno);
  modbus_set_slave(ctx, 4);
  // Debian's libmodbus 3.1.6 swaps the bytes of each word in modbus_set_float_cdab (its getter
  // is right), so the words are built by hand and checked with the getter.
  const float f = -2.5f;
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  const uint16_t value[2] = {uint16_t(bits & 0xFFFF), uint16_t(bits >> 16)};
  ASSERT_FLOAT_EQ(modbus_get_float_cdab(value), -2.5f);
  ASSERT_EQ(modbus_write_registers(ctx, 267, 2, value), 2) << modbus_strerror(errno);
  modbus_set_slave(ctx, 2);
  const uint16_t display[4] = {'E' | 'T' << 8, 'A' | '!' << 8, 0, 0};
  ASSERT_EQ(modbus_write_registers(ctx, 27, 4, display), 4) << modbus_strerror(errno);

  std::lock_guard<std::mutex> lock(bus->Mutex());
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(kappa->Int("FILTER" + std::to_string(i + 1)), uint32_t(i));
  EXPECT_DOUBLE_EQ(rho->Real("OUTPUTPUPCH1"), -2.5);
  EXPECT_EQ(eta->Text("DISPLAY"), "ETA!");
}

#endif

}  // namespace

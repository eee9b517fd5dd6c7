// Our Modbus master over the real serial line against libmodbus, an independent Modbus RTU
// implementation, acting as the slave on the other end of a pty bridge.
#ifdef ORBIS_HAVE_LIBMODBUS
#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "comm/Resources.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "support/PtyBridge.h"

namespace {

class ModbusSlave {
 public:
  explicit ModbusSlave(const std::string& path, int address) {
    Ctx = modbus_new_rtu(path.c_str(), 9600, 'N', 8, 2);
    modbus_set_slave(Ctx, address);
    if (modbus_connect(Ctx) != 0) throw std::runtime_error("libmodbus connect failed");
    modbus_set_indication_timeout(Ctx, 0, 50000);
    Map = modbus_mapping_new(0, 0, 1024, 0);
    Worker = std::thread([this] {
      uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
      while (!Stop) {
        const int rc = modbus_receive(Ctx, query);
        if (rc > 0) modbus_reply(Ctx, query, rc, Map);
      }
    });
  }
  ~ModbusSlave() {
    Stop = true;
    Worker.join();
    modbus_close(Ctx);
    modbus_mapping_free(Map);
    modbus_free(Ctx);
  }
  uint16_t* Registers() { return Map->tab_registers; }

 private:
  modbus_t* Ctx = nullptr;
  modbus_mapping_t* Map = nullptr;
  std::atomic<bool> Stop{false};
  std::thread Worker;
};

class ModbusInterop : public testing::Test {
 protected:
  void SetUp() override {
    Slave = std::make_unique<ModbusSlave>(Bridge.PathA(), 1);
    Line.SetPort(Bridge.PathB());
    Port.SetComPort(&Line);
    Port.SetPortName(Bridge.PathB());
    Port.ApplySettings();
    Line.Open();
    Eta.reset(static_cast<TprModel*>(CreateDevice(2, 1, &Port)));
  }

  TprDevReg& Reg(const char* name) {
    TprDevReg* r = Eta->FindRegister(name);
    EXPECT_NE(r, nullptr) << name;
    return *r;
  }

  TPtyBridge Bridge;
  std::unique_ptr<ModbusSlave> Slave;
  TComPort Line;
  TprPort Port;
  std::unique_ptr<TprModel> Eta;
};

}  // namespace

TEST_F(ModbusInterop, ReadsAgreeWithWhatTheSlaveHolds) {
  uint16_t* regs = Slave->Registers();
  regs[16] = 12;      // NETADDR
  regs[25] = 54321;   // DAYS
  const char name[14] = "ETA-03 bench";  // MNAME: first character of a pair in the low byte
  for (int i = 0; i < 7; ++i)
    regs[36 + i] = uint16_t(uint8_t(name[2 * i]) | uint8_t(name[2 * i + 1]) << 8);
  TprDevReg& input = Reg("ANALOGINPUT1");
  const int address = input.ModbusRead.Frame[2] << 8 | input.ModbusRead.Frame[3];
  // 12.5 is 0x41480000: the low word first, each word high byte first.
  regs[address] = 0x0000;
  regs[address + 1] = 0x4148;

  ASSERT_TRUE(Eta->ReadRegister(&Reg("NETADDR")));
  EXPECT_EQ(Reg("NETADDR").ValueText, "12");
  ASSERT_TRUE(Eta->ReadRegister(&Reg("DAYS")));
  EXPECT_EQ(Reg("DAYS").ValueText, "54321");
  ASSERT_TRUE(Eta->ReadRegister(&Reg("MNAME")));
  EXPECT_EQ(Reg("MNAME").ValueText, "ETA-03 bench");
  TFormatGuard point('.');
  ASSERT_TRUE(Eta->ReadRegister(&input));
  EXPECT_EQ(input.ValueText, "12.50000");
}

TEST_F(ModbusInterop, WritesLandInTheSlaveInItsOrder) {
  uint16_t* regs = Slave->Registers();
  ASSERT_TRUE(Eta->WriteRegister(&Reg("NETADDR"), "17"));
  EXPECT_EQ(regs[16], 17);
  ASSERT_TRUE(Eta->WriteRegister(&Reg("DAYS"), "65535"));
  EXPECT_EQ(regs[25], 65535);
  ASSERT_TRUE(Eta->WriteRegister(&Reg("MNAME"), "Pump 4"));
  char text[15] = {};
  for (int i = 0; i < 7; ++i) {
    text[2 * i] = char(regs[36 + i] & 0xFF);
    text[2 * i + 1] = char(regs[36 + i] >> 8);
  }
  EXPECT_STREQ(text, "Pump 4");
  TFormatGuard comma(',');
  TprDevReg& input = Reg("ANALOGINPUT1");
  ASSERT_TRUE(Eta->WriteRegister(&input, "-3,25"));
  const int address = input.ModbusWrite.Frame[2] << 8 | input.ModbusWrite.Frame[3];
  // -3.25 is 0xC0500000.
  EXPECT_EQ(regs[address], 0x0000);
  EXPECT_EQ(regs[address + 1], 0xC050);
}

TEST_F(ModbusInterop, AnAddressNobodyAnswersFailsAfterTheTimeout) {
  std::unique_ptr<TprModel> absent(static_cast<TprModel*>(CreateDevice(2, 9, &Port)));
  TprDevReg* days = absent->FindRegister("DAYS");
  ASSERT_NE(days, nullptr);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(absent->ReadRegister(days));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // 9600 baud: 2 ms per byte for 7 bytes plus 66 ms (the time-outs are computed before the
  // parity step adds the second stop bit), then the 10 ms pause; 1 ms for rounding.
  EXPECT_GE(elapsed, std::chrono::milliseconds(2 * 7 + 66 + 10 - 1));
  EXPECT_EQ(days->ValueText, "");
}
#endif

// One Modbus ReadRegister of a one-register value over a pty, against a responder that answers
// at once, beside libmodbus's modbus_read_registers for the same request on the same pty and
// responder. The 10 ms pause after a read is left out (a fake clock takes it). Ours runs twice:
// nobody listening to the exchange tap, and a listener copying every record as the terminal does.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/ExchangeTap.h"
#include "comm/prDevOps.h"
#include "comm/prPort.h"
#ifdef ORBIS_HAVE_LIBMODBUS
#include <modbus.h>
#endif

namespace {

using Clk = std::chrono::steady_clock;

// Answers every 8-byte function-3 request for one register with the value 0x1234.
class Responder {
 public:
  Responder() {
    char name[128];
    termios raw{};
    cfmakeraw(&raw);
    openpty(&Master, &Keep, name, &raw, nullptr);
    Path = name;
    Worker = std::thread([this] { Run(); });
  }
  ~Responder() {
    Stop = true;
    Worker.join();
    close(Master);
    close(Keep);
  }
  std::string Path;

 private:
  void Run() {
    std::vector<uint8_t> request;
    while (!Stop) {
      pollfd p{Master, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      uint8_t buffer[64];
      const ssize_t n = read(Master, buffer, sizeof buffer);
      if (n <= 0) continue;
      request.insert(request.end(), buffer, buffer + n);
      while (request.size() >= 8) {
        uint8_t reply[7] = {request[0], 0x03, 0x02, 0x12, 0x34, 0, 0};
        const uint16_t crc = Crc16(reply, 5, 0xFFFF);
        reply[5] = uint8_t(crc);
        reply[6] = uint8_t(crc >> 8);
        (void)!write(Master, reply, sizeof reply);
        request.erase(request.begin(), request.begin() + 8);
      }
    }
  }
  int Master = -1, Keep = -1;
  std::atomic<bool> Stop{false};
  std::thread Worker;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Our reads of the register, each one's time in microseconds; empty if one failed.
std::vector<double> OurReads(const std::string& path, int rounds) {
  TFakeClock fake;  // takes the 10 ms pause without waiting
  TClockGuard guard(&fake);
  std::vector<double> times;
  TComPort line;
  TprPort port;
  port.SetComPort(&line);
  port.SetPortName(path);
  port.SetBaudRate(115200);
  port.ApplySettings();
  line.Open();
  TprDevReg reg;
  reg.Setup(1, 0, 25, 25, 0, dtUInt16);
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = Clk::now();
    const bool ok = ReadRegister(port, reg);
    times.push_back(std::chrono::duration<double, std::micro>(Clk::now() - t0).count());
    if (!ok) return {};
  }
  line.Close();
  return times;
}

}  // namespace

int main() {
  constexpr int Rounds = 2000;
  Responder responder;
  std::vector<double> ours = OurReads(responder.Path, Rounds), observed, theirs;
  {
    // The terminal's way of listening: each record copied into a locked list.
    std::mutex lock;
    std::vector<TExchangeRecord> records;
    TTapListener listener([&](const TExchangeRecord& r) {
      std::lock_guard<std::mutex> hold(lock);
      records.push_back(r);
    });
    observed = OurReads(responder.Path, Rounds);
  }
  if (ours.empty() || observed.empty()) {
    std::printf("our read failed\n");
    return 1;
  }
#ifdef ORBIS_HAVE_LIBMODBUS
  modbus_t* ctx = modbus_new_rtu(responder.Path.c_str(), 115200, 'N', 8, 2);
  modbus_set_slave(ctx, 1);
  if (modbus_connect(ctx) != 0) {
    std::printf("libmodbus connect failed\n");
    return 1;
  }
  for (int i = 0; i < Rounds; ++i) {
    uint16_t value = 0;
    const auto t0 = Clk::now();
    const int rc = modbus_read_registers(ctx, 25, 1, &value);
    theirs.push_back(std::chrono::duration<double, std::micro>(Clk::now() - t0).count());
    if (rc != 1 || value != 0x1234) {
      std::printf("libmodbus read failed\n");
      return 1;
    }
  }
  modbus_close(ctx);
  modbus_free(ctx);
#endif
  std::printf("Modbus read of one register over a pty, %d rounds\n", Rounds);
  std::printf("  ours:      median %.1f us\n", Median(ours));
  std::printf("  ours, tap observed: median %.1f us\n", Median(observed));
  if (!theirs.empty()) {
    std::printf("  libmodbus: median %.1f us\n", Median(theirs));
    std::printf("  ratio ours/libmodbus: %.3f (target <= 1.0)\n", Median(ours) / Median(theirs));
    std::printf("  ratio ours with the tap observed/libmodbus: %.3f\n", Median(observed) / Median(theirs));
  }
  return 0;
}

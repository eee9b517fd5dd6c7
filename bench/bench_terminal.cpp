// The terminal's list under a million exchanges: the time to take each one in and the memory
// its bounded history holds once full (resident set growth, read from /proc/self/statm).
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "app/TerminalModel.h"
#include "comm/prPort.h"

namespace {

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A page's read of a 16-bit register, answered.
TExchangeRecord TypicalExchange(uint64_t n) {
  TExchangeRecord r;
  r.Number = n;
  r.Port = "/dev/ttyUSB0";
  r.Protocol = ptModbus;
  r.Address = 1 + int(n % 5);
  r.Request = {uint8_t(r.Address), 0x03, 0x00, 0x1A, 0x00, 0x01, 0xA5, 0xCD};
  r.Reply = {uint8_t(r.Address), 0x03, 0x02, 0x00, 0x00, 0xB8, 0x44};
  r.ExpectedLength = 7;
  r.Outcome = TExchangeOutcome::Answered;
  r.FirstByteMs = 2.1;
  r.LastByteMs = 9.4;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  constexpr int Total = 1'000'000;
  TTerminalModel model;
  const double before = ResidentMb();
  const auto t0 = std::chrono::steady_clock::now();
  double full = 0;
  for (int i = 0; i < Total; ++i) {
    model.Append(TypicalExchange(uint64_t(i + 1)), 1);
    if (size_t(i + 1) == model.Capacity()) full = ResidentMb();
  }
  const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  std::printf("Terminal list, %d exchanges into a history of %zu\n", Total, model.Capacity());
  std::printf("  per exchange: %.2f us\n", us / Total);
  std::printf("  memory when full: %.1f MB (%.0f bytes an exchange)\n", full - before,
              (full - before) * 1024 * 1024 / double(model.Capacity()));
  std::printf("  memory after all: %.1f MB; rows %d\n", ResidentMb() - before, model.rowCount());
  return 0;
}

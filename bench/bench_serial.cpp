// Timing of the termios line on a pty: how fast a complete reply is handed over, how late a
// silent read returns, and what waiting costs in CPU time. Printed, not asserted.
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "comm/CPort.h"
#include "../tests/support/PtyPair.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Stats {
  double min, median, p99, max;
};

Stats Summarise(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v.front(), v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

void SetReadTimeouts(TComPort& line, int interval, int multiplier, int constant) {
  TComTimeouts t = line.Timeouts();
  t.ReadInterval = interval;
  t.ReadTotalMultiplier = multiplier;
  t.ReadTotalConstant = constant;
  line.SetTimeouts(t);
}

// (a) A peer that answers each 8-byte request at once with a 38-byte reply; the time from
// the peer's writing of its last byte to the return of the read that got all 38.
void HandOver(TPtyPair& pty, TComPort& line, int rounds) {
  SetReadTimeouts(line, 17, 2, 66);
  std::atomic<int64_t> replySent{0};
  std::atomic<bool> stop{false};
  std::thread peer([&] {
    std::vector<uint8_t> reply(38, 0x5A);
    uint8_t buf[64];
    size_t have = 0;
    while (!stop) {
      pollfd p{pty.Master, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      ssize_t n = ::read(pty.Master, buf, sizeof buf);
      if (n <= 0) break;
      have += size_t(n);
      if (have < 8) continue;
      have = 0;
      // Stamped just before the write: the figure includes the peer's own write call.
      replySent = Clock::now().time_since_epoch().count();
      pty.Send(reply);
    }
  });
  std::vector<double> latency;
  uint8_t request[8] = {1, 3, 0, 0, 0, 17, 0, 0}, reply[38];
  int incomplete = 0;
  for (int i = 0; i < rounds; ++i) {
    line.ClearBuffer(true, true);
    line.Write(request, 8);
    int got = line.Read(reply, 38);
    auto done = Clock::now().time_since_epoch().count();
    if (got != 38) {
      ++incomplete;
      continue;
    }
    latency.push_back(Ms(Clock::duration(done - replySent.load())));
  }
  stop = true;
  peer.join();
  Stats s = Summarise(latency);
  std::printf("(a) complete reply handed over: median %.3f ms, p99 %.3f ms, max %.3f ms "
              "(%d exchanges, %d incomplete; target median < 0.5 ms)\n",
              s.median, s.p99, s.max, rounds, incomplete);
}

// (b) and (c): how late silent reads return, and the CPU they use while they wait.
void SilentReads(TComPort& line, int constant, int rounds, bool reportCpu) {
  SetReadTimeouts(line, 0, 0, constant);
  std::vector<double> late;
  uint8_t buf[38];
  double cpu0 = CpuSeconds();
  auto wall0 = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    auto t0 = Clock::now();
    int got = line.Read(buf, 38);
    late.push_back(Ms(Clock::now() - t0) - constant);
    if (got != 0) std::printf("    unexpected %d bytes on a silent line\n", got);
  }
  double wall = Ms(Clock::now() - wall0) / 1000.0;
  double cpu = CpuSeconds() - cpu0;
  Stats s = Summarise(late);
  std::printf("(b) silent %d ms read, %d times: late by min %.3f, median %.3f, p99 %.3f, "
              "max %.3f ms (target median < 2 ms, never early)\n",
              constant, rounds, s.min, s.median, s.p99, s.max);
  if (reportCpu)
    std::printf("(c) CPU during %d silent reads: %.4f s of %.2f s wall = %.3f%% (target < 1%%)\n",
                rounds, cpu, wall, 100.0 * cpu / wall);
}

}  // namespace

int main() {
  TPtyPair pty;
  TComPort line;
  line.SetPort(pty.SlavePath);
  line.Open();
  HandOver(pty, line, 3000);
  SilentReads(line, 66, 100, true);
  SilentReads(line, 500, 20, false);
  return 0;
}

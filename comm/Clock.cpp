#include "comm/Clock.h"

#include <time.h>

#include <cerrno>

namespace {

class TSystemClock : public TClock {
 public:
  int64_t NowMs() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
  }
  void Sleep(int ms) override {
    if (ms <= 0) return;
    timespec ts{ms / 1000, long(ms % 1000) * 1000000L};
    // Sleep the whole time even when a signal interrupts us.
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
  }
};

TSystemClock SystemClockInstance;
TClock* Current = &SystemClockInstance;

}  // namespace

TClock& Clock() { return *Current; }

TClock* SetClock(TClock* clock) {
  TClock* previous = Current;
  Current = clock ? clock : &SystemClockInstance;
  return previous;
}

void TFakeClock::Sleep(int ms) {
  ++SleepCount;
  LastSleepMs = ms;
  if (ms > 0) {
    TotalSleptMs += ms;
    Now += ms;
  }
  if (OnSleep) OnSleep(ms);
}

#pragma once
// Every pause and every page timer of the program goes through this clock, so that tests can
// run a fake one: the pauses are then recorded and the time advanced without waiting.
#include <cstdint>
#include <functional>

class TClock {
 public:
  virtual ~TClock() = default;
  // Milliseconds on a monotonic scale.
  virtual int64_t NowMs() = 0;
  // Blocks the calling thread for ms milliseconds (the fake clock only advances its time).
  virtual void Sleep(int ms) = 0;
};

// The clock in use; the real monotonic clock unless a test installed another one.
TClock& Clock();
// Installs a clock (nullptr restores the real one). Returns the previous one.
TClock* SetClock(TClock* clock);

// A fake clock for tests: Sleep advances the time and records each pause.
class TFakeClock : public TClock {
 public:
  int64_t NowMs() override { return Now; }
  void Sleep(int ms) override;
  void Advance(int64_t ms) { Now += ms; }

  int64_t Now = 0;
  int64_t SleepCount = 0;
  int64_t TotalSleptMs = 0;
  int LastSleepMs = -1;
  // Runs after each pause has been taken (a test changes the world while the program waits).
  std::function<void(int ms)> OnSleep;
};

// Installs a clock for the lifetime of the guard.
class TClockGuard {
 public:
  explicit TClockGuard(TClock* clock) : Previous(SetClock(clock)) {}
  ~TClockGuard() { SetClock(Previous); }
  TClockGuard(const TClockGuard&) = delete;
  TClockGuard& operator=(const TClockGuard&) = delete;

 private:
  TClock* Previous;
};

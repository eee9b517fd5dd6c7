#pragma once
// Deadlines of the line backends: nanoseconds on the monotonic clock, which no change of the
// wall clock moves.
#include <time.h>

#include <cstdint>

using TNanos = int64_t;
constexpr TNanos kMs = 1'000'000;

inline TNanos MonotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return TNanos(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

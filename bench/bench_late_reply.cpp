// A module that answers late, and one that does not answer, on the tab "Общие" of a KAPPA-01
// page, on the in-memory bus with the fake clock (line time, not machine time), for both
// protocols at 115200 and 9600 baud:
//  - per lateness (1.1 to 17 times the longest read time-out of the page, and 1000 ms), how
//    many of the values shown over 50 cycles were another read's reply (every reply is later
//    than its own time-out, so every value shown is a wrong one);
//  - the same for a manual time-out of 10 ms and a module that answers after 30 ms;
//  - the polling period of a silent module and the part of it spent waiting for a quiet line
//    before a request (what the late-reply guard costs), and of a module that answers in time
//    (whose values are all true: the last row of each block).
#include <cmath>
#include <cstdio>
#include <string>

#include "tests/support/PageRig.h"

namespace {

struct TRun {
  double PeriodMs = 0;   // mean time between cycle starts
  double GuardMs = 0;    // mean guard wait per cycle
  int WrongValues = 0;   // values shown over all cycles
  int WrongCycles = 0;   // cycles that showed at least one
};

constexpr int kCycles = 50;

TRun Poll(uint8_t protocol, int32_t baud, int32_t timeoutMs, TSimFault fault) {
  TPageRig rig(1);
  rig.Port.SetProtocol(protocol);
  rig.Port.SetBaudRate(baud);
  rig.Port.SetTimeout(timeoutMs);
  rig.Port.ApplySettings();
  rig.Module->Fault = fault;
  rig.Page->FormShow();
  rig.Ticks(3);  // settle into the steady pattern
  TRun run;
  const int64_t start = rig.Clock.Now;
  const int64_t guardStart = rig.Port.GuardWaitedMs;
  for (int i = 0; i < kCycles; ++i) {
    rig.Ticks();
    const int shown = int(rig.LiveLooking(0).size());
    run.WrongValues += shown;
    run.WrongCycles += shown > 0;
  }
  // Up to the start of the next cycle.
  const int64_t end = rig.Page->MainTimer.DueAtMs();
  run.PeriodMs = double(end - start) / kCycles;
  run.GuardMs = double(rig.Port.GuardWaitedMs - guardStart) / kCycles;
  rig.Page->FormHide();
  return run;
}

// A reply `lateMs` after the end of its request (the module's turnaround included).
TSimFault LateBy(int lateMs, const TPageRig& rig) {
  return TSimFault{TSimFaultKind::Late, lateMs - int(rig.Bus->TurnaroundMs), -1};
}

void Row(const char* what, const TRun& r) {
  std::printf("| %-26s | %3d in %2d of %d cycles | %5.0f ms | %4.0f ms |\n", what, r.WrongValues,
              r.WrongCycles, kCycles, r.PeriodMs, r.GuardMs);
}

}  // namespace

int main() {
  RegisterPageClasses();
  std::printf("| Case | Values shown | Period | Guard wait |\n|---|---|---|---|\n");
  for (uint8_t protocol : {ptModbus, ptVela}) {
    const char* name = protocol == ptVela ? "Vela" : "Modbus";
    for (int32_t baud : {115200, 9600}) {
      TPageRig probe(1);
      probe.Port.SetProtocol(protocol);
      probe.Port.SetBaudRate(baud);
      probe.Port.ApplySettings();
      const auto [shortest, longest] = probe.ReadTimeoutRange();
      std::printf("| **%s %d** (read time-outs %d to %d ms) | | | |\n", name, baud, shortest,
                  longest);
      char what[64];
      for (double factor : {1.1, 1.5, 2.0, 3.0, 5.0, 10.0, 17.0}) {
        const int late = int(std::lround(factor * longest));
        std::snprintf(what, sizeof what, "%.1fx: %d ms late", factor, late);
        Row(what, Poll(protocol, baud, 0, LateBy(late, probe)));
      }
      Row("1000 ms late", Poll(protocol, baud, 0, LateBy(1000, probe)));
      Row("time-out 10 ms, answer 30 ms", Poll(protocol, baud, 10, LateBy(30, probe)));
      Row("silent module", Poll(protocol, baud, 0, TSimFault{TSimFaultKind::Silence, 0, -1}));
      Row("module answering in time", Poll(protocol, baud, 0, TSimFault{}));
    }
  }
  return 0;
}

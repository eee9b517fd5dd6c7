// A module that answers late, and one that does not answer, on the tab "Общие" of a KAPPA-01
// page, on the in-memory bus with the fake clock (line time, not machine time):
//  - per lateness, how many of the values shown over 50 cycles were another read's reply
//    (every reply is later than its own time-out, so every value shown is a wrong one);
//  - for a silent module, the polling period and the part of it spent waiting for a quiet
//    line before a request (what the late-reply guard costs).
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

TRun Poll(uint8_t protocol, int32_t baud, TSimFault fault, int cycles) {
  TPageRig rig(1);
  rig.Port.SetProtocol(protocol);
  rig.Port.SetBaudRate(baud);
  rig.Port.ApplySettings();
  rig.Module->Fault = fault;
  rig.Page->FormShow();
  rig.Ticks(3);  // settle into the steady pattern
  TRun run;
  const int64_t start = rig.Clock.Now;
  const int64_t guardStart = rig.Port.GuardWaitedMs;
  for (int i = 0; i < cycles; ++i) {
    rig.Ticks();
    const int shown = int(rig.LiveLooking(0).size());
    run.WrongValues += shown;
    run.WrongCycles += shown > 0;
  }
  // Up to the start of the next cycle.
  const int64_t end = rig.Page->MainTimer.DueAtMs();
  run.PeriodMs = double(end - start) / cycles;
  run.GuardMs = double(rig.Port.GuardWaitedMs - guardStart) / cycles;
  rig.Page->FormHide();
  return run;
}

}  // namespace

int main() {
  RegisterPageClasses();
  const int cycles = 50;
  for (uint8_t protocol : {ptModbus, ptVela}) {
    const char* name = protocol == ptVela ? "Vela" : "Modbus";
    for (int32_t baud : {115200, 9600}) {
      TPageRig probe(1);
      probe.Port.SetProtocol(protocol);
      probe.Port.SetBaudRate(baud);
      probe.Port.ApplySettings();
      const auto [shortest, longest] = probe.ReadTimeoutRange();
      std::printf("%s %d baud (read time-outs %d to %d ms):\n", name, baud, shortest, longest);
      for (int late : {longest + 1, 2 * shortest, 2 * shortest + 10, 3 * shortest, 300, 1000}) {
        // Lateness counts from the end of the request, the module's turnaround included.
        const int param = late - int(probe.Bus->TurnaroundMs);
        const TRun r = Poll(protocol, baud, TSimFault{TSimFaultKind::Late, param, -1}, cycles);
        std::printf("  %4d ms late: %3d wrong values in %2d of %d cycles; period %.0f ms,"
                    " guard %.0f ms of it\n",
                    late, r.WrongValues, r.WrongCycles, cycles, r.PeriodMs, r.GuardMs);
      }
      const TRun silent = Poll(protocol, baud, TSimFault{TSimFaultKind::Silence, 0, -1}, cycles);
      std::printf("  silent module: period %.0f ms, guard %.0f ms of it (%.0f %% longer than"
                  " without it)\n",
                  silent.PeriodMs, silent.GuardMs,
                  100.0 * silent.GuardMs / (silent.PeriodMs - silent.GuardMs));
    }
  }
  return 0;
}

// A full module search (addresses 1..247, Modbus, 115200 baud) from the port page over a pty
// served by the simulated bus, once with no module and once with the six demo modules. Prints
// the wall time beside the time the exchange rules prescribe (per address: the request's wire
// time, then the read total time-out for a silent address or the reply's wire time for a
// module, then the 30 ms pause), and the CPU time of the searching thread.
// With "tcp" the bus sits behind a gateway stand-in on loopback instead (tcp://, its serial
// side at 115200 baud), and the time-out carries the network allowance.
//   bench_search [vela] [tcp]
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "comm/CPort.h"
#include "comm/prNode.h"
#include "comm/prPort.h"
#include "pages/ModuleForm.h"
#include "shell/MainUnit.h"
#include "shell/PortUnit.h"
#include "sim/DemoBus.h"
#include "sim/PtyBus.h"
#include "sim/SimBus.h"

namespace {

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double ProcessCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

bool Scan(bool withModules, bool vela, bool tcp) {
  auto bus = std::make_shared<TSimBus>();
  if (withModules) {
    for (const TDemoModule& m : DemoBusModules()) bus->AddModel(m.ModelIndex, uint8_t(m.Address));
  }
  TPtyBus pty(bus);
  pty.TcpBaud = 115200;
  std::string error;
  if (!(tcp ? pty.StartTcp("127.0.0.1", 0, &error) : pty.Start(&error))) {
    std::fprintf(stderr, "bus: %s\n", error.c_str());
    return false;
  }

  TComPort line;
  TMainForm form(line);
  const std::string path =
      tcp ? "tcp://127.0.0.1:" + std::to_string(pty.TcpPort()) : pty.DevicePath();
  form.EnumPorts = [&](std::vector<std::string>& list) { list = {path}; };
  if (!form.FormShowFirst()) return false;
  TTreeNode* portNode = form.Root()->Children.at(0).get();
  form.Select(portNode);
  auto* page = dynamic_cast<TPortForm*>(portNode->Data->Page);
  auto* port = dynamic_cast<TprPort*>(portNode->Data);
  if (!page || !port) return false;
  page->cbProtocol->SetItemIndex(vela ? ptVela : ptModbus);
  page->cbProtocolChange();
  page->cbBaud->SetItemIndex(BaudRateIndex(115200));
  page->cbBaudChange();

  // What the rules prescribe, from the line's settings and time-outs as the search sets them.
  port->ApplySettings();
  const double c = port->CharTimeMs();
  const TComTimeouts& t = line.Timeouts();
  const int requestLength = vela ? 5 : 8, replyLength = 7;
  double prescribedMs = 0;
  for (int address = 1; address <= 247; ++address) {
    const bool answers = withModules && address <= ModelCount;
    prescribedMs += requestLength * c;
    prescribedMs += answers ? replyLength * c
                            : double(t.ReadTotalMultiplier) * replyLength + t.ReadTotalConstant;
    prescribedMs += 30;
  }

  const double cpu0 = ThreadCpuMs(), proc0 = ProcessCpuMs();
  const auto t0 = std::chrono::steady_clock::now();
  page->bbSearchClick();
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  const double cpuMs = ThreadCpuMs() - cpu0, procMs = ProcessCpuMs() - proc0;

  std::printf(
      "%-4s %-8s %-10s found %zu  wall %9.1f ms  prescribed %9.1f ms  ratio %.4f  "
      "CPU search thread %6.1f ms (%.2f%%)  whole process %6.1f ms (%.2f%%)\n",
      tcp ? "TCP" : "pty", vela ? "Vela" : "Modbus", withModules ? "every model and an unknown module" : "no module",
      portNode->Children.size(), wallMs, prescribedMs, wallMs / prescribedMs, cpuMs,
      100 * cpuMs / wallMs, procMs, 100 * procMs / wallMs);
  std::printf("         per address: char %.4f ms, read time-out %d x %d + %d ms; module turnaround "
              "%.1f ms (not prescribed)\n",
              c, t.ReadTotalMultiplier, replyLength, t.ReadTotalConstant, bus->TurnaroundMs);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool vela = false, tcp = false;
  for (int i = 1; i < argc; ++i) {
    vela = vela || std::strcmp(argv[i], "vela") == 0;
    tcp = tcp || std::strcmp(argv[i], "tcp") == 0;
  }
  RegisterPageClasses();
  bool ok = Scan(false, vela, tcp);
  ok = Scan(true, vela, tcp) && ok;
  return ok ? 0 : 1;
}

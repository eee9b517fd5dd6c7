// The polling cycle of the tab "Общие" of a KAPPA-01 page on the demo bus at 115200 baud,
// with the real clock and the program's own serial line: the period between cycle starts
// beside the sum of the cycle's 10 exchanges on the wire, 10 x 10 ms read pauses and the
// 100 ms timer interval. A second run uses a bus whose modules answer with no turnaround, to
// show what the page itself adds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/Clock.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
#include "sim/DemoBus.h"
#include "sim/PtyBus.h"

namespace {
using Clk = std::chrono::steady_clock;

double Ms(Clk::time_point a, Clk::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

void Run(const std::string& label, const std::string& path, double turnaroundMs) {
  TComPort line;
  line.SetPort(path);
  TprPort port;
  port.SetComPort(&line);
  port.SetProtocol(ptModbus);
  port.SetBaudRate("115200");
  line.Open();
  port.ApplySettings();

  RegisterModulePages();
  std::unique_ptr<TprNode> device(CreateDevice(1, 1, &port));
  auto* page = dynamic_cast<TModuleForm*>(CreatePage(device->PageClass, device.get()));
  if (!page) {
    std::printf("%s: no module page\n", label.c_str());
    return;
  }
  page->FormShow();

  // Wire time of one cycle: every request and its full reply at 10 bits per character.
  const double charMs = port.CharTimeMs();
  const TprModel* m = dynamic_cast<TprModel*>(device.get());
  double wire = 0;
  for (TprDevReg* r : {m->SECNS, m->MINTS, m->HOURS, m->MNAME, m->MVERSION, m->DAYS, m->NETWDT,
                       m->NWDTSTATUS, m->RSTSTATUS, m->SLFDGNS})
    wire += (r->ModbusRead.RequestLength + r->ModbusRead.ReplyLength) * charMs;
  const double target = wire + 10 * 10 + 100;

  // Runs the timer as the program's event loop does: sleep until the tick is due, then tick.
  const int cycles = 30;
  std::vector<double> periods;
  Clk::time_point last{};
  int failures = 0;
  for (int i = 0; i < cycles; ++i) {
    const int64_t wait = page->MainTimer.DueAtMs() - Clock().NowMs();
    if (wait > 0) Clock().Sleep(int(wait));
    const Clk::time_point start = Clk::now();
    page->MainTimer.Tick();
    if (page->edSelfDiag->Text() != "Нет ошибок") ++failures;
    if (i > 0) periods.push_back(Ms(last, start));
    last = start;
  }
  std::sort(periods.begin(), periods.end());
  const double median = periods[periods.size() / 2];
  std::printf("%-28s period median %.1f ms (min %.1f, max %.1f); wire %.1f + 100 + 100 = %.1f ms;"
              " ratio %.3f; module turnaround %.0f ms x 10 of it; failed cycles %d/%d\n",
              label.c_str(), median, periods.front(), periods.back(), wire, target,
              median / target, turnaroundMs, failures, cycles);
  page->FormHide();
}
}  // namespace

int main() {
  std::string error;
  const std::string demo = StartDemoBus(&error);
  if (demo.empty()) {
    std::printf("demo bus: %s\n", error.c_str());
    return 1;
  }
  Run("demo bus, 115200 baud:", demo, 2.0);
  StopDemoBus();

  auto bus = std::make_shared<TSimBus>();
  bus->TurnaroundMs = 0;
  bus->AddModel(1, 1);
  TPtyBus quick(bus);
  if (!quick.Start(&error)) {
    std::printf("pty bus: %s\n", error.c_str());
    return 1;
  }
  Run("no turnaround, 115200 baud:", quick.DevicePath(), 0.0);
  quick.Stop();
  return 0;
}

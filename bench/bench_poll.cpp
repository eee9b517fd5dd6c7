// The polling cycles of a KAPPA-01 page on the demo bus at 115200 baud, with the real clock
// and the program's own serial line, for the tabs "Общие" (10 reads), "Входы и выходы" (14)
// and "Счетчики" (20): the period between cycle starts beside the sum of the cycle's
// exchanges on the wire, 10 ms after each read and the 100 ms timer interval; the ratio also
// with the simulated modules' own turnaround added to that sum. A second run uses a bus whose
// modules answer with no turnaround, to show what the page itself adds.
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

struct TTab {
  int Index;
  const char* Caption;
  // A control that shows "Н/Д" (a field) or is grayed (a box) when its register was not read.
  const char* Witness;
  // What one cycle reads; COUNTER stands for COUNTER1..COUNTER16.
  std::vector<std::string> Reads;
};
const TTab kTabs[] = {
    {0, "Общие", "edSelfDiag",
     {"SECNS", "MINTS", "HOURS", "MNAME", "MVERSION", "DAYS", "NETWDT", "NWDTSTATUS", "RSTSTATUS", "SLFDGNS"}},
    {3, "Входы и выходы", "chbIn1",
     {"DIRECTION", "DIGINPUT", "INPUTLOGIC", "LHDIGINPUT", "LLDIGINPUT", "DIGOUTPUT", "PUPDIGOUTPUT",
      "SAFEDIGOUTPUT", "SAVOUTPUT", "FILTER1", "FILTER2", "FILTER3", "FILTER4", "OUTCONTROL"}},
    {4, "Счетчики", "edCounter1", {"COUNTER", "COUNTENABLE", "OVFFLAGS", "COUNTFRONT", "COUNTDIRECTION"}},
};

bool Failed(const TControl* witness) {
  if (const auto* field = dynamic_cast<const TEdit*>(witness)) return field->Text() == "Н/Д";
  const auto* box = dynamic_cast<const TCheckBox*>(witness);
  return !box || box->State() == TCheckState::Grayed;
}

void Run(const std::string& label, const std::string& path, double turnaroundMs, const TTab& tab) {
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
  page->pcMain->UserSelectTab(tab.Index);
  const TControl* witness = page->Controls.Find(tab.Witness);

  // Wire time of one cycle: every request and its full reply at 10 bits per character.
  const double charMs = port.CharTimeMs();
  const TprModel* m = dynamic_cast<TprModel*>(device.get());
  std::vector<const TprDevReg*> reads;
  for (const std::string& name : tab.Reads) {
    if (name != "COUNTER") reads.push_back(m->FindRegister(name));
    for (int i = 1; name == "COUNTER" && i <= 16; ++i) reads.push_back(m->FindRegister(name + std::to_string(i)));
  }
  double wire = 0;
  for (const TprDevReg* r : reads)
    wire += (r->ModbusRead.RequestLength + r->ModbusRead.ReplyLength) * charMs;
  const int n = int(reads.size());
  const double target = wire + 10.0 * n + 100;

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
    if (Failed(witness)) ++failures;
    if (i > 0) periods.push_back(Ms(last, start));
    last = start;
  }
  std::sort(periods.begin(), periods.end());
  const double median = periods[periods.size() / 2];
  std::printf("%-28s %-15s %2d reads: period median %.1f ms (min %.1f, max %.1f); wire %.1f + %d"
              " + 100 = %.1f ms; ratio %.3f; with the module turnaround %.0f ms x %d: %.3f;"
              " failed cycles %d/%d\n",
              label.c_str(), tab.Caption, n, median, periods.front(), periods.back(), wire, 10 * n,
              target, median / target, turnaroundMs, n, median / (target + turnaroundMs * n), failures,
              cycles);
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
  for (const TTab& tab : kTabs) Run("demo bus, 115200 baud:", demo, 2.0, tab);
  StopDemoBus();

  auto bus = std::make_shared<TSimBus>();
  bus->TurnaroundMs = 0;
  bus->AddModel(1, 1);
  TPtyBus quick(bus);
  if (!quick.Start(&error)) {
    std::printf("pty bus: %s\n", error.c_str());
    return 1;
  }
  for (const TTab& tab : kTabs) Run("no turnaround, 115200 baud:", quick.DevicePath(), 0.0, tab);
  quick.Stop();
  return 0;
}

// Polling cycles of module pages on the demo bus at 115200 baud, with the real clock and the
// program's own serial line: KAPPA-01 "Общие" (10 reads), "Входы и выходы" (14) and
// "Счетчики" (20), ETA-03 "Масштабирование" (33) and "Входы" (up to 28: fewer while channels
// are switched off or flagged), RHO-05 "Индикация" (11), "Выходы" (up to 7: an output is not
// read while its channel is off or shows a load fault) and "Параметры выходов" (11). Each prints
// the period between cycle starts beside the sum of the cycle's exchanges on the wire, 10 ms after
// each read and the 100 ms timer interval; the ratio also with the simulated modules' own
// turnaround added to that sum. A second run uses a bus whose modules answer with no turnaround, to
// show what the page itself adds; a third the demo modules behind a gateway stand-in on loopback
// (tcp://).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
#include "sim/DemoBus.h"
#include "sim/PtyBus.h"

namespace {
using Clk = std::chrono::steady_clock;
using TNames = std::vector<std::string>;

double Ms(Clk::time_point a, Clk::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

TNames Channels(const std::string& prefix, int n) {
  TNames names;
  for (int i = 1; i <= n; ++i) names.push_back(prefix + std::to_string(i));
  return names;
}

int32_t IntOf(const TprModel& m, const std::string& name) {
  int32_t v = 0;
  return TryStrToInt(m.FindRegister(name)->ValueText, v) ? v : 0;
}

// What a cycle of ETA-03 "Входы" has read, known from the values it read: the value of a
// channel only while it is measured and no flag applies.
TNames EtaInputReads(const TprModel& m) {
  TNames names = Channels("PRIOR", 8);
  for (const auto& name : Channels("INPTYPE", 8)) names.push_back(name);
  names.insert(names.end(), {"TCOD", "OVRD", "UNRD"});
  const int32_t flagged = IntOf(m, "TCOD") | IntOf(m, "OVRD") | IntOf(m, "UNRD");
  for (int ch = 1; ch <= 8; ++ch)
    if (IntOf(m, "PRIOR" + std::to_string(ch)) != 0 && !(flagged & (1 << (ch - 1))))
      names.push_back("ANALOGINPUT" + std::to_string(ch));
  names.push_back("CJT");
  return names;
}

TNames EtaScalingReads(const TprModel&) {
  TNames names{"MAPENABLE"};
  for (int ch = 1; ch <= 8; ++ch)
    for (const char* prefix : {"LBS", "HBS", "LBT", "HBT"}) names.push_back(prefix + std::to_string(ch));
  return names;
}

// What a cycle of RHO-05 "Выходы" has read: an output only while its channel is on and shows
// no load fault.
TNames RhoOutputReads(const TprModel& m) {
  TNames names{"OUTPUTDGNS", "OUTTYPE1", "OUTTYPE2"};
  const int32_t faults = IntOf(m, "OUTPUTDGNS");
  for (int ch = 1; ch <= 2; ++ch)
    if (IntOf(m, "OUTTYPE" + std::to_string(ch)) != 255 && !(faults & (0x5 << (4 * (ch - 1)))))
      names.push_back("OUTPUTCH" + std::to_string(ch));
  names.insert(names.end(), {"SETPOINTCH1", "SETPOINTCH2"});
  return names;
}

struct TTab {
  int Model, Address, Index;
  const char* Caption;
  // A control that shows "Н/Д" (a field) or is grayed (a box) when its register was not read.
  const char* Witness;
  // What the cycle just run has read.
  std::function<TNames(const TprModel&)> Reads;
};
const TTab kTabs[] = {
    {1, 1, 0, "KAPPA-01 Общие", "edSelfDiag",
     [](const TprModel&) {
       return TNames{"SECNS", "MINTS", "HOURS", "MNAME", "MVERSION", "DAYS", "NETWDT", "NWDTSTATUS", "RSTSTATUS",
                     "SLFDGNS"};
     }},
    {1, 1, 3, "KAPPA-01 Входы и выходы", "chbIn1",
     [](const TprModel&) {
       return TNames{"DIRECTION",     "DIGINPUT",  "INPUTLOGIC", "LHDIGINPUT", "LLDIGINPUT",
                     "DIGOUTPUT",     "PUPDIGOUTPUT", "SAFEDIGOUTPUT", "SAVOUTPUT", "FILTER1",
                     "FILTER2",       "FILTER3",   "FILTER4",    "OUTCONTROL"};
     }},
    {1, 1, 4, "KAPPA-01 Счетчики", "edCounter1",
     [](const TprModel&) {
       TNames names = Channels("COUNTER", 16);
       names.insert(names.end(), {"COUNTENABLE", "OVFFLAGS", "COUNTFRONT", "COUNTDIRECTION"});
       return names;
     }},
    {2, 2, 5, "ETA-03 Масштабирование", "edHMarginTarget8", EtaScalingReads},
    {2, 2, 3, "ETA-03 Входы", "edCoolJunction", EtaInputReads},
    {4, 4, 2, "RHO-05 Индикация", "edDisplay",
     [](const TprModel&) {
       TNames names{"ICON1", "ICON2", "ICON3", "GR1IND", "GR1INDFL", "GR1INDPH", "DISPLAY",
                    "TINDICATION", "CHINDICATION"};
       for (const auto& name : Channels("IFCH", 2)) names.push_back(name);
       return names;
     }},
    {4, 4, 3, "RHO-05 Выходы", "edSetPoint1", RhoOutputReads},
    {4, 4, 4, "RHO-05 Параметры выходов", "edPUP1",
     [](const TprModel&) {
       TNames names;
       for (const char* prefix : {"SLEWRATE", "OUTTYPE", "OUTPUTPUPCH", "OUTPUTSAFECH", "SAVEDOUTPUTCH"})
         for (const auto& name : Channels(prefix, 2)) names.push_back(name);
       names.push_back("OUTPUTCONTROL");
       return names;
     }},
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
  port.SetPortName(path);
  port.SetProtocol(ptModbus);
  port.SetBaudRate(115200);
  line.Open();
  port.ApplySettings();

  RegisterPageClasses();
  std::unique_ptr<TprNode> device(CreateDevice(tab.Model, uint8_t(tab.Address), &port));
  auto* page = dynamic_cast<TModuleForm*>(CreatePage(device->PageClass, device.get()));
  if (!page) {
    std::printf("%s: no module page\n", label.c_str());
    return;
  }
  page->FormShow();
  page->pcMain->UserSelectTab(tab.Index);
  const TControl* witness = page->Controls.Find(tab.Witness);
  const TprModel& m = *dynamic_cast<TprModel*>(device.get());
  const double charMs = port.CharTimeMs();

  // Runs the timer as the program's event loop does: sleep until the tick is due, then tick.
  // A period runs from one cycle's start to the next's, so it is set beside the sum of the
  // cycle it began with.
  const int cycles = 30;
  std::vector<double> periods, sums, ratios, turnaroundRatios;
  std::vector<int> counts;
  Clk::time_point last{};
  double sum = 0;
  int n = 0, failures = 0;
  for (int i = 0; i < cycles; ++i) {
    const int64_t wait = page->MainTimer.DueAtMs() - Clock().NowMs();
    if (wait > 0) Clock().Sleep(int(wait));
    const Clk::time_point start = Clk::now();
    if (i > 0) {
      const double period = Ms(last, start);
      periods.push_back(period);
      sums.push_back(sum);
      ratios.push_back(period / sum);
      turnaroundRatios.push_back(period / (sum + turnaroundMs * n));
    }
    page->MainTimer.Tick();
    if (Failed(witness)) ++failures;
    // Wire time of the cycle: every request and its full reply at 10 bits per character.
    const TNames reads = tab.Reads(m);
    double wire = 0;
    for (const std::string& name : reads) {
      const TprDevReg* r = m.FindRegister(name);
      wire += (r->ModbusRead.RequestLength + r->ModbusRead.ReplyLength) * charMs;
    }
    n = int(reads.size());
    sum = wire + 10.0 * n + 100;
    counts.push_back(n);
    last = start;
  }
  const auto [fewest, most] = std::minmax_element(counts.begin(), counts.end());
  std::printf("%-28s %-24s %2d..%2d reads: period median %.1f ms (min %.1f, max %.1f);"
              " prescribed sum median %.1f ms; ratio %.3f; with the module turnaround %.0f ms"
              " per read: %.3f; failed cycles %d/%d\n",
              label.c_str(), tab.Caption, *fewest, *most, Median(periods),
              *std::min_element(periods.begin(), periods.end()),
              *std::max_element(periods.begin(), periods.end()), Median(sums), Median(ratios),
              turnaroundMs, Median(turnaroundRatios), failures, cycles);
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
  bus->AddModel(2, 2);
  bus->AddModel(4, 4);
  TPtyBus quick(bus);
  if (!quick.Start(&error)) {
    std::printf("pty bus: %s\n", error.c_str());
    return 1;
  }
  for (const TTab& tab : kTabs) Run("no turnaround, 115200 baud:", quick.DevicePath(), 0.0, tab);
  quick.Stop();

  // The demo bus's modules behind a gateway stand-in on loopback, its serial side at 115200.
  auto behindGateway = std::make_shared<TSimBus>();
  for (int model : {1, 2, 4}) behindGateway->AddModel(model, uint8_t(model));
  TPtyBus gateway(behindGateway);
  gateway.TcpBaud = 115200;
  if (!gateway.StartTcp("127.0.0.1", 0, &error)) {
    std::printf("gateway: %s\n", error.c_str());
    return 1;
  }
  const std::string name = "tcp://127.0.0.1:" + std::to_string(gateway.TcpPort());
  for (const TTab& tab : kTabs) Run("gateway (TCP), 115200 baud:", name, 2.0, tab);
  return 0;
}

// The window's liveness while it talks to the line: the real main window (offscreen) on
// simulated modules served on a pseudo-terminal, with a 1 ms timer on the GUI thread. The
// longest gap between two of its ticks is the longest time the window could not have
// answered a click, a key or the desktop's probe. Cases: ETA-03 "Масштабирование" polling a
// silent module at 9600 baud and a healthy one at 115200; a write committed on a polling page;
// the module search over silent addresses (stopped after a few seconds); the RHO-05 output
// calibration wizard through its steps and its 1000 ms wait. Each case also prints the
// program's CPU time per second of the case and its resident memory.
// A quiet phase without the measuring timer follows on ETA-03 "Масштабирование" at 115200:
// the CPU of the program alone (the simulated bus's thread left out) and the polling period
// beside the sum of what the cycle prescribes: its requests and replies on the wire at 10 bits
// per character, 10 ms after each read, the modules' turnaround per read and the 100 ms timer
// interval.
#include <dirent.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/MainWindow.h"
#include "app/PageView.h"
#include "app/QtUi.h"
#include "app/RhoCalibrateDialog.h"
#include "app/SearchDialog.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
#include "pages/RhoUnit.h"
#include "shell/MainUnit.h"
#include "shell/PortUnit.h"
#include "sim/PtyBus.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The ids of this process's threads.
std::set<long> ThreadIds() {
  std::set<long> ids;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ids.insert(std::atol(entry->d_name));
    closedir(dir);
  }
  return ids;
}

// CPU time of one thread of this process, from the kernel's clock of that thread id.
double ThreadCpuSeconds(long tid) {
  // The clock id the kernel gives a thread's scheduler time (MAKE_THREAD_CPUCLOCK).
  const clockid_t id = clockid_t((~tid << 3) | 6);
  timespec ts{};
  if (clock_gettime(id, &ts) != 0) return 0;
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> kb;
      return kb;
    }
  }
  return 0;
}

// Runs the event loop for ms milliseconds with a 1 ms timer; act runs once after actAtMs.
// Prints the longest and the mean gap between ticks, CPU per second and resident memory.
void Measure(const char* label, int ms, int actAtMs = -1, const std::function<void()>& act = {}) {
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(1);
  QElapsedTimer clock;
  qint64 last = -1, longest = 0, ticks = 0;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    if (last >= 0) longest = std::max(longest, now - last);
    last = now;
    ++ticks;
  });
  if (act) QTimer::singleShot(actAtMs, act);
  const double cpu0 = CpuSeconds();
  clock.start();
  tick.start();
  QTimer end;
  end.setSingleShot(true);
  QEventLoop loop;
  QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
  end.start(ms);
  loop.exec();
  tick.stop();
  const double seconds = double(clock.nsecsElapsed()) / 1e9;
  std::printf("%-52s longest stall %7.1f ms, %6lld ticks in %.1f s, CPU %5.1f %%, RSS %ld kB\n",
              label, double(longest) / 1e6, ticks, seconds,
              100.0 * (CpuSeconds() - cpu0) / seconds, ResidentKb());
  std::fflush(stdout);
}

// The line worker where the program has one (built against an older tree, it has none).
template <class W>
void UseLineWorker(W& window) {
  if constexpr (requires { window.RunLineOnWorker(); }) window.RunLineOnWorker();
}

struct TBench {
  // One module of the model at the address (ETA-03 at 2 unless given).
  explicit TBench(bool silent, int model = 2, int address = 2)
      : Model(model), Address(address), Bus(std::make_shared<TSimBus>()), Pty(Bus) {
    TSimModule& module = Bus->AddModel(model, uint8_t(address));
    if (silent) module.Fault = TSimFault{TSimFaultKind::Silence, 0, -1};
    // Every request and reply on the line, with the time it was served.
    Pty.Log = [this](const std::string& line) {
      const std::lock_guard<std::mutex> lock(WireMutex);
      // "<- 02 03 ..." or "-> ...": three characters per byte.
      Wire.push_back({Elapsed.nsecsElapsed(), line.rfind("<-", 0) == 0, int((line.find("  (") == std::string::npos
                                                                                ? line.size()
                                                                                : line.find("  (")) - 2) / 3});
    };
    Elapsed.start();
    const std::set<long> before = ThreadIds();
    std::string error;
    if (!Pty.Start(&error)) std::printf("pty bus: %s\n", error.c_str());
    for (long tid : ThreadIds())
      if (!before.count(tid)) BusThreads.push_back(tid);
    Window = std::make_unique<TMainWindow>();
    UseLineWorker(*Window);
    TMainForm& logic = Window->Logic();
    logic.EnumPorts = [](std::vector<std::string>& list) { list.clear(); };
    logic.ExtraPorts = {Pty.DevicePath()};
    Window->show();
    Window->StartUp();
    PortNode = logic.Items().at(1);
  }
  ~TBench() {
    Window.reset();
    Pty.Stop();
  }
  TprPort* Port() const { return static_cast<TprPort*>(PortNode->Data); }
  // Selects the port and sets its rate, then selects the module and shows the tab.
  TModuleForm* ShowModule(int baud, int tab) {
    TMainForm& logic = Window->Logic();
    logic.Select(PortNode);
    if (auto* page = dynamic_cast<TPortForm*>(PortNode->Data->Page)) {
      page->cbBaud->SetItemIndex(BaudRateIndex(baud));
      page->cbBaudChange();
    }
    Settle(300);
    TTreeNode* module = logic.AddDevice(PortNode, Model, uint32_t(Address));
    logic.Select(module);
    auto* page = dynamic_cast<TModuleForm*>(module->Data->Page);
    if (page) page->pcMain->UserSelectTab(tab);
    return page;
  }
  static void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  }

  // CPU time of the simulated bus's own thread.
  double BusCpuSeconds() const {
    double sum = 0;
    for (long tid : BusThreads) sum += ThreadCpuSeconds(tid);
    return sum;
  }

  struct TFrame {
    qint64 AtNs;
    bool Request;
    int Bytes;
  };
  std::vector<TFrame> TakeWire() {
    const std::lock_guard<std::mutex> lock(WireMutex);
    return std::exchange(Wire, {});
  }

  const int Model, Address;
  QElapsedTimer Elapsed;
  std::mutex WireMutex;
  std::vector<TFrame> Wire;
  std::vector<long> BusThreads;
  std::shared_ptr<TSimBus> Bus;
  TPtyBus Pty;
  std::unique_ptr<TMainWindow> Window;
  TTreeNode* PortNode = nullptr;
};

constexpr int kScalingTab = 5;
constexpr int kRhoOutputsTab = 3;

// The page polls for ms milliseconds with no measuring timer. Prints the CPU of the program
// without the simulated bus (and of the whole process), and the median period between cycle
// starts beside what the cycle prescribes.
void Quiet(const char* label, TBench& bench, TModuleForm* page, int ms, int baud) {
  std::vector<qint64> starts;
  auto cycle = page->MainTimer.OnTimer;
  page->MainTimer.OnTimer = [&starts, &bench, cycle] {
    starts.push_back(bench.Elapsed.nsecsElapsed());
    cycle();
  };
  bench.TakeWire();
  const long gui = long(getpid());  // the main thread's id is the process id
  const double cpu0 = CpuSeconds(), bus0 = bench.BusCpuSeconds(), gui0 = ThreadCpuSeconds(gui);
  const qint64 from = bench.Elapsed.nsecsElapsed();
  TBench::Settle(ms);
  const double seconds = double(bench.Elapsed.nsecsElapsed() - from) / 1e9;
  const double cpu = CpuSeconds() - cpu0, bus = bench.BusCpuSeconds() - bus0;
  const double guiCpu = ThreadCpuSeconds(gui) - gui0;
  page->MainTimer.OnTimer = cycle;
  const std::vector<TBench::TFrame> wire = bench.TakeWire();

  const double charMs = 10.0 * 1000.0 / baud;
  const double turnaroundMs = bench.Bus->TurnaroundMs;
  std::vector<double> periods, ratios;
  int reads = 0;
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    double wireMs = 0;
    int requests = 0;
    for (const auto& frame : wire) {
      if (frame.AtNs < starts[i] || frame.AtNs >= starts[i + 1]) continue;
      wireMs += frame.Bytes * charMs;
      requests += frame.Request;
    }
    if (requests == 0) continue;
    reads = requests;
    const double period = double(starts[i + 1] - starts[i]) / 1e6;
    periods.push_back(period);
    ratios.push_back(period / (wireMs + requests * (10.0 + turnaroundMs) + 100.0));
  }
  std::printf("%-52s CPU of the program %5.2f %% (GUI thread %5.2f %%; whole process %5.2f %%,"
              " bus thread %5.2f %%); %zu cycles of %d reads, period median %.1f ms, ratio to the"
              " prescribed sum with the turnaround %.3f\n",
              label, 100.0 * (cpu - bus) / seconds, 100.0 * guiCpu / seconds, 100.0 * cpu / seconds,
              100.0 * bus / seconds, periods.size(), reads, Median(periods), Median(ratios));
  std::fflush(stdout);
}

// Plays the user of the calibration wizard once it is open: current output of channel 1,
// "Далее"; the value measured, "Далее" (the module computes its coefficient for 1000 ms);
// "Готово" on the result page. Prints the page the wizard ended on.
class TWizardUser {
 public:
  TWizardUser() {
    Timer.setInterval(20);
    QObject::connect(&Timer, &QTimer::timeout, [this] { Step(); });
    Timer.start();
  }
  ~TWizardUser() { std::printf("%-52s the wizard ended on page %d\n", "", EndPage); }

 private:
  void Step() {
    TRhoCalibrateDialog* wizard = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<TRhoCalibrateDialog*>(w); d && d->isVisible()) wizard = d;
    if (!wizard) return;
    const int page = wizard->pcWizard->currentIndex();
    if (page == Done) return;
    Done = page;
    if (page == 1) wizard->edValue->setText("20");
    if (page >= 2) EndPage = page;
    wizard->btForward->click();
  }
  QTimer Timer;
  int Done = -1;
  int EndPage = -1;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RegisterAppPageViews();
  TQtUiServices ui;
  SetUi(&ui);
  {
    TBench bench(true);
    bench.ShowModule(9600, kScalingTab);
    Measure("ETA-03 Масштабирование, module silent, 9600:", 6000);
  }
  {
    TBench bench(false);
    TModuleForm* page = bench.ShowModule(115200, kScalingTab);
    Measure("ETA-03 Масштабирование, healthy, 115200:", 6000);
    Quiet("ETA-03 Масштабирование, healthy, 115200, quiet:", bench, page, 10000, 115200);
    page->pcMain->UserSelectTab(0);
    Measure("ETA-03 Общие, a name committed, 115200:", 3000, 1000, [page] {
      page->edName->UserEdit("Насос");
      page->edName->UserKey(13);
    });
  }
  {
    TBench bench(true);
    bench.Window->Logic().Select(bench.PortNode);
    auto* page = dynamic_cast<TPortForm*>(bench.PortNode->Data->Page);
    // The search runs in its modal window; the Stop button after five seconds.
    QTimer::singleShot(5000, [] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<TSearchDialog*>(w); d && d->isVisible()) d->btStop->click();
    });
    Measure("search over silent addresses, 9600 (5 s):", 6000, 10, [page] { page->bbSearchClick(); });
  }
  {
    TBench bench(false, 4, 4);
    bench.Window->Logic().SetCalibrationEnabled(true);
    auto* page = dynamic_cast<TRhoForm*>(bench.ShowModule(115200, kRhoOutputsTab));
    TBench::Settle(500);
    TWizardUser user;
    Measure("RHO-05 calibration wizard with its wait, 115200:", 4000, 200, [page] {
      if (page) page->bbCalibrateClick();
    });
  }
  SetUi(nullptr);
  return 0;
}

// The window's liveness while it talks to the line: the real main window (offscreen) on
// simulated modules served on a pseudo-terminal, with a 1 ms timer on the GUI thread. The
// longest gap between two of its ticks is the longest time the window could not have
// answered a click, a key or the desktop's probe. Cases: ETA-03 "Масштабирование" polling a
// silent module at 9600 baud and a healthy one at 115200; a write committed on a polling page;
// the module search over silent addresses (stopped after a few seconds). Each case also
// prints the program's CPU time per second of the case and its resident memory.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/MainWindow.h"
#include "app/PageView.h"
#include "app/QtUi.h"
#include "app/SearchDialog.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
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
  explicit TBench(bool silent) : Bus(std::make_shared<TSimBus>()), Pty(Bus) {
    TSimModule& eta = Bus->AddModel(2, 2);
    if (silent) eta.Fault = TSimFault{TSimFaultKind::Silence, 0, -1};
    std::string error;
    if (!Pty.Start(&error)) std::printf("pty bus: %s\n", error.c_str());
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
  TModuleForm* ShowEta(int baud, int tab) {
    TMainForm& logic = Window->Logic();
    logic.Select(PortNode);
    if (auto* page = dynamic_cast<TPortForm*>(PortNode->Data->Page)) {
      page->cbBaud->SetItemIndex(BaudRateIndex(baud));
      page->cbBaudChange();
    }
    Settle(300);
    TTreeNode* module = logic.AddDevice(PortNode, 2, 2);
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

  std::shared_ptr<TSimBus> Bus;
  TPtyBus Pty;
  std::unique_ptr<TMainWindow> Window;
  TTreeNode* PortNode = nullptr;
};

constexpr int kScalingTab = 5;

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  RegisterAppPageViews();
  TQtUiServices ui;
  SetUi(&ui);
  {
    TBench bench(true);
    bench.ShowEta(9600, kScalingTab);
    Measure("ETA-03 Масштабирование, module silent, 9600:", 6000);
  }
  {
    TBench bench(false);
    TModuleForm* page = bench.ShowEta(115200, kScalingTab);
    Measure("ETA-03 Масштабирование, healthy, 115200:", 6000);
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
  SetUi(nullptr);
  return 0;
}

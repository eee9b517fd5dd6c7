#include "sim/DemoBus.h"

#include <cstdlib>
#include <memory>
#include <mutex>

#include "sim/PtyBus.h"

namespace {

std::mutex DemoLock;
std::unique_ptr<TPtyBus> Demo;

}  // namespace

const std::vector<TDemoModule>& DemoBusModules() {
  // Model index order: KAPPA-01, ETA-03, BETA-02, RHO-05, IOTA-04 at 1..5, then a module whose
  // model code no table knows.
  static const std::vector<TDemoModule> modules = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {0, 6}};
  return modules;
}

std::string StartDemoBus(std::string* error) {
  std::lock_guard<std::mutex> lock(DemoLock);
  if (Demo) return Demo->DevicePath();
  auto bus = std::make_shared<TSimBus>();
  for (const TDemoModule& m : DemoBusModules()) bus->AddModel(m.ModelIndex, uint8_t(m.Address));
  auto pty = std::make_unique<TPtyBus>(bus);
  if (!pty->Start(error)) return {};
  static const bool atExit = [] {
    std::atexit(StopDemoBus);
    return true;
  }();
  (void)atExit;
  Demo = std::move(pty);
  return Demo->DevicePath();
}

void StopDemoBus() {
  std::unique_ptr<TPtyBus> stopping;
  {
    std::lock_guard<std::mutex> lock(DemoLock);
    stopping = std::move(Demo);
  }
  if (stopping) stopping->Stop();
}

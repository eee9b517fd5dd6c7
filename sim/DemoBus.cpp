#include "sim/DemoBus.h"

#include <cstdlib>
#include <memory>
#include <mutex>

#include "sim/PtyBus.h"

namespace {

std::mutex DemoLock;
std::unique_ptr<TPtyBus> Demo;

}  // namespace

std::string StartDemoBus(std::string* error) {
  std::lock_guard<std::mutex> lock(DemoLock);
  if (Demo) return Demo->DevicePath();
  auto bus = std::make_shared<TSimBus>();
  // Model index order: KAPPA-01, ETA-03, BETA-02, RHO-05, IOTA-04 at 1..5, then a module whose
  // model code no table knows.
  for (int model = 1; model <= 5; ++model) bus->AddModel(model, uint8_t(model));
  bus->AddModel(0, 6);
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

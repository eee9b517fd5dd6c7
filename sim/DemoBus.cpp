#include "sim/DemoBus.h"

#include <cstdlib>
#include <memory>
#include <mutex>

#include "models/RegisterDefs.h"
#include "sim/PtyBus.h"

namespace {

std::mutex DemoLock;
std::unique_ptr<TPtyBus> Demo;

}  // namespace

const std::vector<TDemoModule>& DemoBusModules() {
  // Every model of the model table at the address of its index, then a module whose model code
  // no table knows.
  static const std::vector<TDemoModule> modules = [] {
    std::vector<TDemoModule> list;
    for (int i = 1; i < ModelCount; ++i) list.push_back({i, uint32_t(i)});
    list.push_back({0, uint32_t(ModelCount)});
    return list;
  }();
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

#pragma once
// The built-in demo bus of the program: simulated modules served on a pseudo-terminal by a
// background thread, so that the program's own serial line talks to it like to a real adapter.
#include <cstdint>
#include <string>
#include <vector>

// A module of the demo bus: its model index (as in the model table) and bus address.
struct TDemoModule {
  int ModelIndex;
  uint32_t Address;
};
// The modules the demo bus serves, in address order.
const std::vector<TDemoModule>& DemoBusModules();

// Starts the demo bus (one module of each model at the address of its model index, an
// unrecognised module after them) once per process and returns the device path to open; empty with error set on failure.
std::string StartDemoBus(std::string* error = nullptr);
// Stops it (also done at process exit).
void StopDemoBus();

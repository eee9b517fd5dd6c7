#pragma once
// What orbis-cli does on the bus, apart from its command line: the line opened as the port page
// sets it up, the module at an address identified by the search probe, and the configurations
// of the modules of a bus read.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/prPort.h"
#include "models/ConfigPlan.h"
#include "models/prDevice.h"

// Set by Ctrl-C; every loop over exchanges looks at it before the next exchange.
std::atomic<bool>& CliStopRequested();

struct TLineOptions {
  std::string Port;
  uint8_t Protocol = ptModbus;
  int32_t Baud = 9600;  // bits per second, one of BaudRates
  TLineParity Parity = TLineParity::None;
  int Timeout = 0;  // ms; 0 automatic
  int NetworkAllowance = kDefaultNetworkAllowanceMs;  // ms, a gateway's only
};

// The serial line with its port node, open for the lifetime of the object. The constructor
// raises EComPort when the line cannot be opened.
class TCliLine {
 public:
  explicit TCliLine(const TLineOptions& options, std::unique_ptr<TComBackend> backend = nullptr);
  ~TCliLine();
  TCliLine(const TCliLine&) = delete;
  TCliLine& operator=(const TCliLine&) = delete;
  TprPort& Port() { return PortNode; }
  TCustomComPort& Line() { return *ComPort; }

 private:
  std::unique_ptr<TComPort> ComPort;
  TprPort PortNode;
};

// The module at one address: its model found by the probe, its device object on the port.
struct TCliModule {
  int Address = 0;
  int ModelIndex = 0;
  std::unique_ptr<TprNode> Node;
  TprModel* Model = nullptr;  // nullptr for a module of no known model
  const char* ModelName() const { return ModelNames[ModelIndex].Name; }
};

// Probes the address; false with the reason when nothing answers or the model is unknown.
// silent, when given, tells whether nothing at all answered the probe (as opposed to a reply
// that was garbled or failed its checksum).
bool OpenModule(TprPort& port, int address, TCliModule& module, std::string& error,
                bool* silent = nullptr);

// The scan of addresses from..to with the configuration of every module of a known model read;
// the registers that could not be read go to `failed` as "ADDRESS: NAME, ...", the modules of
// no known model to `unknown`. Stops early when Ctrl-C was pressed.
TBusConfig ReadBusConfig(TprPort& port, int from, int to, std::vector<std::string>& failed,
                         std::vector<int>& unknown);

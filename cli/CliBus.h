#pragma once
// What orbis-cli does on the bus, apart from its command line: the line opened as the port page
// sets it up, the module at an address identified by the search probe, and the configuration
// of a module read, compared and loaded register by register.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/ConfigFile.h"
#include "comm/CPort.h"
#include "comm/prPort.h"
#include "models/prDevice.h"

// Set by Ctrl-C; every loop over exchanges looks at it before the next exchange.
std::atomic<bool>& CliStopRequested();

struct TLineOptions {
  std::string Port;
  uint8_t Protocol = ptModbus;
  int32_t Baud = 9600;  // bits per second, one of BaudRates
  TLineParity Parity = TLineParity::None;
  int Timeout = 0;  // ms; 0 automatic
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
bool OpenModule(TprPort& port, int address, TCliModule& module, std::string& error);

// Bus address, baud rate and character format: cloning them would cut the module off.
bool IsNetworkRegister(const std::string& name);
// The row of a register name in the model's map (ignoring case); nullptr when it has none.
const TRegisterDef* FindDef(const TprModel& model, const std::string& name);

// Whether the text is a value the register takes; why not in `why`. A list register takes
// the codes of its items; `force` lets one of its other codes through where the list shows
// such codes at all.
bool CheckValueText(const TRegisterDef& def, const std::string& text, std::string& why,
                    bool force = false);
// Two value texts of a register that stand for the same value (5.5 and 5.50000 alike).
bool SameValue(const TRegisterDef& def, const std::string& a, const std::string& b);

// Reads MVERSION and every configuration register; the names that could not be read go to
// `failed`. Stops early when Ctrl-C was pressed (the config is then incomplete).
TModuleConfig ReadConfig(TCliModule& module, std::vector<std::string>& failed);

// The registers of a configuration a file may set on this model: false with the reason when
// the file is of another model, or names a register that is not a setting of the model.
bool CheckConfigFor(const TCliModule& module, const TModuleConfig& config, std::string& error);

// The settings of the module's model that the configuration does not set, in map order;
// network registers only when asked.
std::vector<std::string> MissingSettings(const TprModel& model, const TModuleConfig& config,
                                         bool network);

struct TValueDiff {
  std::string Name;
  const std::string* A = nullptr;  // nullptr: that side lacks the register
  const std::string* B = nullptr;
};
// The configuration registers whose values differ, in the order of the model's map; network
// registers only when asked.
std::vector<TValueDiff> DiffConfigs(std::span<const TRegisterDef> map, const TModuleConfig& a,
                                    const TModuleConfig& b, bool network);

// One register of a load or a write: the old value, the new one, and how it went.
struct TWriteStep {
  std::string Name;
  std::string From;  // as read before (load only)
  std::string To;
  bool Written = false;
  bool Verified = false;  // read back and found to hold the value
  std::string ReadBack;   // what the read-back gave (empty: the read failed)
};

// Writes the text to the register and, unless it is a command, reads it back. A new NETADDR
// re-addresses the device object; a new NETBDRT or MDBFMT puts the line on that setting, so
// that the read-back and everything after reach the module where it now listens.
void WriteAndVerify(TCliModule& module, TprPort& port, const TRegisterDef& def,
                    TWriteStep& step);

struct TLoadPlan {
  std::vector<TWriteStep> Steps;     // the registers that differ, in the order they are written
  std::vector<std::string> Skipped;  // network registers left alone
  std::vector<std::string> Unread;   // registers whose present value could not be read
};
// Reads the present values and lists what differs. Network registers come last (NETADDR the
// very last), and only with `network`.
TLoadPlan PlanLoad(TCliModule& module, const TModuleConfig& config, bool network);
// Runs the plan's writes, stopping before the next write when Ctrl-C was pressed; `progress`
// is called after each.
void RunLoad(TCliModule& module, TprPort& port, TLoadPlan& plan,
             const std::function<void(const TWriteStep&)>& progress);

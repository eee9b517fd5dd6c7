#pragma once
// What makes up a module's configuration and how it is read, compared and loaded: the
// settings of the model's map read one by one, the registers that differ from a file, and the
// load that writes them (network settings last and only on request) and reads each back.
// Every exchange goes through the device object; `stop` is asked before each next exchange.
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "models/ConfigFile.h"
#include "models/ValueRules.h"
#include "models/prDevice.h"

// Asked before each exchange; true ends the work there (nothing half done).
using TStopAsked = std::function<bool()>;

// Bus address, baud rate and character format: cloning them would cut the module off.
bool IsNetworkRegister(const std::string& name);

// Told of each register before it is read or written.
using TStepShown = std::function<void(const std::string& registerName)>;

// Reads MVERSION and every configuration register; the names that could not be read go to
// `failed`. When stopped, the configuration is incomplete.
TModuleConfig ReadConfig(TprModel& model, std::vector<std::string>& failed,
                         const TStopAsked& stop = nullptr, const TStepShown& progress = nullptr);

// Why a configuration cannot be loaded into a module of the model.
enum class TConfigMismatch { None, OtherModel, NotASetting, BadValue };
struct TConfigCheck {
  TConfigMismatch Mismatch = TConfigMismatch::None;
  std::string Register, Value;  // the register and value at fault
  std::string Error;            // the reason in one line
  explicit operator bool() const { return Mismatch == TConfigMismatch::None; }
};
// The registers of a configuration a file may set on this model: a file of another model, a
// register that is not a setting of the model or a value it does not take is refused.
TConfigCheck CheckConfigFor(const TprModel& model, const TModuleConfig& config);

// The settings of the model (its map) that the configuration does not set, in map order; network
// registers only when asked.
std::vector<std::string> MissingSettings(std::span<const TRegisterDef> map,
                                         const TModuleConfig& config, bool network);

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
  bool FromRead = false;  // the present value was read (From holds it)
  bool Written = false;
  bool Verified = false;  // read back and found to hold the value
  std::string ReadBack;   // what the read-back gave (empty: the read failed)
};

// Writes the text to the register and, unless it is a command, reads it back. A new NETADDR
// re-addresses the device object; a new NETBDRT or MDBFMT puts the module's port on that
// setting, so that the read-back and everything after reach the module where it now listens.
void WriteAndVerify(TprModel& model, const TRegisterDef& def, TWriteStep& step);

struct TLoadPlan {
  std::vector<TWriteStep> Steps;     // the registers that differ, in the order they are written
  std::vector<std::string> Skipped;  // network registers left alone
  std::vector<std::string> Unread;   // registers whose present value could not be read
};
// Reads the present values and lists what differs. Network registers come last (NETADDR the
// very last), and only with `network`.
TLoadPlan PlanLoad(TprModel& model, const TModuleConfig& config, bool network,
                   const TStopAsked& stop = nullptr, const TStepShown& progress = nullptr);
// Runs the plan's writes, stopping before the next write when asked; `progress` is called
// after each.
void RunLoad(TprModel& model, TLoadPlan& plan,
             const std::function<void(const TWriteStep&)>& progress,
             const TStopAsked& stop = nullptr);

#pragma once
// The register maps and the model table: what each register of a model is (address, type,
// access, range, the list its codes stand for) and everything that names a model. No device
// objects here, so that the simulator and the tools can share the tables alone.
#include <cstdint>
#include <span>
#include <string>

#include "comm/prDevReg.h"

// What a register is to the master, from what the module does with a write to it.
enum class TRegAccess : uint8_t {
  ReadOnly,  // reported by the module (inputs, measured values, status, version)
  Config,    // a setting the module stores; part of a module's configuration
  Command,   // a write acts and is not kept (latch and counter resets, calibration steps,
             // status clears); a read may report a status instead
  Live,      // writable but volatile state (outputs set by the master, counters, the clock)
};
inline constexpr TRegAccess raReadOnly = TRegAccess::ReadOnly;
inline constexpr TRegAccess raConfig = TRegAccess::Config;
inline constexpr TRegAccess raCommand = TRegAccess::Command;
inline constexpr TRegAccess raLive = TRegAccess::Live;

// What the codes of a register stand for: the item of its list each code shows as.
struct TCodeList {
  constexpr TCodeList(std::span<const char* const> items, std::span<const int32_t> codes = {},
                      int other = -1)
      : Items(items), Codes(codes), Other(other) {}
  std::span<const char* const> Items;
  // The code of each item; empty: item i stands for code i.
  std::span<const int32_t> Codes;
  // The item shown for a code that no item stands for (-1: none).
  int Other = -1;
};

// The code item i of a list stands for.
constexpr int32_t CodeOf(const TCodeList& list, size_t i) {
  return list.Codes.empty() ? int32_t(i) : list.Codes[i];
}

// The numbers a register takes where they are fewer than its value kind's (Lo > Hi: all of
// those).
struct TValueRange {
  int64_t Lo = 0;
  int64_t Hi = -1;
};

// The decimals of a value shown as the codec makes its text.
inline constexpr int8_t kAsRead = -1;

// One row of a register map.
struct TRegisterDef {
  const char* Name;
  uint8_t Bank;
  uint8_t RegNo;
  uint16_t ModbusAddress;
  uint8_t DataType;
  int32_t StrLength;
  // Every row of the model maps states it; a row that does not is never written as
  // configuration.
  TRegAccess Access = raReadOnly;
  TValueRange Range{};
  // The list its codes stand for (nullptr: a plain number).
  const TCodeList* List = nullptr;
  // Decimals a single-precision value is shown with (kAsRead: the text as the codec made it).
  int8_t Decimals = kAsRead;
};

// The numbers a register accepts: its own range, else that of its value kind (all integers
// for the other kinds).
void NumberRange(const TRegisterDef& def, int64_t& lo, int64_t& hi);
inline bool AcceptsNumber(const TRegisterDef& def, int64_t value) {
  int64_t lo = 0, hi = 0;
  NumberRange(def, lo, hi);
  return value >= lo && value <= hi;
}

// True for the registers that make up a module's configuration: those it stores as settings.
constexpr bool IsConfigRegister(const TRegisterDef& def) { return def.Access == raConfig; }

class TprModel;

// How a model's module behaves behind its registers, for the simulator: the discrete I/O
// modules, the inputs of current, voltage and thermocouples, the resistance-thermometer inputs
// and the analog outputs.
enum class TModelFamily : uint8_t { None, DiscreteIo, SignalInput, RtdInput, AnalogOutput };

// One row of the model table: everything that names a model. Adding a model is one row.
struct TModelRow {
  // The model code the module reports to the search probe (unused in row 0).
  uint8_t Code;
  // The tree text of its node.
  const char* Name;
  // The class name of its settings page.
  const char* PageClass;
  // Its register map, in declaration order (empty in row 0).
  std::span<const TRegisterDef> Map;
  // A new device object of the model, not yet addressed (nullptr in row 0).
  TprModel* (*Create)();
  TModelFamily Family = TModelFamily::None;
  // Its channels: inputs (both ways on a bidirectional module), outputs on an output module.
  int Channels = 0;
  // The variants the model comes in, as the computer page lists them, and what they are.
  const char* Variants = "";
  const char* Summary = "";
};

// The model table, by model index: row 0 is the unrecognised module ("Неизвестный", the plain
// page, no registers), then the five models.
inline constexpr int ModelCount = 6;
extern const TModelRow ModelNames[ModelCount];
// The row of a model index; row 0 for an index outside the table.
const TModelRow& ModelRow(int modelIndex);
// The model index whose code the probe value is; 0 when no model reports it.
int ModelIndexFromProbe(uint8_t value);
// The model index of a model name as the table writes it; 0 when no model bears it.
int ModelIndexOfName(const std::string& name);
// The register map of a model index (empty for 0 and bad indices).
inline std::span<const TRegisterDef> RegisterMap(int modelIndex) {
  return ModelRow(modelIndex).Map;
}

#pragma once
// Device objects: one per module found. A model class owns one register per register of its
// map; the unrecognised module (TprDevice) has only its address.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "comm/prDevReg.h"
#include "shell/prNode.h"

class TprPort;

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
};

// True for the registers that make up a module's configuration: those it stores as settings.
constexpr bool IsConfigRegister(const TRegisterDef& def) { return def.Access == raConfig; }

// Model table: index 0 "Неизвестный", 1 "KAPPA-01", 2 "ETA-03", 3 "BETA-02", 4 "RHO-05",
// 5 "IOTA-04".
extern const char* const ModelNames[6];
// The register map of a model index, in declaration order (empty for 0 and bad indices).
std::span<const TRegisterDef> RegisterMap(int modelIndex);
// Model index for a probe value: v - 200 for 201..205, else 0.
int ModelIndexFromProbe(uint8_t value);
// Number of model indices (0 for the unrecognised module, then the five models).
inline constexpr int ModelCount = 6;
// Class name of the settings page of a model index ("TprForm" for 0 and bad indices).
const char* PageClassName(int modelIndex);

// The unrecognised module.
class TprDevice : public TprNode {
 public:
  explicit TprDevice(TComponent* owner = nullptr) : TprNode(owner) {}
  uint32_t Address = 0;
};

// Base of the five model classes: address, INIT flag, registers and the register operations.
class TprModel : public TprNode {
 public:
  uint32_t Address = 0;
  bool InitFlag = false;

  // Registers every model declares.
  TprDevReg* SECNS;
  TprDevReg* MINTS;
  TprDevReg* HOURS;
  TprDevReg* DAYS;
  TprDevReg* MNAME;
  TprDevReg* MVERSION;
  TprDevReg* NETWDT;
  TprDevReg* SLFDGNS;
  TprDevReg* RSTSTATUS;
  TprDevReg* NWDTSTATUS;
  TprDevReg* NETADDR;
  TprDevReg* NETBDRT;
  TprDevReg* MDBFMT;
  TprDevReg* DCSFMT;
  // Indication registers; ICON3, GR2IND, GR2INDFL, GR2INDPH and DISPLAY are nullptr on the
  // models that lack them, so that shared page code can test for them.
  TprDevReg* ICON1;
  TprDevReg* ICON2;
  TprDevReg* ICON3;
  TprDevReg* GR1IND;
  TprDevReg* GR2IND;
  TprDevReg* GR1INDFL;
  TprDevReg* GR2INDFL;
  TprDevReg* GR1INDPH;
  TprDevReg* GR2INDPH;
  TprDevReg* DISPLAY;

  // Stores the address and rebuilds every request record of every register for it.
  void SetAddress(uint32_t address);
  // The register bearing the name, ignoring case; nullptr when none does.
  TprDevReg* FindRegister(const std::string& name) const;
  TprDevReg* FindRegister(const std::string& prefix, int channel) const;
  const std::vector<TprDevReg*>& Registers() const { return Regs; }
  std::span<const TRegisterDef> Map() const { return Defs; }

  // Device register operations over the port node this module was found under; false for a
  // null register or a device without a port.
  bool ReadRegister(TprDevReg* reg);
  bool WriteRegister(TprDevReg* reg, const std::string& text);
  TprPort* Port() const;

 protected:
  TprModel(std::span<const TRegisterDef> map, TComponent* owner);
  // The register of a name the map declares (for the typed members of the model classes);
  // a name the map lacks is a programming error and raises std::logic_error.
  TprDevReg* Reg(const char* name) const;

 private:
  std::span<const TRegisterDef> Defs;
  std::vector<TprDevReg*> Regs;
};

// Creates the device object of a model index for a bus address, with its name, kind text and
// page class set, as the search adds it under a port node. Owned by the caller (the tree).
TprNode* CreateDevice(int modelIndex, uint32_t address, TprPort* port);

#pragma once
// Device objects: one per module found. A model class owns one register per register of its
// map; the unrecognised module (TprDevice) has only its address.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "comm/prDevReg.h"
#include "comm/prNode.h"
#include "models/RegisterDefs.h"

class TprPort;

// The unrecognised module.
class TprDevice : public TprNode {
 public:
  explicit TprDevice(TComponent* owner = nullptr) : TprNode(owner) {}
  uint32_t Address = 0;
  int ModelCode = -1;  // the model code it reported; -1: not known
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
  TprDevReg* NETADDR;
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
  // The port node the module was found under (also its ParentNode).
  TprPort* Port() const { return PortNode; }
  void SetPort(TprPort* port);

 protected:
  TprModel(std::span<const TRegisterDef> map, TComponent* owner);
  // The register of a name the map declares (for the typed members of the model classes);
  // a name the map lacks is a programming error and raises std::logic_error.
  TprDevReg* Reg(const char* name) const;

 private:
  std::span<const TRegisterDef> Defs;
  std::vector<TprDevReg*> Regs;
  TprPort* PortNode = nullptr;
};

// Creates the device object of a model index for a bus address, with its name, kind text and
// page class set, as the search adds it under a port node. Owned by the caller (the tree).
TprNode* CreateDevice(int modelIndex, uint32_t address, TprPort* port);

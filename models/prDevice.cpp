#include "models/prDevice.h"

#include <stdexcept>

#include "comm/prPort.h"
#include "models/prBeta.h"
#include "models/prEta.h"
#include "models/prIota.h"
#include "models/prKappa.h"
#include "models/prRho.h"

const char* const ModelNames[6] = {"Неизвестный", "KAPPA-01", "ETA-03",
                                   "BETA-02",     "RHO-05",   "IOTA-04"};

namespace {

constexpr const char* PageClassNames[ModelCount] = {"TprForm",   "TKappaForm", "TEtaForm",
                                                    "TBetaForm", "TRhoForm",   "TIotaForm"};

}  // namespace

std::span<const TRegisterDef> RegisterMap(int modelIndex) {
  switch (modelIndex) {
    case 1:
      return KappaRegisterMap;
    case 2:
      return EtaRegisterMap;
    case 3:
      return BetaRegisterMap;
    case 4:
      return RhoRegisterMap;
    case 5:
      return IotaRegisterMap;
    default:
      return {};
  }
}

int ModelIndexFromProbe(uint8_t value) { return value >= 201 && value <= 205 ? value - 200 : 0; }

const char* PageClassName(int modelIndex) {
  return modelIndex > 0 && modelIndex < ModelCount ? PageClassNames[modelIndex] : PageClassNames[0];
}

TprModel::TprModel(std::span<const TRegisterDef> map, TComponent* owner)
    : TprNode(owner), Defs(map) {
  Regs.reserve(map.size());
  for (const TRegisterDef& def : map) Regs.push_back(new TprDevReg(this, def.Name));
  SECNS = Reg("SECNS");
  MINTS = Reg("MINTS");
  HOURS = Reg("HOURS");
  DAYS = Reg("DAYS");
  MNAME = Reg("MNAME");
  MVERSION = Reg("MVERSION");
  NETWDT = Reg("NETWDT");
  SLFDGNS = Reg("SLFDGNS");
  RSTSTATUS = Reg("RSTSTATUS");
  NWDTSTATUS = Reg("NWDTSTATUS");
  NETADDR = Reg("NETADDR");
  NETBDRT = Reg("NETBDRT");
  MDBFMT = Reg("MDBFMT");
  DCSFMT = Reg("DCSFMT");
  // Indication registers a model may lack stay nullptr; the rest must be there.
  ICON1 = Reg("ICON1");
  ICON2 = Reg("ICON2");
  ICON3 = FindRegister("ICON3");
  GR1IND = Reg("GR1IND");
  GR2IND = FindRegister("GR2IND");
  GR1INDFL = Reg("GR1INDFL");
  GR2INDFL = FindRegister("GR2INDFL");
  GR1INDPH = Reg("GR1INDPH");
  GR2INDPH = FindRegister("GR2INDPH");
  DISPLAY = FindRegister("DISPLAY");
}

void TprModel::SetAddress(uint32_t address) {
  Address = address;
  for (size_t i = 0; i < Defs.size(); ++i) {
    const TRegisterDef& d = Defs[i];
    Regs[i]->Setup(uint8_t(address), d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
  }
}

TprDevReg* TprModel::FindRegister(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TprDevReg* r : Regs)
    if (SameText(r->Name, name)) return r;
  return nullptr;
}

TprDevReg* TprModel::FindRegister(const std::string& prefix, int channel) const {
  return FindRegister(prefix + std::to_string(channel));
}

TprDevReg* TprModel::Reg(const char* name) const {
  TprDevReg* r = FindRegister(name);
  if (!r) throw std::logic_error(std::string("register map lacks ") + name);
  return r;
}

TprPort* TprModel::Port() const { return dynamic_cast<TprPort*>(ParentNode); }

TprNode* CreateDevice(int modelIndex, uint32_t address, TprPort* port) {
  TprNode* node = nullptr;
  TprModel* model = nullptr;
  switch (modelIndex) {
    case 1:
      node = model = new TprKappa;
      break;
    case 2:
      node = model = new TprEta;
      break;
    case 3:
      node = model = new TprBeta;
      break;
    case 4:
      node = model = new TprRho;
      break;
    case 5:
      node = model = new TprIota;
      break;
    default: {
      auto* device = new TprDevice;
      device->Address = address;
      node = device;
      modelIndex = 0;
    }
  }
  if (model) model->SetAddress(address);
  node->PageClass = PageClassName(modelIndex);
  node->ParentNode = port;
  node->NameText = ModelNames[modelIndex];
  node->KindText = model ? "Модуль ввода-вывода"
                         : "Модуль ввода-вывода (адрес: " + std::to_string(address) + ")";
  return node;
}

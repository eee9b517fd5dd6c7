#include "models/prDevice.h"

#include <cstdint>
#include <stdexcept>

#include "comm/Resources.h"
#include "comm/prPort.h"
#include "models/prBeta.h"
#include "models/prEta.h"
#include "models/prIota.h"
#include "models/prKappa.h"
#include "models/prRho.h"

namespace {
template <class TModel>
TprModel* NewModel() {
  return new TModel;
}
}  // namespace

const TModelRow ModelNames[ModelCount] = {
    {0, "Неизвестный", "TUnknownForm", {}, nullptr},
    {201, "KAPPA-01", "TKappaForm", KappaRegisterMap, NewModel<TprKappa>, TModelFamily::DiscreteIo,
     16, "KAPPA-01", "16-канальный модуль двунаправленного ввода-вывода дискретных сигналов."},
    {202, "ETA-03", "TEtaForm", EtaRegisterMap, NewModel<TprEta>, TModelFamily::SignalInput, 8,
     "ETA-03, ETA-03X", "8-канальные модули ввода аналоговых сигналов тока, напряжения и термопар."},
    {203, "BETA-02", "TBetaForm", BetaRegisterMap, NewModel<TprBeta>, TModelFamily::DiscreteIo, 4,
     "BETA-02A, BETA-02B, BETA-02C", "8-канальные модули ввода-вывода дискретных сигналов."},
    {204, "RHO-05", "TRhoForm", RhoRegisterMap, NewModel<TprRho>, TModelFamily::AnalogOutput, 2,
     "RHO-05, RHO-05X", "2-канальные модули вывода аналоговых сигналов тока и напряжения."},
    {205, "IOTA-04", "TIotaForm", IotaRegisterMap, NewModel<TprIota>, TModelFamily::RtdInput, 3,
     "IOTA-04, IOTA-04X", "3-канальные модули ввода аналоговых сигналов термосопротивлений."},
};

const TModelRow& ModelRow(int modelIndex) {
  return modelIndex > 0 && modelIndex < ModelCount ? ModelNames[modelIndex] : ModelNames[0];
}

int ModelIndexOfName(const std::string& name) {
  for (int i = 1; i < ModelCount; ++i)
    if (name == ModelNames[i].Name) return i;
  return 0;
}

int ModelIndexFromProbe(uint8_t value) {
  for (int i = 1; i < ModelCount; ++i)
    if (ModelNames[i].Code == value) return i;
  return 0;
}

void NumberRange(const TRegisterDef& def, int64_t& lo, int64_t& hi) {
  if (def.Range.Lo <= def.Range.Hi) {
    lo = def.Range.Lo;
    hi = def.Range.Hi;
    return;
  }
  switch (def.DataType) {
    case dtBool: lo = 0, hi = 1; break;
    case dtUInt8: lo = 0, hi = 255; break;
    case dtInt8: lo = -128, hi = 127; break;
    case dtUInt16: lo = 0, hi = 65535; break;
    case dtInt16: lo = -32768, hi = 32767; break;
    case dtUInt32: lo = 0, hi = 4294967295LL; break;
    default: lo = INT32_MIN, hi = INT32_MAX; break;
  }
}

TprModel::TprModel(std::span<const TRegisterDef> map, TComponent* owner)
    : TprNode(owner), Defs(map) {
  Regs.reserve(map.size());
  for (const TRegisterDef& def : map) {
    Regs.push_back(new TprDevReg(this, def.Name));
    Regs.back()->Def = &def;
  }
  SECNS = Reg("SECNS");
  MINTS = Reg("MINTS");
  HOURS = Reg("HOURS");
  DAYS = Reg("DAYS");
  MNAME = Reg("MNAME");
  MVERSION = Reg("MVERSION");
  NETWDT = Reg("NETWDT");
  SLFDGNS = Reg("SLFDGNS");
  RSTSTATUS = Reg("RSTSTATUS");
  NETADDR = Reg("NETADDR");
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

void TprModel::SetPort(TprPort* port) {
  PortNode = port;
  ParentNode = port;
}

TprNode* CreateDevice(int modelIndex, uint32_t address, TprPort* port) {
  const TModelRow& row = ModelRow(modelIndex);
  TprNode* node = nullptr;
  if (row.Create) {
    TprModel* model = row.Create();
    model->SetAddress(address);
    model->KindText = "Модуль ввода-вывода";
    model->SetPort(port);
    node = model;
  } else {
    auto* device = new TprDevice;
    device->Address = address;
    device->KindText = ResStr("Модуль ввода-вывода (адрес: ") + std::to_string(address) + ")";
    node = device;
  }
  node->PageClass = row.PageClass;
  node->ParentNode = port;
  node->NameText = row.Name;
  return node;
}

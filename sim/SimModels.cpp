// The simulated modules of the five models, built from the program's own register tables.
#include <algorithm>

#include "models/RegisterDefs.h"
#include "sim/SimBus.h"

namespace {

// The registers every module has (the first rows of every map), for an unrecognised module.
std::span<const TRegisterDef> CommonBlock() {
  const auto map = RegisterMap(1);
  const auto end = std::find_if(map.begin(), map.end(), [](const TRegisterDef& d) {
    return std::string_view(d.Name) == "ICON1";
  });
  return map.subspan(0, size_t(end - map.begin()));
}

}  // namespace

TSimModule TSimModule::ForModel(int modelIndex, uint8_t address, int64_t nowMs,
                                uint8_t unknownCode) {
  const TModelRow& row = ModelRow(modelIndex);
  if (row.Create) return TSimModule(row.Code, row.Map, address, nowMs);
  return TSimModule(unknownCode, CommonBlock(), address, nowMs);
}

TSimModule& TSimBus::AddModel(int modelIndex, uint8_t address, bool initMode) {
  TSimModule& m = Add(TSimModule::ForModel(modelIndex, address));
  m.SetInitMode(initMode);
  return m;
}

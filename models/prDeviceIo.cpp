// The register operations of the model classes, apart from the rest of the device code so
// that programs using only the maps and the device objects need not link the exchange.
#include "comm/prDevOps.h"
#include "models/prDevice.h"

bool TprModel::ReadRegister(TprDevReg* reg) {
  TprPort* port = Port();
  if (!reg || !port) return false;
  return ::ReadRegister(*port, *reg);
}

bool TprModel::WriteRegister(TprDevReg* reg, const std::string& text) {
  TprPort* port = Port();
  if (!reg || !port) return false;
  return ::WriteRegister(*port, *reg, text);
}

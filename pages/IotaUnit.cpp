#include "pages/IotaUnit.h"

namespace {
TAnalogInputForm::TAnalogInputs IotaInputs() {
  TAnalogInputForm::TAnalogInputs inputs;
  inputs.Channels = 3;
  // The nominal resistance of the thermometer.
  // Resistances in ohms, with three decimals.
  // One indicator group: indicators 1..3 are bits 4..6.
  for (int bit : {4, 5, 6}) inputs.Indicators.push_back({1, bit});
  inputs.DecimalsLabel = "Знаков после запятой:";
  return inputs;
}
}  // namespace

TIotaForm::TIotaForm(TprNode* owner) : TAnalogInputForm(owner, IotaInputs()) {}

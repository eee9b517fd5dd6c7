#include "pages/RhoUnit.h"

#include "pages/RhoCalibrateUnit.h"

TRhoForm::TRhoForm(TprNode* owner) : TModuleForm(owner) {
  // The version of an analog module is shown on every refresh, focus or not.
  VersionIgnoresFocus = true;
}

void TRhoForm::bbCalibrateClick() {
  TRhoCalibrateForm wizard(Device());
  ShowModuleDialog(wizard);
}

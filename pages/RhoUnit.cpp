#include "pages/RhoUnit.h"

#include "pages/RhoCalibrateUnit.h"

TRhoForm::TRhoForm(TprNode* owner) : TModuleForm(owner, true) {}

void TRhoForm::bbCalibrateClick() {
  TRhoCalibrateForm wizard(Device());
  ShowModuleDialog(wizard);
}

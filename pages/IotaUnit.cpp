#include "pages/IotaUnit.h"

TIotaForm::TIotaForm(TprNode* owner) : TModuleForm(owner) {
  // The version of an analog module is shown on every refresh, focus or not.
  VersionIgnoresFocus = true;
}

#include "pages/IotaUnit.h"

TIotaForm::TIotaForm(TprNode* owner) : TModuleForm(owner, true) {}

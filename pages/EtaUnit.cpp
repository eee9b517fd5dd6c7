#include "pages/EtaUnit.h"

TEtaForm::TEtaForm(TprNode* owner) : TModuleForm(owner, true) {}

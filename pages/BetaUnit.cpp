#include "pages/BetaUnit.h"

TBetaForm::TBetaForm(TprNode* owner) : TModuleForm(owner) {}

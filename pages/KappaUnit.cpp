#include "pages/KappaUnit.h"

TKappaForm::TKappaForm(TprNode* owner) : TModuleForm(owner) {}

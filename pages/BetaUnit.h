#pragma once
// Settings page of the 4-input / 4-output discrete module (TBetaForm).
#include "pages/ModuleForm.h"

class TBetaForm : public TModuleForm {
 public:
  explicit TBetaForm(TprNode* owner);
};

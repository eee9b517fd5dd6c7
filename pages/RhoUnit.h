#pragma once
// Settings page of the 2-channel analog output module (TRhoForm).
#include "pages/ModuleForm.h"

class TRhoForm : public TModuleForm {
 public:
  explicit TRhoForm(TprNode* owner);
};

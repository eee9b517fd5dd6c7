#pragma once
// Settings page of the 16-channel bidirectional discrete module (TKappaForm).
#include "pages/ModuleForm.h"

class TKappaForm : public TModuleForm {
 public:
  explicit TKappaForm(TprNode* owner);
};

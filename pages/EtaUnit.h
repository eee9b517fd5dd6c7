#pragma once
// Settings page of the 8-channel analog input module (TEtaForm).
#include "pages/ModuleForm.h"

class TEtaForm : public TModuleForm {
 public:
  explicit TEtaForm(TprNode* owner);
};

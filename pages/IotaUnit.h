#pragma once
// Settings page of the 3-channel resistance-thermometer input module (TIotaForm).
#include "pages/ModuleForm.h"

class TIotaForm : public TModuleForm {
 public:
  explicit TIotaForm(TprNode* owner);
};

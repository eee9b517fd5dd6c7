#pragma once
// Settings page of the 3-channel resistance-thermometer input module (TIotaForm).
#include "pages/AnalogUnit.h"

class TIotaForm : public TAnalogInputForm {
 public:
  explicit TIotaForm(TprNode* owner);
};

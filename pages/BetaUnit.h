#pragma once
// Settings page of the 4-input / 4-output discrete module (TBetaForm).
#include "pages/DiscreteForm.h"

class TBetaForm : public TDiscreteForm {
 public:
  explicit TBetaForm(TprNode* owner);
};

#pragma once
// Settings page of the 16-channel bidirectional discrete module (TKappaForm).
#include "pages/DiscreteForm.h"

class TKappaForm : public TDiscreteForm {
 public:
  explicit TKappaForm(TprNode* owner);
};

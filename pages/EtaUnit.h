#pragma once
// Settings page of the 8-channel analog input module (TEtaForm).
#include "pages/AnalogUnit.h"

class TEtaForm : public TAnalogInputForm {
 public:
  explicit TEtaForm(TprNode* owner);

  // "Масштабирование"
  std::vector<TCheckBox*> chbEnableScale;
  std::vector<TEdit*> edLMarginSource, edHMarginSource, edLMarginTarget, edHMarginTarget;
};

#pragma once
// Settings page of the 2-channel analog output module (TRhoForm).
#include "pages/ModuleForm.h"

class TRhoForm : public TModuleForm {
 public:
  explicit TRhoForm(TprNode* owner);

  // Opens the output calibration wizard for this page's module; the page does not poll
  // while it is open.
  void bbCalibrateClick();
};

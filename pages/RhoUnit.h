#pragma once
// Settings page of the 2-channel analog output module (TRhoForm): besides the common tabs, the
// module's display ("Индикация"), the present outputs with their set-points ("Выходы") and the
// output parameters ("Параметры выходов"): output type, slew rate, the power-up and safe
// values and what the outputs do at power-up and on loss of the network. While calibration is
// enabled "Настройка..." opens the output calibration wizard.
#include <vector>

#include "pages/ModuleForm.h"

class TRhoForm : public TModuleForm {
 public:
  explicit TRhoForm(TprNode* owner);

  // ---- "Выходы"
  std::vector<TEdit*> edSetPoint, edCurrentValue;
  TButton* bbCalibrate = nullptr;
  // The text of each channel's present output: switched off, a load fault, or its value.
  TTask<> RefreshOutputs();
  // Opens the output calibration wizard for this page's module; the page does not poll
  // while it is open.
  void bbCalibrateClick();

  // ---- "Параметры выходов"
  std::vector<TComboBox*> cbOutType, cbSlewRate, cbOnPUP, cbOnWD;
  std::vector<TEdit*> edPUP, edSAFE, edSaved;

 private:
  TprDevReg* OUTPUTDGNS;
  TprDevReg* OUTTYPE[2];
  TprDevReg* OUTPUTCH[2];
};

#pragma once
// The part the analog input pages share (TEtaForm, TIotaForm): the tabs "Индикация", "Входы"
// and "Параметры входов", with the channel texts of the measured values and the Calibrate
// button.
#include <string>
#include <vector>

#include "pages/ModuleForm.h"

class TAnalogInputForm : public TModuleForm {
 public:
  // Input type codes from this one up stand for thermocouples; their values are degrees.
  static constexpr int kThermocoupleType = 5;
  static constexpr int kThermocoupleDecimals = 2;

  // "Входы"
  std::vector<TEdit*> edInputValue;
  TEdit* edCoolJunction = nullptr;
  TButton* bbCalibrate = nullptr;
  // "Параметры входов"
  std::vector<TComboBox*> cbInpType, cbPriority, cbFilter;

  // A press only beeps: the module defines no input calibration procedure.
  void bbCalibrateClick();
  // One refresh of "Входы": the channel masks, then each channel's text, then the cold junction.
  TTask<> RefreshInputs();

  // What tells one analog input module's tabs from another's.
  struct TAnalogInputs {
    int Channels = 0;
    bool ColdJunction = false;
    // The front-panel indicators in indicator order, and the label of the decimals lists.
    std::vector<TIndicator> Indicators;
    std::string DecimalsLabel;
  };
  const TAnalogInputs& Inputs() const { return Description; }

 protected:
  TAnalogInputForm(TprNode* owner, TAnalogInputs inputs);

 private:
  void AddInputsTab();
  void AddInputParametersTab();
  // The bits of the channels whose register prefix+n reads as an integer that passes test.
  TTask<uint32_t> ChannelMask(const char* prefix, bool (*test)(int32_t));
  // The bits of a flag register; none when the read fails or the value is not an integer.
  TTask<uint32_t> FlagMask(TprDevReg* reg);

  const TAnalogInputs Description;
};

#pragma once
// Registers that several models share by name (each at its own address and type), so that
// page code common to those models can reach them as members.
#include "models/prDevice.h"

// KAPPA-01 and BETA-02.
class TprDiscreteModel : public TprModel {
 public:
  // One bit per channel, bit 0 for channel 1.
  TprDevReg* DIGINPUT = Reg("DIGINPUT");
  TprDevReg* LHDIGINPUT = Reg("LHDIGINPUT");
  TprDevReg* LLDIGINPUT = Reg("LLDIGINPUT");
  TprDevReg* RSTLATCH = Reg("RSTLATCH");
  TprDevReg* DIGOUTPUT = Reg("DIGOUTPUT");
  TprDevReg* PUPDIGOUTPUT = Reg("PUPDIGOUTPUT");
  TprDevReg* SAFEDIGOUTPUT = Reg("SAFEDIGOUTPUT");
  TprDevReg* INPUTLOGIC = Reg("INPUTLOGIC");
  TprDevReg* SAVOUTPUT = Reg("SAVOUTPUT");
  TprDevReg* COUNTENABLE = Reg("COUNTENABLE");
  TprDevReg* COUNTRESET = Reg("COUNTRESET");
  TprDevReg* FLAGRESET = Reg("FLAGRESET");
  TprDevReg* OVFFLAGS = Reg("OVFFLAGS");
  TprDevReg* COUNTFRONT = Reg("COUNTFRONT");
  TprDevReg* COUNTDIRECTION = Reg("COUNTDIRECTION");
  // One-byte setting.
  TprDevReg* OUTCONTROL = Reg("OUTCONTROL");

 protected:
  using TprModel::TprModel;
};

// ETA-03, IOTA-04 and RHO-05: the indication settings of the channel block.
class TprAnalogModel : public TprModel {
 public:
  TprDevReg* TINDICATION = Reg("TINDICATION");
  TprDevReg* CHINDICATION = Reg("CHINDICATION");

 protected:
  using TprModel::TprModel;
};

// ETA-03 and IOTA-04: one-byte registers of the whole input module.
class TprInputModel : public TprAnalogModel {
 public:
  TprDevReg* TCOD = Reg("TCOD");
  TprDevReg* OVRD = Reg("OVRD");
  TprDevReg* UNRD = Reg("UNRD");
  TprDevReg* EGRCALIBRATION = Reg("EGRCALIBRATION");
  TprDevReg* ECHCALIBRATION = Reg("ECHCALIBRATION");
  TprDevReg* CALIBRATION = Reg("CALIBRATION");
  TprDevReg* CLBU = Reg("CLBU");

 protected:
  using TprAnalogModel::TprAnalogModel;
};

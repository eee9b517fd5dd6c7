#pragma once
// KAPPA-01: 16-channel bidirectional discrete module.
#include <array>

#include "models/prMapRows.h"
#include "models/prModelBases.h"

// clang-format off
inline constexpr auto KappaRegisterMap = prmap::ModelMap<prmap::DiscreteIndication>(
    std::to_array<TRegisterDef>({
        {"DIRECTION", 1, 1, 257, dtUInt16, 0},
        {"DIGINPUT", 1, 2, 258, dtUInt16, 0},
        {"LHDIGINPUT", 1, 4, 260, dtUInt16, 0},
        {"LLDIGINPUT", 1, 5, 261, dtUInt16, 0},
        {"RSTLATCH", 1, 6, 262, dtUInt16, 0},
        {"FILTER1", 1, 7, 263, dtUInt8, 0},
        {"FILTER2", 1, 8, 264, dtUInt8, 0},
        {"FILTER3", 1, 9, 265, dtUInt8, 0},
        {"FILTER4", 1, 10, 266, dtUInt8, 0},
        {"DIGOUTPUT", 1, 11, 267, dtUInt16, 0},
        {"PUPDIGOUTPUT", 1, 12, 268, dtUInt16, 0},
        {"SAFEDIGOUTPUT", 1, 13, 269, dtUInt16, 0},
        {"INPUTLOGIC", 1, 38, 294, dtUInt16, 0},
        {"OUTCONTROL", 1, 39, 295, dtUInt8, 0},
        {"SAVOUTPUT", 1, 40, 296, dtUInt16, 0},
        {"COUNTER1", 1, 22, 278, dtUInt16, 0},
        {"COUNTER2", 1, 23, 279, dtUInt16, 0},
        {"COUNTER3", 1, 24, 280, dtUInt16, 0},
        {"COUNTER4", 1, 25, 281, dtUInt16, 0},
        {"COUNTER5", 1, 26, 282, dtUInt16, 0},
        {"COUNTER6", 1, 27, 283, dtUInt16, 0},
        {"COUNTER7", 1, 28, 284, dtUInt16, 0},
        {"COUNTER8", 1, 29, 285, dtUInt16, 0},
        {"COUNTER9", 1, 30, 286, dtUInt16, 0},
        {"COUNTER10", 1, 31, 287, dtUInt16, 0},
        {"COUNTER11", 1, 32, 288, dtUInt16, 0},
        {"COUNTER12", 1, 33, 289, dtUInt16, 0},
        {"COUNTER13", 1, 34, 290, dtUInt16, 0},
        {"COUNTER14", 1, 35, 291, dtUInt16, 0},
        {"COUNTER15", 1, 36, 292, dtUInt16, 0},
        {"COUNTER16", 1, 37, 293, dtUInt16, 0},
        {"COUNTENABLE", 1, 16, 272, dtUInt16, 0},
        {"COUNTRESET", 1, 20, 276, dtUInt16, 0},
        {"FLAGRESET", 1, 21, 277, dtUInt16, 0},
        {"OVFFLAGS", 1, 19, 275, dtUInt16, 0},
        {"COUNTFRONT", 1, 17, 273, dtUInt16, 0},
        {"COUNTDIRECTION", 1, 18, 274, dtUInt16, 0},
    }));
// clang-format on
static_assert(KappaRegisterMap.size() == 59);

// Channel registers (FILTER1..4, COUNTER1..16) are found by FindRegister(prefix, channel).
class TprKappa : public TprDiscreteModel {
 public:
  explicit TprKappa(TComponent* owner = nullptr);

  // Direction of each channel, one bit per channel.
  TprDevReg* DIRECTION = Reg("DIRECTION");
};

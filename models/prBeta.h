#pragma once
// BETA-02: 4-input/4-output discrete module. Same names as KAPPA-01 without DIRECTION, four
// counters, one-byte channel masks, other addresses.
#include <array>

#include "models/prMapRows.h"
#include "models/prModelBases.h"

// clang-format off
inline constexpr auto BetaRegisterMap = prmap::ModelMap<prmap::DiscreteIndication>(
    std::to_array<TRegisterDef>({
        {"DIGINPUT", 1, 1, 257, dtUInt8, 0},
        {"LHDIGINPUT", 1, 3, 259, dtUInt8, 0},
        {"LLDIGINPUT", 1, 4, 260, dtUInt8, 0},
        {"RSTLATCH", 1, 5, 261, dtUInt8, 0},
        {"FILTER1", 1, 6, 262, dtUInt8, 0},
        {"FILTER2", 1, 7, 263, dtUInt8, 0},
        {"FILTER3", 1, 8, 264, dtUInt8, 0},
        {"FILTER4", 1, 9, 265, dtUInt8, 0},
        {"DIGOUTPUT", 1, 10, 266, dtUInt8, 0},
        {"PUPDIGOUTPUT", 1, 11, 267, dtUInt8, 0},
        {"SAFEDIGOUTPUT", 1, 12, 268, dtUInt8, 0},
        {"INPUTLOGIC", 1, 25, 281, dtUInt8, 0},
        {"OUTCONTROL", 1, 26, 282, dtUInt8, 0},
        {"SAVOUTPUT", 1, 27, 283, dtUInt8, 0},
        {"COUNTER1", 1, 21, 277, dtUInt16, 0},
        {"COUNTER2", 1, 22, 278, dtUInt16, 0},
        {"COUNTER3", 1, 23, 279, dtUInt16, 0},
        {"COUNTER4", 1, 24, 280, dtUInt16, 0},
        {"COUNTENABLE", 1, 15, 271, dtUInt8, 0},
        {"COUNTRESET", 1, 19, 275, dtUInt8, 0},
        {"FLAGRESET", 1, 20, 276, dtUInt8, 0},
        {"OVFFLAGS", 1, 18, 274, dtUInt8, 0},
        {"COUNTFRONT", 1, 16, 272, dtUInt8, 0},
        {"COUNTDIRECTION", 1, 17, 273, dtUInt8, 0},
    }));
// clang-format on
static_assert(BetaRegisterMap.size() == 46);

// Channel registers (FILTER1..4, COUNTER1..4) are found by FindRegister(prefix, channel).
class TprBeta : public TprDiscreteModel {
 public:
  explicit TprBeta(TComponent* owner = nullptr);
};

#pragma once
// BETA-02: 4-input/4-output discrete module. Same names as KAPPA-01 without DIRECTION, four
// counters, one-byte channel masks, other addresses.
#include <array>

#include "models/prDevice.h"
#include "models/prMapRows.h"

// clang-format off
inline constexpr auto BetaRegisterMap = prmap::ModelMap<prmap::DiscreteIndication>(
    std::to_array<TRegisterDef>({
        {"DIGINPUT", 1, 1, 257, dtUInt8, 0, raReadOnly},
        {"LHDIGINPUT", 1, 3, 259, dtUInt8, 0, raReadOnly},
        {"LLDIGINPUT", 1, 4, 260, dtUInt8, 0, raReadOnly},
        {"RSTLATCH", 1, 5, 261, dtUInt8, 0, raCommand},
        {"FILTER1", 1, 6, 262, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"FILTER2", 1, 7, 263, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"FILTER3", 1, 8, 264, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"FILTER4", 1, 9, 265, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"DIGOUTPUT", 1, 10, 266, dtUInt8, 0, raLive},
        {"PUPDIGOUTPUT", 1, 11, 267, dtUInt8, 0, raConfig},
        {"SAFEDIGOUTPUT", 1, 12, 268, dtUInt8, 0, raConfig},
        {"INPUTLOGIC", 1, 25, 281, dtUInt8, 0, raConfig},
        {"OUTCONTROL", 1, 26, 282, dtUInt8, 0, raConfig},
        {"SAVOUTPUT", 1, 27, 283, dtUInt8, 0, raReadOnly},
        {"COUNTER1", 1, 21, 277, dtUInt16, 0, raLive},
        {"COUNTER2", 1, 22, 278, dtUInt16, 0, raLive},
        {"COUNTER3", 1, 23, 279, dtUInt16, 0, raLive},
        {"COUNTER4", 1, 24, 280, dtUInt16, 0, raLive},
        {"COUNTENABLE", 1, 15, 271, dtUInt8, 0, raConfig},
        {"COUNTRESET", 1, 19, 275, dtUInt8, 0, raCommand},
        {"FLAGRESET", 1, 20, 276, dtUInt8, 0, raCommand},
        {"OVFFLAGS", 1, 18, 274, dtUInt8, 0, raReadOnly},
        {"COUNTFRONT", 1, 16, 272, dtUInt8, 0, raConfig},
        {"COUNTDIRECTION", 1, 17, 273, dtUInt8, 0, raConfig},
    }));
// clang-format on
static_assert(BetaRegisterMap.size() == 46);

// Channel registers (FILTER1..4, COUNTER1..4) are found by FindRegister(prefix, channel).
class TprBeta : public TprModel {
 public:
  explicit TprBeta(TComponent* owner = nullptr);
};

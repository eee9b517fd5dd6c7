#pragma once
// KAPPA-01: 16-channel bidirectional discrete module.
#include <array>

#include "models/prDevice.h"
#include "models/prMapRows.h"

// clang-format off
inline constexpr auto KappaRegisterMap = prmap::ModelMap<prmap::DiscreteIndication>(
    std::to_array<TRegisterDef>({
        {"DIRECTION", 1, 1, 257, dtUInt16, 0, raConfig},
        {"DIGINPUT", 1, 2, 258, dtUInt16, 0, raReadOnly},
        {"LHDIGINPUT", 1, 4, 260, dtUInt16, 0, raReadOnly},
        {"LLDIGINPUT", 1, 5, 261, dtUInt16, 0, raReadOnly},
        {"RSTLATCH", 1, 6, 262, dtUInt16, 0, raCommand},
        {"FILTER1", 1, 7, 263, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"FILTER2", 1, 8, 264, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"FILTER3", 1, 9, 265, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"FILTER4", 1, 10, 266, dtUInt8, 0, raConfig, {}, &prmap::DiscreteFilterList},
        {"DIGOUTPUT", 1, 11, 267, dtUInt16, 0, raLive},
        {"PUPDIGOUTPUT", 1, 12, 268, dtUInt16, 0, raConfig},
        {"SAFEDIGOUTPUT", 1, 13, 269, dtUInt16, 0, raConfig},
        {"INPUTLOGIC", 1, 38, 294, dtUInt16, 0, raConfig},
        {"OUTCONTROL", 1, 39, 295, dtUInt8, 0, raConfig},
        {"SAVOUTPUT", 1, 40, 296, dtUInt16, 0, raReadOnly},
        {"COUNTER1", 1, 22, 278, dtUInt16, 0, raLive},
        {"COUNTER2", 1, 23, 279, dtUInt16, 0, raLive},
        {"COUNTER3", 1, 24, 280, dtUInt16, 0, raLive},
        {"COUNTER4", 1, 25, 281, dtUInt16, 0, raLive},
        {"COUNTER5", 1, 26, 282, dtUInt16, 0, raLive},
        {"COUNTER6", 1, 27, 283, dtUInt16, 0, raLive},
        {"COUNTER7", 1, 28, 284, dtUInt16, 0, raLive},
        {"COUNTER8", 1, 29, 285, dtUInt16, 0, raLive},
        {"COUNTER9", 1, 30, 286, dtUInt16, 0, raLive},
        {"COUNTER10", 1, 31, 287, dtUInt16, 0, raLive},
        {"COUNTER11", 1, 32, 288, dtUInt16, 0, raLive},
        {"COUNTER12", 1, 33, 289, dtUInt16, 0, raLive},
        {"COUNTER13", 1, 34, 290, dtUInt16, 0, raLive},
        {"COUNTER14", 1, 35, 291, dtUInt16, 0, raLive},
        {"COUNTER15", 1, 36, 292, dtUInt16, 0, raLive},
        {"COUNTER16", 1, 37, 293, dtUInt16, 0, raLive},
        {"COUNTENABLE", 1, 16, 272, dtUInt16, 0, raConfig},
        {"COUNTRESET", 1, 20, 276, dtUInt16, 0, raCommand},
        {"FLAGRESET", 1, 21, 277, dtUInt16, 0, raCommand},
        {"OVFFLAGS", 1, 19, 275, dtUInt16, 0, raReadOnly},
        {"COUNTFRONT", 1, 17, 273, dtUInt16, 0, raConfig},
        {"COUNTDIRECTION", 1, 18, 274, dtUInt16, 0, raConfig},
    }));
// clang-format on
static_assert(KappaRegisterMap.size() == 59);
static_assert(prmap::Row(KappaRegisterMap, "DIRECTION").Access == raConfig &&
              prmap::Row(KappaRegisterMap, "RSTLATCH").Access == raCommand &&
              prmap::Row(KappaRegisterMap, "DIGOUTPUT").Access == raLive);

// Channel registers (FILTER1..4, COUNTER1..16) are found by FindRegister(prefix, channel).
class TprKappa : public TprModel {
 public:
  explicit TprKappa(TComponent* owner = nullptr);
};

#pragma once
// RHO-05: 2-channel current and voltage output module.
#include <array>

#include "models/prMapRows.h"
#include "models/prModelBases.h"

// clang-format off
inline constexpr auto RhoRegisterMap = prmap::ModelMap<prmap::AnalogIndication>(
    std::to_array<TRegisterDef>({
        {"TINDICATION", 1, 2, 258, dtUInt8, 0},
        {"CHINDICATION", 1, 1, 257, dtUInt8, 0},
        {"IFCH1", 1, 3, 259, dtUInt8, 0},
        {"IFCH2", 1, 4, 260, dtUInt8, 0},
        {"SETPOINTCH1", 1, 7, 263, dtSingle, 0},
        {"SETPOINTCH2", 1, 15, 277, dtSingle, 0},
        {"OUTPUTCH1", 1, 8, 265, dtSingle, 0},
        {"OUTPUTCH2", 1, 16, 279, dtSingle, 0},
        {"OUTPUTDGNS", 1, 24, 292, dtUInt8, 0},
        {"TUNINGVALUECH1", 1, 12, 273, dtSingle, 0},
        {"TUNINGVALUECH2", 1, 20, 287, dtSingle, 0},
        {"TUNINGCH1", 1, 26, 294, dtUInt8, 0},
        {"TUNINGCH2", 1, 27, 295, dtUInt8, 0},
        {"TUNINGENABLE", 1, 25, 293, dtUInt8, 0},
        {"SMSTS", 0, 20, 20, dtUInt8, 0},
        {"OUTTYPE1", 1, 5, 261, dtUInt8, 0},
        {"OUTTYPE2", 1, 13, 275, dtUInt8, 0},
        {"SLEWRATE1", 1, 6, 262, dtUInt8, 0},
        {"SLEWRATE2", 1, 14, 276, dtUInt8, 0},
        {"OUTPUTPUPCH1", 1, 9, 267, dtSingle, 0},
        {"OUTPUTPUPCH2", 1, 17, 281, dtSingle, 0},
        {"OUTPUTSAFECH1", 1, 10, 269, dtSingle, 0},
        {"OUTPUTSAFECH2", 1, 18, 283, dtSingle, 0},
        {"SAVEDOUTPUTCH1", 1, 11, 271, dtSingle, 0},
        {"SAVEDOUTPUTCH2", 1, 19, 285, dtSingle, 0},
        {"OUTPUTCONTROL", 1, 23, 291, dtUInt8, 0},
    }));
// clang-format on
static_assert(RhoRegisterMap.size() == 47);

// Channel registers (IFCH, TUNINGCH, OUTTYPE, SLEWRATE, SETPOINTCH, OUTPUTCH, TUNINGVALUECH,
// OUTPUTPUPCH, OUTPUTSAFECH, SAVEDOUTPUTCH with 1 or 2) are found by FindRegister(prefix, channel).
class TprRho : public TprAnalogModel {
 public:
  explicit TprRho(TComponent* owner = nullptr);

  // One-byte registers of the whole module.
  TprDevReg* OUTPUTDGNS = Reg("OUTPUTDGNS");
  TprDevReg* TUNINGENABLE = Reg("TUNINGENABLE");
  TprDevReg* OUTPUTCONTROL = Reg("OUTPUTCONTROL");
  // Bank 0 although declared among the channel registers.
  TprDevReg* SMSTS = Reg("SMSTS");
};

#pragma once
// ETA-03: 8-channel thermocouple, current and voltage input module.
#include <array>

#include "models/prMapRows.h"
#include "models/prModelBases.h"

// clang-format off
inline constexpr auto EtaRegisterMap = prmap::ModelMap<prmap::EtaIndication>(
    std::to_array<TRegisterDef>({
        {"TINDICATION", 1, 2, 258, dtUInt8, 0},
        {"CHINDICATION", 1, 1, 257, dtUInt8, 0},
        {"IFCH1", 1, 3, 259, dtUInt8, 0},
        {"IFCH2", 1, 4, 260, dtUInt8, 0},
        {"IFCH3", 1, 5, 261, dtUInt8, 0},
        {"IFCH4", 1, 6, 262, dtUInt8, 0},
        {"IFCH5", 1, 7, 263, dtUInt8, 0},
        {"IFCH6", 1, 8, 264, dtUInt8, 0},
        {"IFCH7", 1, 9, 265, dtUInt8, 0},
        {"IFCH8", 1, 10, 266, dtUInt8, 0},
        {"ANALOGINPUT1", 1, 78, 370, dtSingle, 0},
        {"ANALOGINPUT2", 1, 79, 372, dtSingle, 0},
        {"ANALOGINPUT3", 1, 80, 374, dtSingle, 0},
        {"ANALOGINPUT4", 1, 81, 376, dtSingle, 0},
        {"ANALOGINPUT5", 1, 82, 378, dtSingle, 0},
        {"ANALOGINPUT6", 1, 83, 380, dtSingle, 0},
        {"ANALOGINPUT7", 1, 84, 382, dtSingle, 0},
        {"ANALOGINPUT8", 1, 85, 384, dtSingle, 0},
        {"CJT", 1, 20, 278, dtSingle, 0},
        {"TCOD", 1, 11, 267, dtUInt8, 0},
        {"OVRD", 1, 12, 268, dtUInt8, 0},
        {"UNRD", 1, 13, 269, dtUInt8, 0},
        {"EGRCALIBRATION", 1, 14, 270, dtUInt8, 0},
        {"ECHCALIBRATION", 1, 15, 271, dtUInt8, 0},
        {"CALIBRATION", 1, 16, 272, dtUInt8, 0},
        {"CLBU", 1, 19, 276, dtUInt8, 0},
        {"PRIOR1", 1, 29, 288, dtUInt8, 0},
        {"PRIOR2", 1, 30, 289, dtUInt8, 0},
        {"PRIOR3", 1, 31, 290, dtUInt8, 0},
        {"PRIOR4", 1, 32, 291, dtUInt8, 0},
        {"PRIOR5", 1, 33, 292, dtUInt8, 0},
        {"PRIOR6", 1, 34, 293, dtUInt8, 0},
        {"PRIOR7", 1, 35, 294, dtUInt8, 0},
        {"PRIOR8", 1, 36, 295, dtUInt8, 0},
        {"INPTYPE1", 1, 21, 280, dtUInt8, 0},
        {"INPTYPE2", 1, 22, 281, dtUInt8, 0},
        {"INPTYPE3", 1, 23, 282, dtUInt8, 0},
        {"INPTYPE4", 1, 24, 283, dtUInt8, 0},
        {"INPTYPE5", 1, 25, 284, dtUInt8, 0},
        {"INPTYPE6", 1, 26, 285, dtUInt8, 0},
        {"INPTYPE7", 1, 27, 286, dtUInt8, 0},
        {"INPTYPE8", 1, 28, 287, dtUInt8, 0},
        {"FILTER1", 1, 37, 296, dtUInt8, 0},
        {"FILTER2", 1, 38, 297, dtUInt8, 0},
        {"FILTER3", 1, 39, 298, dtUInt8, 0},
        {"FILTER4", 1, 40, 299, dtUInt8, 0},
        {"FILTER5", 1, 41, 300, dtUInt8, 0},
        {"FILTER6", 1, 42, 301, dtUInt8, 0},
        {"FILTER7", 1, 43, 302, dtUInt8, 0},
        {"FILTER8", 1, 44, 303, dtUInt8, 0},
        {"MAPENABLE", 1, 45, 304, dtUInt8, 0},
        {"HBS1", 1, 46, 305, dtSingle, 0},
        {"LBS1", 1, 54, 321, dtSingle, 0},
        {"HBT1", 1, 62, 337, dtSingle, 0},
        {"LBT1", 1, 70, 353, dtSingle, 0},
        {"HBS2", 1, 47, 307, dtSingle, 0},
        {"LBS2", 1, 55, 323, dtSingle, 0},
        {"HBT2", 1, 63, 339, dtSingle, 0},
        {"LBT2", 1, 71, 355, dtSingle, 0},
        {"HBS3", 1, 48, 309, dtSingle, 0},
        {"LBS3", 1, 56, 325, dtSingle, 0},
        {"HBT3", 1, 64, 341, dtSingle, 0},
        {"LBT3", 1, 72, 357, dtSingle, 0},
        {"HBS4", 1, 49, 311, dtSingle, 0},
        {"LBS4", 1, 57, 327, dtSingle, 0},
        {"HBT4", 1, 65, 343, dtSingle, 0},
        {"LBT4", 1, 73, 359, dtSingle, 0},
        {"HBS5", 1, 50, 313, dtSingle, 0},
        {"LBS5", 1, 58, 329, dtSingle, 0},
        {"HBT5", 1, 66, 345, dtSingle, 0},
        {"LBT5", 1, 74, 361, dtSingle, 0},
        {"HBS6", 1, 51, 315, dtSingle, 0},
        {"LBS6", 1, 59, 331, dtSingle, 0},
        {"HBT6", 1, 67, 347, dtSingle, 0},
        {"LBT6", 1, 75, 363, dtSingle, 0},
        {"HBS7", 1, 52, 317, dtSingle, 0},
        {"LBS7", 1, 60, 333, dtSingle, 0},
        {"HBT7", 1, 68, 349, dtSingle, 0},
        {"LBT7", 1, 76, 365, dtSingle, 0},
        {"HBS8", 1, 53, 319, dtSingle, 0},
        {"LBS8", 1, 61, 335, dtSingle, 0},
        {"HBT8", 1, 69, 351, dtSingle, 0},
        {"LBT8", 1, 77, 367, dtSingle, 0},
    }));
// clang-format on
static_assert(EtaRegisterMap.size() == 107);

// Channel registers (IFCH, ANALOGINPUT, PRIOR, INPTYPE, FILTER, HBS, LBS, HBT, LBT with 1..8)
// are found by FindRegister(prefix, channel).
class TprEta : public TprInputModel {
 public:
  explicit TprEta(TComponent* owner = nullptr);

  TprDevReg* MAPENABLE = Reg("MAPENABLE");
  // Cold-junction temperature.
  TprDevReg* CJT = Reg("CJT");
};

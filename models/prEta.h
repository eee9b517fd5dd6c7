#pragma once
// ETA-03: 8-channel thermocouple, current and voltage input module.
#include <array>

#include "models/prDevice.h"
#include "models/prMapRows.h"

// What the codes of the channel settings stand for. Codes 0 to 4 are the linear inputs, 5 and
// up the thermocouples (ranges in degrees Celsius).
inline constexpr const char* EtaInputTypeItems[] = {
    "мВ, 0...50",
    "мВ, 0...150",
    "мВ, 0...500",
    "В, 0...1",
    "мА, 0...20",
    "ТХА (K), -200...1300",
    "ТХK (L), -200...800",
    "ТПП (S), -50...1700",
    "ТПР (B), 300...1700",
    "ТПП (R), -50...1700",
    "ТНН (N), -200...1300",
    "ТВР (А-1), 0...2300",
    "ТЖК (J), -200...1200",
};
inline constexpr TCodeList EtaInputTypes{EtaInputTypeItems};
inline constexpr const char* EtaPriorityItems[] = {"Нет опроса", "Низкий", "Средний", "Высокий"};
inline constexpr TCodeList EtaPriorities{EtaPriorityItems};

// clang-format off
inline constexpr auto EtaRegisterMap = prmap::ModelMap<prmap::EtaIndication>(
    std::to_array<TRegisterDef>({
        {"TINDICATION", 1, 2, 258, dtUInt8, 0, raConfig, prmap::IndicationTime},
        {"CHINDICATION", 1, 1, 257, dtUInt8, 0, raConfig},
        {"IFCH1", 1, 3, 259, dtUInt8, 0, raConfig},
        {"IFCH2", 1, 4, 260, dtUInt8, 0, raConfig},
        {"IFCH3", 1, 5, 261, dtUInt8, 0, raConfig},
        {"IFCH4", 1, 6, 262, dtUInt8, 0, raConfig},
        {"IFCH5", 1, 7, 263, dtUInt8, 0, raConfig},
        {"IFCH6", 1, 8, 264, dtUInt8, 0, raConfig},
        {"IFCH7", 1, 9, 265, dtUInt8, 0, raConfig},
        {"IFCH8", 1, 10, 266, dtUInt8, 0, raConfig},
        {"ANALOGINPUT1", 1, 78, 370, dtSingle, 0, raReadOnly},
        {"ANALOGINPUT2", 1, 79, 372, dtSingle, 0, raReadOnly},
        {"ANALOGINPUT3", 1, 80, 374, dtSingle, 0, raReadOnly},
        {"ANALOGINPUT4", 1, 81, 376, dtSingle, 0, raReadOnly},
        {"ANALOGINPUT5", 1, 82, 378, dtSingle, 0, raReadOnly},
        {"ANALOGINPUT6", 1, 83, 380, dtSingle, 0, raReadOnly},
        {"ANALOGINPUT7", 1, 84, 382, dtSingle, 0, raReadOnly},
        {"ANALOGINPUT8", 1, 85, 384, dtSingle, 0, raReadOnly},
        {"CJT", 1, 20, 278, dtSingle, 0, raReadOnly, {}, nullptr, 2},
        {"TCOD", 1, 11, 267, dtUInt8, 0, raReadOnly},
        {"OVRD", 1, 12, 268, dtUInt8, 0, raReadOnly},
        {"UNRD", 1, 13, 269, dtUInt8, 0, raReadOnly},
        {"EGRCALIBRATION", 1, 14, 270, dtUInt8, 0, raCommand},
        {"ECHCALIBRATION", 1, 15, 271, dtUInt8, 0, raCommand},
        {"CALIBRATION", 1, 16, 272, dtUInt8, 0, raCommand},
        {"CLBU", 1, 19, 276, dtUInt8, 0, raCommand},
        {"PRIOR1", 1, 29, 288, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"PRIOR2", 1, 30, 289, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"PRIOR3", 1, 31, 290, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"PRIOR4", 1, 32, 291, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"PRIOR5", 1, 33, 292, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"PRIOR6", 1, 34, 293, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"PRIOR7", 1, 35, 294, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"PRIOR8", 1, 36, 295, dtUInt8, 0, raConfig, {}, &EtaPriorities},
        {"INPTYPE1", 1, 21, 280, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"INPTYPE2", 1, 22, 281, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"INPTYPE3", 1, 23, 282, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"INPTYPE4", 1, 24, 283, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"INPTYPE5", 1, 25, 284, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"INPTYPE6", 1, 26, 285, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"INPTYPE7", 1, 27, 286, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"INPTYPE8", 1, 28, 287, dtUInt8, 0, raConfig, {}, &EtaInputTypes},
        {"FILTER1", 1, 37, 296, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER2", 1, 38, 297, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER3", 1, 39, 298, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER4", 1, 40, 299, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER5", 1, 41, 300, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER6", 1, 42, 301, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER7", 1, 43, 302, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER8", 1, 44, 303, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"MAPENABLE", 1, 45, 304, dtUInt8, 0, raConfig},
        {"HBS1", 1, 46, 305, dtSingle, 0, raConfig},
        {"LBS1", 1, 54, 321, dtSingle, 0, raConfig},
        {"HBT1", 1, 62, 337, dtSingle, 0, raConfig},
        {"LBT1", 1, 70, 353, dtSingle, 0, raConfig},
        {"HBS2", 1, 47, 307, dtSingle, 0, raConfig},
        {"LBS2", 1, 55, 323, dtSingle, 0, raConfig},
        {"HBT2", 1, 63, 339, dtSingle, 0, raConfig},
        {"LBT2", 1, 71, 355, dtSingle, 0, raConfig},
        {"HBS3", 1, 48, 309, dtSingle, 0, raConfig},
        {"LBS3", 1, 56, 325, dtSingle, 0, raConfig},
        {"HBT3", 1, 64, 341, dtSingle, 0, raConfig},
        {"LBT3", 1, 72, 357, dtSingle, 0, raConfig},
        {"HBS4", 1, 49, 311, dtSingle, 0, raConfig},
        {"LBS4", 1, 57, 327, dtSingle, 0, raConfig},
        {"HBT4", 1, 65, 343, dtSingle, 0, raConfig},
        {"LBT4", 1, 73, 359, dtSingle, 0, raConfig},
        {"HBS5", 1, 50, 313, dtSingle, 0, raConfig},
        {"LBS5", 1, 58, 329, dtSingle, 0, raConfig},
        {"HBT5", 1, 66, 345, dtSingle, 0, raConfig},
        {"LBT5", 1, 74, 361, dtSingle, 0, raConfig},
        {"HBS6", 1, 51, 315, dtSingle, 0, raConfig},
        {"LBS6", 1, 59, 331, dtSingle, 0, raConfig},
        {"HBT6", 1, 67, 347, dtSingle, 0, raConfig},
        {"LBT6", 1, 75, 363, dtSingle, 0, raConfig},
        {"HBS7", 1, 52, 317, dtSingle, 0, raConfig},
        {"LBS7", 1, 60, 333, dtSingle, 0, raConfig},
        {"HBT7", 1, 68, 349, dtSingle, 0, raConfig},
        {"LBT7", 1, 76, 365, dtSingle, 0, raConfig},
        {"HBS8", 1, 53, 319, dtSingle, 0, raConfig},
        {"LBS8", 1, 61, 335, dtSingle, 0, raConfig},
        {"HBT8", 1, 69, 351, dtSingle, 0, raConfig},
        {"LBT8", 1, 77, 367, dtSingle, 0, raConfig},
    }));
// clang-format on
static_assert(EtaRegisterMap.size() == 107);

// Channel registers (IFCH, ANALOGINPUT, PRIOR, INPTYPE, FILTER, HBS, LBS, HBT, LBT with 1..8)
// are found by FindRegister(prefix, channel).
class TprEta : public TprModel {
 public:
  explicit TprEta(TComponent* owner = nullptr);
};

#pragma once
// IOTA-04: 3-channel resistance-thermometer input module. The names of ETA-03 for three
// channels, without CJT, MAPENABLE and the HBS, LBS, HBT, LBT groups, at other addresses.
#include <array>

#include "models/prDevice.h"
#include "models/prMapRows.h"

// What the codes of the channel settings stand for: the thermometer's nominal resistance, and
// three polling priorities.
inline constexpr const char* IotaInputTypeItems[] = {
    "Ом, 50",
    "Ом, 100",
    "Ом, 200",
    "Ом, 500",
    "Ом, 1000",
};
inline constexpr TCodeList IotaInputTypes{IotaInputTypeItems};
inline constexpr const char* IotaPriorityItems[] = {"Нет опроса", "Низкий", "Высокий"};
inline constexpr TCodeList IotaPriorities{IotaPriorityItems};

// clang-format off
inline constexpr auto IotaRegisterMap = prmap::ModelMap<prmap::AnalogIndication>(
    std::to_array<TRegisterDef>({
        {"TINDICATION", 1, 2, 258, dtUInt8, 0, raConfig, prmap::IndicationTime},
        {"CHINDICATION", 1, 1, 257, dtUInt8, 0, raConfig},
        {"IFCH1", 1, 3, 259, dtUInt8, 0, raConfig},
        {"IFCH2", 1, 4, 260, dtUInt8, 0, raConfig},
        {"IFCH3", 1, 5, 261, dtUInt8, 0, raConfig},
        {"ANALOGINPUT1", 1, 22, 279, dtSingle, 0, raReadOnly, {}, nullptr, 3},
        {"ANALOGINPUT2", 1, 23, 281, dtSingle, 0, raReadOnly, {}, nullptr, 3},
        {"ANALOGINPUT3", 1, 24, 283, dtSingle, 0, raReadOnly, {}, nullptr, 3},
        {"TCOD", 1, 6, 262, dtUInt8, 0, raReadOnly},
        {"OVRD", 1, 7, 263, dtUInt8, 0, raReadOnly},
        {"UNRD", 1, 8, 264, dtUInt8, 0, raReadOnly},
        {"EGRCALIBRATION", 1, 9, 265, dtUInt8, 0, raCommand},
        {"ECHCALIBRATION", 1, 10, 266, dtUInt8, 0, raCommand},
        {"CALIBRATION", 1, 11, 267, dtUInt8, 0, raCommand},
        {"CLBU", 1, 12, 268, dtUInt8, 0, raCommand},
        {"PRIOR1", 1, 16, 273, dtUInt8, 0, raConfig, {}, &IotaPriorities},
        {"PRIOR2", 1, 17, 274, dtUInt8, 0, raConfig, {}, &IotaPriorities},
        {"PRIOR3", 1, 18, 275, dtUInt8, 0, raConfig, {}, &IotaPriorities},
        {"INPTYPE1", 1, 13, 270, dtUInt8, 0, raConfig, {}, &IotaInputTypes},
        {"INPTYPE2", 1, 14, 271, dtUInt8, 0, raConfig, {}, &IotaInputTypes},
        {"INPTYPE3", 1, 15, 272, dtUInt8, 0, raConfig, {}, &IotaInputTypes},
        {"FILTER1", 1, 19, 276, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER2", 1, 20, 277, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
        {"FILTER3", 1, 21, 278, dtUInt8, 0, raConfig, {}, &prmap::AnalogFilterList},
    }));
// clang-format on
static_assert(IotaRegisterMap.size() == 45);

// Channel registers (IFCH, ANALOGINPUT, PRIOR, INPTYPE, FILTER with 1..3) are found by
// FindRegister(prefix, channel).
class TprIota : public TprModel {
 public:
  explicit TprIota(TComponent* owner = nullptr);
};

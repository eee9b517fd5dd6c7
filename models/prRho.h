#pragma once
// RHO-05: 2-channel current and voltage output module.
#include <array>

#include "models/prDevice.h"
#include "models/prMapRows.h"

// What the codes of the channel settings stand for. Code 255 switches the channel off; a stored
// code of 4 or more shows as that item. Slew rate k limits the rate of change to
// 0.0625 * 2^(k-1) V/s or 0.125 * 2^(k-1) mA/s (0: at once).
inline constexpr const char* RhoOutputTypeItems[] = {
    "мА, 0...20",
    "мА, 4...20 ",
    "В, 0...10",
    "В, 0...5",
    "Канал отключен",
};
// A channel is switched off only at exactly this code.
inline constexpr int32_t RhoOutputOff = 255;
inline constexpr int32_t RhoOutputTypeCodes[] = {0, 1, 2, 3, RhoOutputOff};
inline constexpr TCodeList RhoOutputTypes{RhoOutputTypeItems, RhoOutputTypeCodes, 4};
inline constexpr const char* RhoSlewRateItems[] = {
    "Немедленно",
    "0,0625 В/с; 0,125 мА/с",
    "0,125 В/с; 0,25 мА/с",
    "0,25 В/с; 0,5 мА/с",
    "0,5 В/с; 1 мА/с",
    "1 В/с; 2 мА/с",
    "2 В/с; 4 мА/с",
    "4 В/с; 8 мА/с",
    "8 В/с; 16 мА/с",
    "16 В/с; 32 мА/с",
    "32 В/с; 64 мА/с",
    "64 В/с; 128 мА/с",
    "128 В/с; 256 мА/с",
    "256 В/с; 512 мА/с",
    "512 В/с; 1024 мА/с",
    "1024 В/с; 2048 мА/с",
};
inline constexpr TCodeList RhoSlewRates{RhoSlewRateItems};

// clang-format off
inline constexpr auto RhoRegisterMap = prmap::ModelMap<prmap::AnalogIndication>(
    std::to_array<TRegisterDef>({
        {"TINDICATION", 1, 2, 258, dtUInt8, 0, raConfig, prmap::IndicationTime},
        {"CHINDICATION", 1, 1, 257, dtUInt8, 0, raConfig},
        {"IFCH1", 1, 3, 259, dtUInt8, 0, raConfig},
        {"IFCH2", 1, 4, 260, dtUInt8, 0, raConfig},
        {"SETPOINTCH1", 1, 7, 263, dtSingle, 0, raLive, {}, nullptr, 3},
        {"SETPOINTCH2", 1, 15, 277, dtSingle, 0, raLive, {}, nullptr, 3},
        {"OUTPUTCH1", 1, 8, 265, dtSingle, 0, raReadOnly, {}, nullptr, 3},
        {"OUTPUTCH2", 1, 16, 279, dtSingle, 0, raReadOnly, {}, nullptr, 3},
        {"OUTPUTDGNS", 1, 24, 292, dtUInt8, 0, raReadOnly},
        {"TUNINGVALUECH1", 1, 12, 273, dtSingle, 0, raLive},
        {"TUNINGVALUECH2", 1, 20, 287, dtSingle, 0, raLive},
        {"TUNINGCH1", 1, 26, 294, dtUInt8, 0, raCommand},
        {"TUNINGCH2", 1, 27, 295, dtUInt8, 0, raCommand},
        {"TUNINGENABLE", 1, 25, 293, dtUInt8, 0, raCommand},
        {"SMSTS", 0, 20, 20, dtUInt8, 0, raReadOnly},
        {"OUTTYPE1", 1, 5, 261, dtUInt8, 0, raConfig, {}, &RhoOutputTypes},
        {"OUTTYPE2", 1, 13, 275, dtUInt8, 0, raConfig, {}, &RhoOutputTypes},
        {"SLEWRATE1", 1, 6, 262, dtUInt8, 0, raConfig, {}, &RhoSlewRates},
        {"SLEWRATE2", 1, 14, 276, dtUInt8, 0, raConfig, {}, &RhoSlewRates},
        {"OUTPUTPUPCH1", 1, 9, 267, dtSingle, 0, raConfig, {}, nullptr, 3},
        {"OUTPUTPUPCH2", 1, 17, 281, dtSingle, 0, raConfig, {}, nullptr, 3},
        {"OUTPUTSAFECH1", 1, 10, 269, dtSingle, 0, raConfig, {}, nullptr, 3},
        {"OUTPUTSAFECH2", 1, 18, 283, dtSingle, 0, raConfig, {}, nullptr, 3},
        {"SAVEDOUTPUTCH1", 1, 11, 271, dtSingle, 0, raReadOnly, {}, nullptr, 3},
        {"SAVEDOUTPUTCH2", 1, 19, 285, dtSingle, 0, raReadOnly, {}, nullptr, 3},
        {"OUTPUTCONTROL", 1, 23, 291, dtUInt8, 0, raConfig},
    }));
// clang-format on
static_assert(RhoRegisterMap.size() == 47);

// Channel registers (IFCH, TUNINGCH, OUTTYPE, SLEWRATE, SETPOINTCH, OUTPUTCH, TUNINGVALUECH,
// OUTPUTPUPCH, OUTPUTSAFECH, SAVEDOUTPUTCH with 1 or 2) are found by FindRegister(prefix, channel).
class TprRho : public TprModel {
 public:
  explicit TprRho(TComponent* owner = nullptr);
};

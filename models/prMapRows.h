#pragma once
// Building blocks of the register maps: the rows every model shares and the helpers that
// compose a model's table from them, so that no shared row is written twice.
#include <array>
#include <cstddef>
#include <string_view>

#include "comm/LineCodes.h"
#include "models/RegisterDefs.h"

namespace prmap {

// What the codes of the shared registers stand for, and their ranges.
inline constexpr TCodeList BaudList{BaudRateItems, BaudRateCodes};
inline constexpr TCodeList ParityList{ParityItems};
inline constexpr TValueRange BusAddress{1, 247};
// The input filters of the discrete modules; a code above 3 shows as the longest.
inline constexpr const char* DiscreteFilterItems[] = {"0 мс", "35 мс", "70 мс", "140 мс"};
inline constexpr TCodeList DiscreteFilterList{DiscreteFilterItems, {}, 3};
// The input filters of the analog input modules.
inline constexpr const char* AnalogFilterItems[] = {"0 (Отключен)", "1", "2", "3", "4", "5"};
inline constexpr TCodeList AnalogFilterList{AnalogFilterItems};
// Seconds the display of an analog module shows each channel.
inline constexpr TValueRange IndicationTime{1, 255};

// The module block every model declares, in declaration order.
inline constexpr std::array<TRegisterDef, 14> CommonRows{{
    {"SECNS", 0, 10, 10, dtUInt8, 0, raLive},
    {"MINTS", 0, 11, 11, dtUInt8, 0, raLive},
    {"HOURS", 0, 12, 12, dtUInt8, 0, raLive},
    {"DAYS", 0, 25, 25, dtUInt16, 0, raLive},
    {"MNAME", 0, 29, 36, dtString, 14, raConfig},
    {"MVERSION", 0, 28, 32, dtString, 6, raReadOnly},
    {"NETWDT", 0, 26, 26, dtUInt16, 0, raConfig},
    {"SLFDGNS", 0, 22, 22, dtUInt16, 0, raReadOnly},
    {"RSTSTATUS", 0, 31, 45, dtUInt8, 0, raCommand},
    {"NWDTSTATUS", 0, 32, 46, dtUInt8, 0, raCommand},
    {"NETADDR", 0, 16, 16, dtUInt8, 0, raConfig, BusAddress},
    {"NETBDRT", 0, 17, 17, dtUInt8, 0, raConfig, {}, &BaudList},
    {"MDBFMT", 0, 18, 18, dtUInt8, 0, raConfig, {}, &ParityList},
    {"DCSFMT", 0, 19, 19, dtUInt8, 0, raConfig},
}};

// Which optional indication registers a model has.
enum TIndicationFeature : unsigned {
  ifIcon3 = 1,    // third mode byte
  ifGroup2 = 2,   // second indicator group (GR2IND, GR2INDFL, GR2INDPH)
  ifDisplay = 4,  // text display
};
inline constexpr unsigned DiscreteIndication = ifGroup2;
inline constexpr unsigned EtaIndication = ifIcon3 | ifGroup2 | ifDisplay;
inline constexpr unsigned AnalogIndication = ifIcon3 | ifDisplay;

struct TIndicationRow {
  TRegisterDef Def;
  unsigned Needs;  // features a model must have to declare the row; 0: every model
};

// The indication registers in the order models declare them.
inline constexpr TIndicationRow IndicationRows[] = {
    {{"ICON1", 0, 1, 1, dtUInt8, 0, raConfig}, 0},
    {{"ICON2", 0, 2, 2, dtUInt8, 0, raConfig}, 0},
    {{"ICON3", 0, 3, 3, dtUInt8, 0, raConfig}, ifIcon3},
    {{"GR1IND", 0, 4, 4, dtUInt8, 0, raConfig}, 0},
    {{"GR2IND", 0, 6, 6, dtUInt8, 0, raConfig}, ifGroup2},
    {{"GR1INDFL", 0, 5, 5, dtUInt8, 0, raConfig}, 0},
    {{"GR2INDFL", 0, 7, 7, dtUInt8, 0, raConfig}, ifGroup2},
    {{"GR1INDPH", 0, 8, 8, dtUInt8, 0, raConfig}, 0},
    {{"GR2INDPH", 0, 9, 9, dtUInt8, 0, raConfig}, ifGroup2},
    {{"DISPLAY", 0, 27, 27, dtString, 8, raConfig}, ifDisplay},
};

constexpr bool Declares(const TIndicationRow& row, unsigned features) {
  return (row.Needs & ~features) == 0;
}

constexpr std::size_t IndicationCount(unsigned features) {
  std::size_t n = 0;
  for (const auto& row : IndicationRows) n += Declares(row, features) ? 1 : 0;
  return n;
}

// The indication rows of a model with these features, in declaration order.
template <unsigned Features>
constexpr auto Indication() {
  std::array<TRegisterDef, IndicationCount(Features)> out{};
  std::size_t i = 0;
  for (const auto& row : IndicationRows)
    if (Declares(row, Features)) out[i++] = row.Def;
  return out;
}

// The parts of a map, one after the other.
template <std::size_t... N>
constexpr auto Concat(const std::array<TRegisterDef, N>&... parts) {
  std::array<TRegisterDef, (N + ...)> out{};
  std::size_t i = 0;
  (([&] {
     for (const auto& row : parts) out[i++] = row;
   }()),
   ...);
  return out;
}

// A whole map: common block, the model's indication registers, then the model's own rows.
template <unsigned Features, std::size_t N>
constexpr auto ModelMap(const std::array<TRegisterDef, N>& own) {
  return Concat(CommonRows, Indication<Features>(), own);
}

// The row of a name in a map, for compile-time checks of the tables (a name the map lacks
// does not compile).
template <std::size_t N>
constexpr const TRegisterDef& Row(const std::array<TRegisterDef, N>& map, std::string_view name) {
  for (const auto& row : map)
    if (name == row.Name) return row;
  throw "no such register";
}

}  // namespace prmap

#pragma once
// The baud rates and parities of the line: as the port node keeps them, as a module's NETBDRT
// and MDBFMT registers code them and as the lists of the port page and the "RS-485" tab show
// them. One table each; the lists and the helpers below are read from it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// One baud rate the modules support: its list item, its bits per second, its NETBDRT code.
struct TBaudRateRow {
  const char* Text;
  int32_t Rate;
  int32_t Code;
};

inline constexpr TBaudRateRow BaudRates[] = {
    {"1200", 1200, 3},     {"2400", 2400, 4},     {"4800", 4800, 5},   {"9600", 9600, 6},
    {"19200", 19200, 7},   {"38400", 38400, 8},   {"57600", 57600, 9}, {"115200", 115200, 10},
};
inline constexpr size_t BaudRateCount = std::size(BaudRates);

namespace linecodes_detail {
template <class T, T TBaudRateRow::*Field>
constexpr std::array<T, BaudRateCount> Column() {
  std::array<T, BaudRateCount> out{};
  for (size_t i = 0; i < BaudRateCount; ++i) out[i] = BaudRates[i].*Field;
  return out;
}
}  // namespace linecodes_detail

// The list items of the baud rates and the NETBDRT code of each, in the table's order.
inline constexpr std::array<const char*, BaudRateCount> BaudRateItems =
    linecodes_detail::Column<const char*, &TBaudRateRow::Text>();
inline constexpr std::array<int32_t, BaudRateCount> BaudRateCodes =
    linecodes_detail::Column<int32_t, &TBaudRateRow::Code>();

// The item index of a rate in bits per second; -1 for a rate the list does not hold.
constexpr int BaudRateIndex(int32_t bitsPerSecond) {
  for (size_t i = 0; i < BaudRateCount; ++i)
    if (BaudRates[i].Rate == bitsPerSecond) return int(i);
  return -1;
}

// The rate of a list item; none for an index outside the list.
constexpr std::optional<int32_t> BaudRateAt(int index) {
  if (index < 0 || size_t(index) >= BaudRateCount) return std::nullopt;
  return BaudRates[index].Rate;
}

// The rate a NETBDRT code stands for; none for a code no rate has.
constexpr std::optional<int32_t> BaudRateOfCode(int32_t code) {
  for (const TBaudRateRow& row : BaudRates)
    if (row.Code == code) return row.Rate;
  return std::nullopt;
}

// The parity of the line. Its value is its MDBFMT code and the index of its list item.
enum class TLineParity : uint8_t { None, Odd, Even };

inline constexpr const char* ParityItems[] = {"Нет", "Нечетность", "Четность"};

constexpr int ParityIndex(TLineParity parity) { return int(parity); }

// The parity of a list item or MDBFMT code; none outside the list.
constexpr std::optional<TLineParity> ParityAt(int index) {
  if (index < 0 || size_t(index) >= std::size(ParityItems)) return std::nullopt;
  return TLineParity(index);
}

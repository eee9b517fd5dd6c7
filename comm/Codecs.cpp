#include "comm/Codecs.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "comm/Resources.h"

namespace {

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    uint16_t v = uint16_t(i);
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? uint16_t((v >> 1) ^ 0xA001) : uint16_t(v >> 1);
    table[i] = v;
  }
  return table;
}

constexpr std::array<uint8_t, 256> MakeCrc8Table() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    uint8_t v = uint8_t(i);
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? uint8_t((v >> 1) ^ 0x8C) : uint8_t(v >> 1);
    table[i] = v;
  }
  return table;
}

constexpr auto Crc16Table = MakeCrc16Table();
constexpr auto Crc8Table = MakeCrc8Table();
static_assert(Crc16Table[1] == 0xC0C1 && Crc16Table[2] == 0xC181 && Crc16Table[3] == 0x0140);
static_assert(Crc8Table[1] == 0x5E && Crc8Table[2] == 0xBC && Crc8Table[7] == 0x83);

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr const char* kNotAnInteger = "'%s' is not a valid integer value";
constexpr const char* kNotAFloat = "'%s' is not a valid floating point value";

std::string ConvertMessage(const char* pattern, const std::string& text) {
  std::string message = pattern;
  message.replace(message.find("%s"), 2, text);
  return message;
}

}  // namespace

EConvertError UnencodableTextError(const std::string& text) {
  return EConvertError(ConvertMessage("'%s' holds a character outside the module's code page", text));
}

uint16_t Crc16(const uint8_t* bytes, int count, uint16_t value) {
  for (int i = 0; i < count; ++i) value = Crc16Table[(bytes[i] ^ value) & 0xFF] ^ (value >> 8);
  return value;
}

uint8_t Crc8(const uint8_t* bytes, int count, uint8_t value) {
  for (int i = 0; i < count; ++i) value = Crc8Table[value ^ bytes[i]];
  return value;
}

void SealCrc8(uint8_t* frame, int length) {
  if (length >= 1) frame[length - 1] = Crc8(frame, length - 1, 0xFF);
}

void SealCrc16(uint8_t* frame, int length) {
  if (length < 2) return;
  const uint16_t crc = Crc16(frame, length - 2, 0xFFFF);
  frame[length - 2] = uint8_t(crc);
  frame[length - 1] = uint8_t(crc >> 8);
}

bool Crc8Sealed(const uint8_t* frame, int length) {
  return length >= 1 && frame[length - 1] == Crc8(frame, length - 1, 0xFF);
}

bool Crc16Sealed(const uint8_t* frame, int length) {
  if (length < 2) return false;
  const uint16_t crc = Crc16(frame, length - 2, 0xFFFF);
  return frame[length - 2] == uint8_t(crc) && frame[length - 1] == uint8_t(crc >> 8);
}

void SwapWords(uint8_t* buffer, int count) {
  for (int i = 0; i + 1 < count; i += 2) std::swap(buffer[i], buffer[i + 1]);
}

namespace {

// [blanks][sign]digits, nothing after, within lo..hi.
bool ParseDecimal(const std::string& text, int64_t lo, int64_t hi, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    v = v * 10 + (text[i] - '0');
    if (v > std::max(hi, -lo)) return false;
  }
  if (negative) v = -v;
  if (v > hi || v < lo) return false;
  value = v;
  return true;
}

}  // namespace

bool TryStrToInt(const std::string& text, int32_t& value) {
  int64_t v = 0;
  if (!ParseDecimal(text, INT32_MIN, INT32_MAX, v)) return false;
  value = int32_t(v);
  return true;
}

bool TryStrToUInt32(const std::string& text, uint32_t& value) {
  int64_t v = 0;
  if (!ParseDecimal(text, 0, UINT32_MAX, v)) return false;
  value = uint32_t(v);
  return true;
}

bool TryStrToFloat(const std::string& text, double& value) {
  // [blanks] [sign] digits [separator digits] [e [sign] digits] [blanks]; at least one
  // mantissa digit. The separator is "." or ",", whichever the locale shows: a user types
  // either, and no value takes a thousands separator that the other could be mistaken for.
  size_t i = 0, n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (n > i && IsBlank(text[n - 1])) --n;
  std::string plain;
  if (i < n && (text[i] == '+' || text[i] == '-')) plain += text[i++];
  int digits = 0;
  while (i < n && IsDigit(text[i])) plain += text[i++], ++digits;
  if (i < n && (text[i] == '.' || text[i] == ',')) {
    plain += '.';
    ++i;
    while (i < n && IsDigit(text[i])) plain += text[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    int expDigits = 0;
    while (i < n && IsDigit(text[i])) plain += text[i++], ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;
  double v = 0;
  const char* first = plain.data();
  if (*first == '+') ++first;
  auto [end, ec] = std::from_chars(first, plain.data() + plain.size(), v);
  if (end != plain.data() + plain.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Too large: an overflow is no valid number; an underflow is zero.
    if (std::abs(v) > 1.0 || plain.find("e-") == std::string::npos) return false;
    v = 0;
  } else if (ec != std::errc()) {
    return false;
  }
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t v = 0;
  if (!TryStrToInt(text, v))
    throw EConvertError(ConvertMessage(kNotAnInteger, text));
  return v;
}

double StrToFloat(const std::string& text) {
  double v = 0;
  if (!TryStrToFloat(text, v))
    throw EConvertError(ConvertMessage(kNotAFloat, text));
  return v;
}

namespace {
// The least magnitude that rounds to infinity in single precision: the largest single plus
// half of its last place.
constexpr double kSingleOverflow = 0x1.ffffff8p+127;
}  // namespace

float StrToSingle(const std::string& text) {
  const double v = StrToFloat(text);
  if (std::fabs(v) >= kSingleOverflow)
    throw EConvertError(ConvertMessage(kNotAFloat, text));
  return float(v);
}

bool FormatFixed(double value, int decimals, std::string& text) {
  if (!std::isfinite(value)) return false;
  char buffer[400];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                 decimals);
  if (ec != std::errc()) return false;
  text.assign(buffer, end);
  for (char& c : text)
    if (c == '.') c = FormatSettings().DecimalSeparator;
  return true;
}

void IntToHexChars(char* dest, const std::string& decimalText, int n) {
  static const char digits[] = "0123456789ABCDEF";
  uint32_t v = uint32_t(StrToInt(decimalText));
  std::string hex;
  do {
    hex.insert(hex.begin(), digits[v & 0xF]);
    v >>= 4;
  } while (v);
  while (int(hex.size()) < n) hex.insert(hex.begin(), '0');
  for (int i = 0; i < n; ++i) dest[i] = hex[i];
}

bool CheckSingleRange(const std::string& text) {
  double v = 0;
  if (!TryStrToFloat(text, v)) return true;
  // Beyond the single-precision range the conversion itself would be undefined.
  if (std::fabs(v) >= kSingleOverflow) return true;
  return std::fabs(float(v)) > 3.4e37f;
}

#pragma once
// Frame checksums, the Modbus word order and the conversions between value texts and numbers.
#include <cstdint>
#include <stdexcept>
#include <string>

// The number-conversion error: a value text that is not a valid number.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The error for a module text with a character the modules' code page has no byte for.
EConvertError UnencodableTextError(const std::string& text);

// CRC-16/MODBUS (reflected 0xA001, start 0xFFFF) over count bytes, continuing from value.
uint16_t Crc16(const uint8_t* bytes, int count, uint16_t value);
// CRC-8 (reflected 0x8C, start 0xFF) over count bytes, continuing from value.
uint8_t Crc8(const uint8_t* bytes, int count, uint8_t value);

// The frames' seals. A Vela frame of length bytes ends in the CRC-8 of the bytes before its
// last; a Modbus frame in the CRC-16 of the bytes before its last two, low byte first.
// Sealing writes the checksum into those bytes (nothing for a frame too short to hold it);
// the check tells whether they hold it (false for such a frame).
void SealCrc8(uint8_t* frame, int length);
void SealCrc16(uint8_t* frame, int length);
bool Crc8Sealed(const uint8_t* frame, int length);
bool Crc16Sealed(const uint8_t* frame, int length);

// Exchanges the two bytes of each whole 16-bit word among the first count bytes.
void SwapWords(uint8_t* buffer, int count);

// Writes the decimal text's number as upper-case hexadecimal of at least n digits and copies
// the first n characters to dest (no terminator). Raises EConvertError for a bad text.
void IntToHexChars(char* dest, const std::string& decimalText, int n);

// True when the text is no number or its single-precision magnitude exceeds 3.4e37.
bool CheckSingleRange(const std::string& text);

// Text to number with the locale's decimal separator; raise EConvertError with the exact
// messages "'%s' is not a valid integer value" / "'%s' is not a valid floating point value".
int32_t StrToInt(const std::string& text);
double StrToFloat(const std::string& text);
// A number for a single-precision register: one that would round to infinity in single
// precision is no valid floating point value either, as a number beyond double's range is not.
float StrToSingle(const std::string& text);
// Non-raising forms.
bool TryStrToInt(const std::string& text, int32_t& value);
bool TryStrToFloat(const std::string& text, double& value);
// 0..4294967295 in the integer form: the values of an unsigned 32-bit register.
bool TryStrToUInt32(const std::string& text, uint32_t& value);

// Fixed-point text with the given decimals and the locale's separator ("%.5f" style).
// Returns false for a value that cannot be shown (not finite).
bool FormatFixed(double value, int decimals, std::string& text);

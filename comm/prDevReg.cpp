#include "comm/prDevReg.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/Codecs.h"
#include "comm/WireText.h"

namespace {

constexpr int VelaSizes[9] = {1, 1, 1, 2, 2, 4, 4, 4, 8};
constexpr int ModbusSizes[9] = {2, 2, 2, 2, 2, 4, 4, 4, 8};
// The value buffer of the codecs; string texts longer than it can hold minus the NUL are cut.
constexpr int ValueBufferSize = 32;

int RegisterCount(const TModbusRecord& r) { return (r.Frame[4] << 8) | r.Frame[5]; }

// Integer text for the decoded value.
std::string IntText(int64_t v) { return std::to_string(v); }

uint32_t LittleEndian32(const uint8_t* b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// The text up to the first NUL of a buffer of the given size.
std::string TextUpToNul(const uint8_t* b, int size) {
  const void* nul = std::memchr(b, 0, size_t(size));
  return std::string(reinterpret_cast<const char*>(b),
                     nul ? size_t(static_cast<const uint8_t*>(nul) - b) : size_t(size));
}

// The number of a little-endian value of a numeric type code 0..8; false for another code.
bool NumericValue(int type, const uint8_t* b, double& value) {
  switch (type) {
    case dtBool: value = b[0] ? 1 : 0; return true;
    case dtUInt8: value = b[0]; return true;
    case dtInt8: value = int8_t(b[0]); return true;
    case dtUInt16: value = uint16_t(b[0] | b[1] << 8); return true;
    case dtInt16: value = int16_t(uint16_t(b[0] | b[1] << 8)); return true;
    case dtUInt32: value = LittleEndian32(b); return true;
    case dtInt32: value = int32_t(LittleEndian32(b)); return true;
    case dtSingle: {
      float f;
      std::memcpy(&f, b, 4);
      value = f;
      return true;
    }
    case dtDouble: {
      double d;
      std::memcpy(&d, b, 8);
      value = d;
      return true;
    }
  }
  return false;
}

// The value text of a number of the type: integers whole, singles with five decimals, doubles
// with eight; false for a number that cannot be shown (not finite).
bool NumberText(int type, double value, std::string& text) {
  if (type == dtSingle) return FormatFixed(value, 5, text);
  if (type == dtDouble) return FormatFixed(value, 8, text);
  text = IntText(int64_t(value));
  return true;
}

// The 32 bits of an integer text: any signed 32-bit value, and for an unsigned 32-bit register
// also the values above it, so that every value it shows can be written back.
uint32_t IntegerBits(const std::string& text, int type) {
  uint32_t v = 0;
  if (type == dtUInt32 && TryStrToUInt32(text, v)) return v;
  return uint32_t(StrToInt(text));
}

// The wire bytes of a string register's text; a character the modules' code page cannot
// hold is no valid text, and nothing is sent.
std::string WireBytes(const std::string& text) {
  std::string wire;
  if (!EncodeWireText(text, wire)) throw UnencodableTextError(text);
  return wire;
}

}  // namespace

int VelaSize(int dataType) { return dataType >= 0 && dataType < 9 ? VelaSizes[dataType] : 0; }
int ModbusSize(int dataType) { return dataType >= 0 && dataType < 9 ? ModbusSizes[dataType] : 0; }

TprDevReg::TprDevReg(TComponent* owner, const std::string& name) : TComponent(owner) {
  Name = name;
}

void TprDevReg::Setup(uint8_t address, uint8_t bank, uint8_t regNo, uint16_t modbusAddress,
                      int32_t strLength, uint8_t dataType) {
  VelaRead = {};
  VelaWrite = {};
  ModbusRead = {};
  ModbusWrite = {};
  const bool isString = dataType == dtString;
  const int velaSize = VelaSize(dataType);
  const int modbusSize = ModbusSize(dataType);

  VelaRead.Frame[0] = address;
  VelaRead.Frame[1] = bank;
  VelaRead.Frame[2] = regNo;
  VelaRead.Frame[3] = 0x00;
  VelaRead.RequestLength = 5;
  VelaRead.ReplyLength = isString ? 38 : velaSize + 6;

  VelaWrite.Frame[0] = address;
  VelaWrite.Frame[1] = bank;
  VelaWrite.Frame[2] = regNo;
  VelaWrite.Frame[3] = 0x01;
  VelaWrite.Frame[4] = uint8_t(dataType | 0xC0);
  VelaWrite.ReplyLength = 5;
  VelaWrite.RequestLength = isString ? 38 : velaSize + 6;

  const int readCount = isString ? (strLength + 2) / 2 : modbusSize / 2;
  ModbusRead.Frame[0] = address;
  ModbusRead.Frame[1] = 0x03;
  ModbusRead.Frame[2] = uint8_t(modbusAddress >> 8);
  ModbusRead.Frame[3] = uint8_t(modbusAddress);
  ModbusRead.Frame[4] = uint8_t(readCount >> 8);
  ModbusRead.Frame[5] = uint8_t(readCount);
  ModbusRead.RequestLength = 8;
  ModbusRead.ReplyLength = isString ? strLength + 7 : modbusSize + 5;
  ModbusRead.DataType = dataType;
  ModbusRead.StrLength = strLength;

  const int writeCount = isString ? strLength / 2 : modbusSize / 2;
  ModbusWrite.Frame[0] = address;
  ModbusWrite.Frame[1] = 0x10;
  ModbusWrite.Frame[2] = uint8_t(modbusAddress >> 8);
  ModbusWrite.Frame[3] = uint8_t(modbusAddress);
  ModbusWrite.Frame[4] = uint8_t(writeCount >> 8);
  ModbusWrite.Frame[5] = uint8_t(writeCount);
  ModbusWrite.Frame[6] = uint8_t(isString ? strLength : modbusSize);
  ModbusWrite.RequestLength = isString ? strLength + 9 : modbusSize + 9;
  ModbusWrite.ReplyLength = 8;
  ModbusWrite.DataType = dataType;
  ModbusWrite.StrLength = strLength;
}

void SealRequest(TVelaRecord& request) {
  SealCrc8(request.Frame, std::clamp<int>(request.RequestLength, 1, int(sizeof request.Frame)));
}

void SealRequest(TModbusRecord& request) {
  SealCrc16(request.Frame, std::clamp<int>(request.RequestLength, 2, int(sizeof request.Frame)));
}

void TprDevReg::SealVelaRead() { SealRequest(VelaRead); }

void TprDevReg::SealModbusRead() { SealRequest(ModbusRead); }

void TprDevReg::EncodeVelaWrite(const std::string& text) {
  uint8_t value[ValueBufferSize + 8] = {};
  std::string wire;
  const int type = VelaWrite.Frame[4] & 0x0F;
  switch (type) {
    case dtBool: value[0] = StrToFloat(text) >= 0.5 ? 0xFF : 0x00; break;
    case dtSingle: {
      const float f = StrToSingle(text);
      std::memcpy(value, &f, 4);
      break;
    }
    case dtDouble: {
      const double d = StrToFloat(text);
      std::memcpy(value, &d, 8);
      break;
    }
    case dtString:
      // The text and its NUL must fit the value buffer; a longer text is cut.
      wire = WireBytes(text);
      std::memcpy(value, wire.data(), std::min<size_t>(wire.size(), ValueBufferSize - 1));
      break;
    default: {
      const uint32_t v = IntegerBits(text, type);
      for (int i = 0; i < 4; ++i) value[i] = uint8_t(v >> (8 * i));
    }
  }
  if (type <= dtDouble) {
    const int size = VelaSize(type);
    std::memcpy(VelaWrite.Frame + 5, value, size_t(size));
    VelaWrite.RequestLength = size + 6;
  } else if (type == dtString) {
    const int length = int(std::min<size_t>(wire.size(), ValueBufferSize - 1));
    std::memcpy(VelaWrite.Frame + 5, value, size_t(length + 1));
    VelaWrite.RequestLength = length + 7;
  }
  SealRequest(VelaWrite);
}

bool VelaReplyAccepted(const TVelaRecord& reply, const TVelaRecord& request) {
  const int n = reply.RequestLength;
  // Header (5 bytes) and CRC at the least, within the frame, and no more data than the value
  // buffer takes.
  if (n < 6 || n > int(sizeof reply.Frame) || n - 6 > ValueBufferSize) return false;
  if (!Crc8Sealed(reply.Frame, n)) return false;
  if (std::memcmp(reply.Frame, request.Frame, 4) != 0) return false;
  const int type = reply.Frame[4] & 0x0F;
  if (type > dtString) return false;
  if (type == dtString) return reply.Frame[n - 2] == 0x00;
  return n == VelaSize(type) + 6;
}

void TprDevReg::SetValue(std::string text) {
  ValueText = std::move(text);
  HasNumber = TryStrToFloat(ValueText, Number);
}

bool TprDevReg::IntegerValue(int32_t& value) const {
  if (!HasNumber || Number != std::trunc(Number) || Number < INT32_MIN || Number > INT32_MAX)
    return false;
  value = int32_t(Number);
  return true;
}

bool TprDevReg::Decoded(int type, double value) {
  std::string text;
  if (!NumberText(type, value, text)) return false;
  ValueText = std::move(text);
  Number = value;
  HasNumber = true;
  return true;
}

bool TprDevReg::DecodeVelaReply(const TVelaRecord& reply) {
  ValueText.clear();
  HasNumber = false;
  if (!VelaReplyAccepted(reply, VelaRead)) return false;
  const int n = reply.RequestLength;
  const int type = reply.Frame[4] & 0x0F;
  uint8_t value[ValueBufferSize] = {};
  if (type == dtString) {
    std::memcpy(value, reply.Frame + 5, size_t(n - 6));
    ValueText = DecodeWireText(TextUpToNul(value, n - 6));
    return true;
  }
  std::memcpy(value, reply.Frame + 5, size_t(VelaSize(type)));
  double number = 0;
  if (NumericValue(type, value, number)) Decoded(type, number);
  return true;
}

bool TprDevReg::CheckVelaWriteReply(const TVelaRecord& reply) const {
  if (reply.RequestLength != 5) return false;
  return Crc8Sealed(reply.Frame, 5) && std::memcmp(reply.Frame, VelaWrite.Frame, 4) == 0;
}

void TprDevReg::EncodeModbusWrite(const std::string& text) {
  // Big enough for the longest string the frame can carry, zero-padded.
  uint8_t value[sizeof ModbusWrite.Frame] = {};
  const int type = ModbusWrite.DataType;
  switch (type) {
    case dtUInt8:
    case dtInt8:
    case dtUInt16:
    case dtInt16: {
      const uint16_t v = uint16_t(StrToInt(text));
      value[0] = uint8_t(v >> 8);
      value[1] = uint8_t(v);
      break;
    }
    case dtUInt32:
    case dtInt32: {
      const uint32_t v = IntegerBits(text, type);
      std::memcpy(value, &v, 4);
      SwapWords(value, 4);
      break;
    }
    case dtSingle: {
      const float f = StrToSingle(text);
      std::memcpy(value, &f, 4);
      SwapWords(value, 4);
      break;
    }
    case dtString: {
      const std::string wire = WireBytes(text);
      std::memcpy(value, wire.data(), std::min<size_t>(wire.size(), ValueBufferSize - 1));
      SwapWords(value, ValueBufferSize);
      break;
    }
    default:
      break;
  }
  if (type < dtString) {
    std::memcpy(ModbusWrite.Frame + 7, value, size_t(ModbusSize(type)));
  } else if (type == dtString) {
    // Data, byte count and CRC must stay inside the frame.
    const int length = std::clamp<int>(ModbusWrite.StrLength, 0, int(sizeof ModbusWrite.Frame) - 9);
    std::memcpy(ModbusWrite.Frame + 7, value, size_t(length));
    ModbusWrite.Frame[4] = uint8_t((length / 2) >> 8);
    ModbusWrite.Frame[5] = uint8_t(length / 2);
    ModbusWrite.Frame[6] = uint8_t(length);
    ModbusWrite.RequestLength = length + 9;
  }
  SealRequest(ModbusWrite);
}

bool ModbusReplyAccepted(const TModbusRecord& reply, const TModbusRecord& request) {
  const int n = reply.RequestLength;
  if (n < 5 || n > int(sizeof reply.Frame)) return false;
  if (!Crc16Sealed(reply.Frame, n)) return false;
  if (reply.Frame[0] != request.Frame[0] || reply.Frame[1] != request.Frame[1]) return false;
  if (reply.Frame[2] != 2 * RegisterCount(request)) return false;
  return n == reply.Frame[2] + 5;
}

bool TprDevReg::DecodeModbusReply(const TModbusRecord& reply) {
  ValueText.clear();
  HasNumber = false;
  if (!ModbusReplyAccepted(reply, ModbusRead)) return false;
  const int byteCount = reply.Frame[2];
  const int type = ModbusRead.DataType;
  uint8_t value[ValueBufferSize + 1] = {};
  if (type == dtString) {
    std::memcpy(value, reply.Frame + 3, size_t(std::min(byteCount, ValueBufferSize)));
    SwapWords(value, ValueBufferSize);
    // The read takes one register more than the text holds, for its NUL: a module that fills
    // it shows no more than the register holds (and a write can carry back).
    ValueText = DecodeWireText(
        TextUpToNul(value, std::clamp(ModbusRead.StrLength, 0, ValueBufferSize - 1)));
    return true;
  }
  std::memcpy(value, reply.Frame + 3, size_t(std::min(byteCount, ModbusSize(type))));
  switch (type) {
    case dtUInt8:
    case dtUInt16: Decoded(type, uint16_t(value[0] << 8 | value[1])); break;
    case dtInt8: Decoded(type, int8_t(value[1])); break;
    case dtInt16: Decoded(type, int16_t(uint16_t(value[0] << 8 | value[1]))); break;
    case dtUInt32:
    case dtInt32:
    case dtSingle: {
      SwapWords(value, 4);
      uint32_t v;
      std::memcpy(&v, value, 4);
      if (type == dtUInt32) {
        Decoded(type, v);
      } else if (type == dtInt32) {
        Decoded(type, int32_t(v));
      } else {
        float f;
        std::memcpy(&f, value, 4);
        if (!Decoded(type, f)) return false;
      }
      break;
    }
    default: break;  // dtBool and dtDouble have no Modbus encoding.
  }
  return true;
}

bool TprDevReg::CheckModbusWriteReply(const TModbusRecord& reply) const {
  if (reply.RequestLength != 8) return false;
  return Crc16Sealed(reply.Frame, 8) && std::memcmp(reply.Frame, ModbusWrite.Frame, 6) == 0;
}

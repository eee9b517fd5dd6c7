#pragma once
// Replies the decoders must reject, each against the register it answers: the decoder tests
// check them and the fuzz seed corpus starts from them. A fault the fuzzer finds becomes a row.
#include <cstdint>
#include <cstring>
#include <vector>

#include "comm/Codecs.h"
#include "comm/prDevReg.h"

namespace codec_cases {

struct TIdentity {
  uint8_t Address, Bank, RegNo;
  uint16_t ModbusAddress;
  int32_t StrLength;
  uint8_t DataType;
  void SetUp(TprDevReg& r) const {
    r.Setup(Address, Bank, RegNo, ModbusAddress, StrLength, DataType);
  }
};

struct TBrokenReply {
  const char* What;
  TIdentity Reg;
  std::vector<uint8_t> Bytes;  // the frame, without its checksum when Seal is set
  bool Seal = true;
  int32_t Length = -1;  // bytes received; -1: as many as the frame has
};

inline TVelaRecord VelaReply(std::vector<uint8_t> bytes, bool seal = true, int32_t length = -1) {
  TVelaRecord r{};
  if (seal) bytes.push_back(Crc8(bytes.data(), int(bytes.size()), 0xFF));
  if (!bytes.empty()) std::memcpy(r.Frame, bytes.data(), bytes.size());
  r.RequestLength = length < 0 ? int32_t(bytes.size()) : length;
  return r;
}

inline TModbusRecord ModbusReply(std::vector<uint8_t> bytes, bool seal = true,
                                 int32_t length = -1) {
  TModbusRecord r{};
  if (seal) {
    const uint16_t crc = Crc16(bytes.data(), int(bytes.size()), 0xFFFF);
    bytes.push_back(uint8_t(crc));
    bytes.push_back(uint8_t(crc >> 8));
  }
  if (!bytes.empty()) std::memcpy(r.Frame, bytes.data(), bytes.size());
  r.RequestLength = length < 0 ? int32_t(bytes.size()) : length;
  return r;
}

inline TVelaRecord VelaReply(const TBrokenReply& c) { return VelaReply(c.Bytes, c.Seal, c.Length); }
inline TModbusRecord ModbusReply(const TBrokenReply& c) {
  return ModbusReply(c.Bytes, c.Seal, c.Length);
}

constexpr TIdentity VelaName{1, 0, 29, 36, 14, dtString};
constexpr TIdentity ModbusCounter{1, 0, 25, 25, 0, dtUInt16};

inline const std::vector<TBrokenReply>& BrokenVelaReplies() {
  static const std::vector<TBrokenReply> rows{
      {"empty", VelaName, {}, false},
      {"string without NUL", VelaName, {0x01, 0x00, 0x1D, 0x00, 0xC9, 'E', 'T', 'A'}},
      {"bad crc", VelaName, {0x01, 0x00, 0x1D, 0x00, 0xC9, 'E', 0, 0x00}, false},
      {"other register", VelaName, {0x01, 0x00, 0x1C, 0x00, 0xC9, 'E', 0}},
      {"write echo", VelaName, {0x01, 0x00, 0x1D, 0x01, 0xC9, 'E', 0}},
      {"type 10", VelaName, {0x01, 0x00, 0x1D, 0x00, 0xCA, 'E', 0}},
      {"length off for uint16", VelaName, {0x01, 0x00, 0x1D, 0x00, 0xC3, 1, 2, 3}},
  };
  return rows;
}

inline const std::vector<TBrokenReply>& BrokenModbusReplies() {
  static const std::vector<TBrokenReply> rows{
      {"empty", ModbusCounter, {}, false},
      {"bad crc", ModbusCounter, {0x01, 0x03, 0x02, 0x00, 0x01, 0x00, 0x00}, false},
      {"other address", ModbusCounter, {0x02, 0x03, 0x02, 0x00, 0x01}},
      {"exception", ModbusCounter, {0x01, 0x83, 0x02}},
      {"byte count", ModbusCounter, {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x00}},
      {"length", ModbusCounter, {0x01, 0x03, 0x02, 0x00, 0x01, 0x00}},
  };
  return rows;
}

}  // namespace codec_cases

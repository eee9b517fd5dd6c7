#pragma once
// The layout of the fuzz inputs, shared by the targets and by the program that writes their
// seed corpora: a few leading bytes choose the register, the decimal separator and the length
// of the reply; the rest is the frame or the text. Reference checksums, computed bit by bit
// apart from the table-driven ones under test, and the check that aborts on a broken property.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "comm/Codecs.h"
#include "comm/WireText.h"
#include "comm/prDevReg.h"
#include "models/prDevice.h"

namespace fuzz {

// A broken property is a finding: say which and abort, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, const char* condition, const std::string& detail) {
  std::fprintf(stderr, "\n*** property broken: %s\n    (%s) %s\n", what, condition, detail.c_str());
  std::abort();
}
#define FUZZ_CHECK(cond, what, detail)              \
  do {                                              \
    if (!(cond)) ::fuzz::Fail(what, #cond, detail); \
  } while (0)

// What a finding reports about its input, made only when a property breaks.
class TDetail {
 public:
  template <class F>
  explicit TDetail(F make) : Make(std::move(make)) {}
  operator std::string() const { return Make(); }
  std::string operator+(const std::string& more) const { return Make() + more; }

 private:
  std::function<std::string()> Make;
};

// Reads the input from the front; bytes past its end read as zero.
class TReader {
 public:
  TReader(const uint8_t* data, size_t size) : Data(data), Size(size) {}
  uint8_t Byte() { return Pos < Size ? Data[Pos++] : 0; }
  uint16_t Word() { return uint16_t(Byte() << 8 | Byte()); }
  int32_t Int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(Byte()) << (8 * i);
    return int32_t(v);
  }
  size_t Left() const { return Size - Pos; }
  std::vector<uint8_t> Take(size_t n) {
    n = std::min(n, Left());
    std::vector<uint8_t> bytes(Data + Pos, Data + Pos + n);
    Pos += n;
    return bytes;
  }
  std::vector<uint8_t> Rest() { return Take(Left()); }

 private:
  const uint8_t* Data;
  size_t Size;
  size_t Pos = 0;
};

// The identity a register is set up with: a row of a model's register table, or any identity
// at all (type codes beyond dtString, negative or oversized string lengths).
struct TRegisterPick {
  uint8_t Address = 1, Bank = 0, RegNo = 0;
  uint16_t ModbusAddress = 0;
  int32_t StrLength = 0;
  uint8_t DataType = 0;
  bool FromTable = false;

  void SetUp(TprDevReg& r, int dataType = -1) const {
    r.Setup(Address, Bank, RegNo, ModbusAddress, StrLength,
            uint8_t(dataType < 0 ? DataType : dataType));
  }
  std::string Describe() const {
    return "register type " + std::to_string(DataType) + " length " + std::to_string(StrLength) +
           " at " + std::to_string(Address) + " bank " + std::to_string(Bank) + " no " +
           std::to_string(RegNo) + " modbus " + std::to_string(ModbusAddress);
  }
};

// [model][row][address]; model % 6 == 0 is followed by a raw identity:
// [type][length high][length low][bank][regNo][modbus high][modbus low].
inline TRegisterPick ReadRegister(TReader& in) {
  TRegisterPick p;
  const int model = in.Byte() % ModelCount;
  const int row = in.Byte();
  p.Address = in.Byte();
  if (model == 0) {
    p.DataType = in.Byte();
    p.StrLength = int16_t(in.Word());
    p.Bank = in.Byte();
    p.RegNo = in.Byte();
    p.ModbusAddress = in.Word();
    return p;
  }
  const auto map = RegisterMap(model);
  const TRegisterDef& d = map[size_t(row) % map.size()];
  p.Bank = d.Bank;
  p.RegNo = d.RegNo;
  p.ModbusAddress = d.ModbusAddress;
  p.StrLength = d.StrLength;
  p.DataType = d.DataType;
  p.FromTable = true;
  return p;
}

inline std::vector<uint8_t> TableRegisterBytes(int model, int row, uint8_t address) {
  return {uint8_t(model), uint8_t(row), address};
}

inline std::vector<uint8_t> RawRegisterBytes(const TRegisterPick& p) {
  const uint16_t length = uint16_t(int16_t(p.StrLength));
  return {0,
          0,
          p.Address,
          p.DataType,
          uint8_t(length >> 8),
          uint8_t(length),
          p.Bank,
          p.RegNo,
          uint8_t(p.ModbusAddress >> 8),
          uint8_t(p.ModbusAddress)};
}

// [separator]: odd gives the comma, even the point.
// Module texts travel one byte per character in the modules' code page: a text can be written
// exactly when every character has a byte there. The code page's one undefined byte reads back
// as a replacement character, which no write can carry.
inline bool WireEncodable(const std::string& text) {
  std::string wire;
  return EncodeWireText(text, wire);
}
inline size_t WireLength(const std::string& text) {
  std::string wire;
  EncodeWireText(text, wire);
  return wire.size();
}

inline char ReadSeparator(TReader& in) { return in.Byte() & 1 ? ',' : '.'; }

// Reference checksums, bit by bit.
inline uint16_t BitCrc16(const uint8_t* b, int n) {
  uint16_t v = 0xFFFF;
  for (int i = 0; i < n; ++i) {
    v ^= b[i];
    for (int k = 0; k < 8; ++k) v = (v & 1) ? uint16_t((v >> 1) ^ 0xA001) : uint16_t(v >> 1);
  }
  return v;
}

inline uint8_t BitCrc8(const uint8_t* b, int n) {
  uint8_t v = 0xFF;
  for (int i = 0; i < n; ++i) {
    v ^= b[i];
    for (int k = 0; k < 8; ++k) v = (v & 1) ? uint8_t((v >> 1) ^ 0x8C) : uint8_t(v >> 1);
  }
  return v;
}

// Puts the right checksum into the last bytes of a received reply.
inline void SealReply(TVelaRecord& r) {
  const int n = r.RequestLength;
  if (n >= 1 && n <= int(sizeof r.Frame)) r.Frame[n - 1] = BitCrc8(r.Frame, n - 1);
}
inline void SealReply(TModbusRecord& r) {
  const int n = r.RequestLength;
  if (n < 2 || n > int(sizeof r.Frame)) return;
  const uint16_t crc = BitCrc16(r.Frame, n - 2);
  r.Frame[n - 2] = uint8_t(crc);
  r.Frame[n - 1] = uint8_t(crc >> 8);
}

// [mode][frame...] as a reply record: the frame bytes given (cut to the record's frame) and, as
// RequestLength, their count. Mode 0xA5 puts a raw RequestLength (4 bytes) before the frame, so
// that counts beyond the frame and negative ones are tried too; any other odd mode has the
// checksum put right, so that the fuzzer reaches past the checksum test without having to
// solve it (even modes leave the checksum as given).
constexpr uint8_t RawLengthMode = 0xA5;

template <class TRecord>
TRecord ReadReply(TReader& in) {
  TRecord r{};
  const uint8_t mode = in.Byte();
  const bool raw = mode == RawLengthMode;
  const int32_t rawLength = raw ? in.Int32() : 0;
  const std::vector<uint8_t> bytes = in.Take(sizeof r.Frame);
  if (!bytes.empty()) std::memcpy(r.Frame, bytes.data(), bytes.size());
  r.RequestLength = raw ? rawLength : int32_t(bytes.size());
  if (!raw && (mode & 1)) SealReply(r);
  return r;
}

inline std::vector<uint8_t> ReplyBytes(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> out{0};
  out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

inline bool Crc16Right(const uint8_t* frame, int n) {
  if (n < 2) return false;
  const uint16_t crc = BitCrc16(frame, n - 2);
  return frame[n - 2] == uint8_t(crc) && frame[n - 1] == uint8_t(crc >> 8);
}

inline bool Crc8Right(const uint8_t* frame, int n) {
  return n >= 1 && BitCrc8(frame, n - 1) == frame[n - 1];
}

// Appends the checksum of the frame as it stands.
inline void SealCrc16(std::vector<uint8_t>& frame) {
  const uint16_t crc = BitCrc16(frame.data(), int(frame.size()));
  frame.push_back(uint8_t(crc));
  frame.push_back(uint8_t(crc >> 8));
}
inline void SealCrc8(std::vector<uint8_t>& frame) {
  frame.push_back(BitCrc8(frame.data(), int(frame.size())));
}

// Bytes a value of a type code takes in a Vela frame, from the line format (0 for dtString).
inline int VelaValueBytes(int type) {
  static constexpr int sizes[9] = {1, 1, 1, 2, 2, 4, 4, 4, 8};
  return type >= 0 && type < 9 ? sizes[type] : 0;
}

// The read reply of a module holding the value just encoded into the register's Vela write.
inline TVelaRecord VelaReplyOfWrite(const TprDevReg& r) {
  std::vector<uint8_t> f(r.VelaWrite.Frame, r.VelaWrite.Frame + r.VelaWrite.RequestLength - 1);
  f[3] = 0x00;
  SealCrc8(f);
  TVelaRecord reply{};
  std::memcpy(reply.Frame, f.data(), f.size());
  reply.RequestLength = int32_t(f.size());
  return reply;
}

inline int ReadCount(const TprDevReg& r) {
  return r.ModbusRead.Frame[4] << 8 | r.ModbusRead.Frame[5];
}

// The read reply of a module holding the registers just written over Modbus: the written
// words, then zero words for the rest of the read (the string's closing NUL).
inline TModbusRecord ModbusReplyOfWrite(const TprDevReg& r) {
  const int written = r.ModbusWrite.Frame[6];
  std::vector<uint8_t> f{r.ModbusRead.Frame[0], 0x03, uint8_t(2 * ReadCount(r))};
  f.insert(f.end(), r.ModbusWrite.Frame + 7, r.ModbusWrite.Frame + 7 + written);
  f.resize(size_t(3 + 2 * ReadCount(r)), 0);
  SealCrc16(f);
  TModbusRecord reply{};
  std::memcpy(reply.Frame, f.data(), std::min(f.size(), sizeof reply.Frame));
  reply.RequestLength = int32_t(f.size());
  return reply;
}

// A value text read: written into echo's write, answered by a module that took it, and decoded
// again, it must read back the same.
inline void CheckWritesBack(TprDevReg& echo, const std::string& text, bool vela,
                            const TDetail& detail) {
  try {
    if (vela)
      echo.EncodeVelaWrite(text);
    else
      echo.EncodeModbusWrite(text);
  } catch (const EConvertError& e) {
    Fail("a value read cannot be written back", e.what(), detail);
  }
  bool accepted;
  if (vela) {
    echo.SealVelaRead();
    accepted = echo.DecodeVelaReply(VelaReplyOfWrite(echo));
  } else {
    echo.SealModbusRead();
    accepted = echo.DecodeModbusReply(ModbusReplyOfWrite(echo));
  }
  FUZZ_CHECK(accepted, "the reply of the value written is rejected", detail + " text '" + text + "'");
  FUZZ_CHECK(echo.ValueText == text, "the value written reads back otherwise",
             detail + " text '" + text + "' then '" + echo.ValueText + "'");
}

inline std::string Hex(const uint8_t* b, int n) {
  std::string s;
  char two[4];
  for (int i = 0; i < std::clamp(n, 0, 300); ++i) {
    std::snprintf(two, sizeof two, "%02X ", b[i]);
    s += two;
  }
  return s;
}

}  // namespace fuzz

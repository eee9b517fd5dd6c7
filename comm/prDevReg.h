#pragma once
// One module register: its request records for both working protocols and the text of the
// value last read.
#include <cstdint>
#include <string>

#include "comm/Component.h"

struct TRegisterDef;

enum TprDataType : uint8_t {
  dtBool = 0,
  dtUInt8 = 1,
  dtInt8 = 2,
  dtUInt16 = 3,
  dtInt16 = 4,
  dtUInt32 = 5,
  dtInt32 = 6,
  dtSingle = 7,
  dtDouble = 8,
  dtString = 9,
};

// Bytes a value of the type takes on the line; 0 for dtString (handled apart) and bad codes.
int VelaSize(int dataType);
int ModbusSize(int dataType);

// A request record holds one frame and the lengths of the exchange. A zero-filled record of
// the same kind receives the reply: RequestLength then counts the bytes received.
struct TVelaRecord {
  int32_t RequestLength;
  int32_t ReplyLength;
  uint8_t Frame[40];
};

struct TModbusRecord {
  int32_t RequestLength;
  int32_t ReplyLength;
  uint8_t DataType;
  int32_t StrLength;
  uint8_t Frame[256];
};

struct TDcsRecord {
  int32_t RequestLength;
  int32_t ReplyLength;
  uint8_t Frame[256];
};

// Seals the first RequestLength bytes of a request frame with its protocol's checksum; a
// length outside the frame is taken as the frame's size, one too short as the checksum's.
void SealRequest(TVelaRecord& request);
void SealRequest(TModbusRecord& request);

class TprDevReg : public TComponent {
 public:
  explicit TprDevReg(TComponent* owner = nullptr, const std::string& name = {});

  // Rebuilds the Vela and Modbus read and write records for this identity. Checksums are not
  // computed here: reads are sealed before each exchange, writes after encoding.
  void Setup(uint8_t address, uint8_t bank, uint8_t regNo, uint16_t modbusAddress,
             int32_t strLength, uint8_t dataType);

  void SealVelaRead();
  // Raises EConvertError for a text that is not a number of the register's kind.
  void EncodeVelaWrite(const std::string& text);
  bool DecodeVelaReply(const TVelaRecord& reply);
  bool CheckVelaWriteReply(const TVelaRecord& reply) const;

  void SealModbusRead();
  void EncodeModbusWrite(const std::string& text);
  bool DecodeModbusReply(const TModbusRecord& reply);
  bool CheckModbusWriteReply(const TModbusRecord& reply) const;

  TVelaRecord VelaRead{};
  TVelaRecord VelaWrite{};
  TModbusRecord ModbusRead{};
  TModbusRecord ModbusWrite{};
  TDcsRecord DcsRead{};
  TDcsRecord DcsWrite{};
  // The value last read as text, and its number as decoded (HasNumber false for a text
  // register, a failed read, or a value that is no finite number).
  std::string ValueText;
  double Number = 0;
  bool HasNumber = false;
  // Sets the value text and the number it stands for (a value not read from the module: a
  // test's, or one carried over from another copy of the register).
  void SetValue(std::string text);
  // The decoded number as an integer; false when there is none or it is no 32-bit integer.
  bool IntegerValue(int32_t& value) const;
  // Its row of the register map (nullptr for a register outside a model's map).
  const TRegisterDef* Def = nullptr;

 private:
  // Keeps a decoded number and its value text; false when the number cannot be shown.
  bool Decoded(int type, double value);
};

// Delivers the accept flag and the value byte of a search probe reply.
bool VelaReplyAccepted(const TVelaRecord& reply, const TVelaRecord& request);
bool ModbusReplyAccepted(const TModbusRecord& reply, const TModbusRecord& request);

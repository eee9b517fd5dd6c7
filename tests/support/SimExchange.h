#pragma once
// Test helpers: one register exchange between the master's request records (TprDevReg) and a
// simulated bus, without a serial line in between.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/Codecs.h"
#include "comm/prDevReg.h"
#include "sim/SimBus.h"

namespace simtest {

// The reply of the bus to a frame, or nothing.
inline std::optional<std::vector<uint8_t>> Ask(TSimBus& bus, const uint8_t* frame, int n,
                                               int64_t nowMs = 0, const TSimLine& line = {}) {
  auto reply = bus.Serve(frame, n, nowMs, line);
  if (!reply) return std::nullopt;
  return reply->Bytes;
}

inline std::optional<std::vector<uint8_t>> Ask(TSimBus& bus, const std::vector<uint8_t>& frame,
                                               int64_t nowMs = 0, const TSimLine& line = {}) {
  return Ask(bus, frame.data(), int(frame.size()), nowMs, line);
}

template <class TRecord>
TRecord ReplyRecord(const std::optional<std::vector<uint8_t>>& bytes) {
  TRecord reply{};
  if (bytes) {
    const size_t n = std::min(bytes->size(), sizeof reply.Frame);
    std::memcpy(reply.Frame, bytes->data(), n);
    reply.RequestLength = int32_t(n);
  }
  return reply;
}

// Reads the register over Vela or Modbus; true when the master's decoder accepts the reply
// (the value is then in reg.ValueText).
inline bool ReadVela(TSimBus& bus, TprDevReg& reg, int64_t nowMs = 0, const TSimLine& line = {}) {
  reg.SealVelaRead();
  auto reply = Ask(bus, reg.VelaRead.Frame, reg.VelaRead.RequestLength, nowMs, line);
  return reg.DecodeVelaReply(ReplyRecord<TVelaRecord>(reply));
}

inline bool ReadModbus(TSimBus& bus, TprDevReg& reg, int64_t nowMs = 0,
                       const TSimLine& line = {}) {
  reg.SealModbusRead();
  auto reply = Ask(bus, reg.ModbusRead.Frame, reg.ModbusRead.RequestLength, nowMs, line);
  return reg.DecodeModbusReply(ReplyRecord<TModbusRecord>(reply));
}

inline bool WriteVela(TSimBus& bus, TprDevReg& reg, const std::string& text, int64_t nowMs = 0,
                      const TSimLine& line = {}) {
  reg.EncodeVelaWrite(text);
  auto reply = Ask(bus, reg.VelaWrite.Frame, reg.VelaWrite.RequestLength, nowMs, line);
  return reg.CheckVelaWriteReply(ReplyRecord<TVelaRecord>(reply));
}

inline bool WriteModbus(TSimBus& bus, TprDevReg& reg, const std::string& text,
                        int64_t nowMs = 0, const TSimLine& line = {}) {
  reg.EncodeModbusWrite(text);
  auto reply = Ask(bus, reg.ModbusWrite.Frame, reg.ModbusWrite.RequestLength, nowMs, line);
  return reg.CheckModbusWriteReply(ReplyRecord<TModbusRecord>(reply));
}

// The port's exchange on a serial line: purge, send the request, read up to the reply length.
// Returns the reply record (RequestLength = bytes received).
template <class TRecord>
TRecord LineExchange(TCustomComPort& line, const TRecord& request) {
  TRecord reply{};
  line.ClearBuffer(true, true);
  line.Write(request.Frame, request.RequestLength);
  reply.RequestLength =
      line.Read(reply.Frame, std::min<int>(request.ReplyLength, int(sizeof reply.Frame)));
  return reply;
}

inline bool LineReadModbus(TCustomComPort& line, TprDevReg& reg) {
  reg.SealModbusRead();
  return reg.DecodeModbusReply(LineExchange(line, reg.ModbusRead));
}
inline bool LineReadVela(TCustomComPort& line, TprDevReg& reg) {
  reg.SealVelaRead();
  return reg.DecodeVelaReply(LineExchange(line, reg.VelaRead));
}
inline bool LineWriteModbus(TCustomComPort& line, TprDevReg& reg, const std::string& text) {
  reg.EncodeModbusWrite(text);
  return reg.CheckModbusWriteReply(LineExchange(line, reg.ModbusWrite));
}
inline bool LineWriteVela(TCustomComPort& line, TprDevReg& reg, const std::string& text) {
  reg.EncodeVelaWrite(text);
  return reg.CheckVelaWriteReply(LineExchange(line, reg.VelaWrite));
}

// A raw Modbus frame with its CRC appended.
inline std::vector<uint8_t> ModbusFrame(std::vector<uint8_t> body) {
  const uint16_t crc = Crc16(body.data(), int(body.size()), 0xFFFF);
  body.push_back(uint8_t(crc & 0xFF));
  body.push_back(uint8_t(crc >> 8));
  return body;
}

inline std::vector<uint8_t> VelaFrame(std::vector<uint8_t> body) {
  body.push_back(Crc8(body.data(), int(body.size()), 0xFF));
  return body;
}

}  // namespace simtest

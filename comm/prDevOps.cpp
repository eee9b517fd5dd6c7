#include "comm/prDevOps.h"

#include "comm/Clock.h"
#include "comm/prPort.h"

namespace {
constexpr int ReadPauseMs = 10;
constexpr int WritePauseMs = 200;
}  // namespace

bool ReadRegister(TprPort& port, TprDevReg& reg) {
  bool ok = false;
  switch (port.Protocol()) {
    case ptModbus: ok = ReadModbus(port, reg); break;
    case ptDCS: ok = ReadDcs(port, reg); break;
    case ptVela: ok = ReadVela(port, reg); break;
    default: break;
  }
  Clock().Sleep(ReadPauseMs);
  return ok;
}

bool WriteRegister(TprPort& port, TprDevReg& reg, const std::string& text) {
  bool ok = false;
  switch (port.Protocol()) {
    case ptModbus: ok = WriteModbus(port, reg, text); break;
    case ptDCS: ok = WriteDcs(port, reg, text); break;
    case ptVela: ok = WriteVela(port, reg, text); break;
    default: break;
  }
  Clock().Sleep(WritePauseMs);
  return ok;
}

bool ReadVela(TprPort& port, TprDevReg& reg) {
  reg.SealVelaRead();
  TVelaRecord reply;
  port.ExchangeVela(reg.VelaRead, reply);
  reg.ValueText.clear();
  return reg.DecodeVelaReply(reply);
}

bool WriteVela(TprPort& port, TprDevReg& reg, const std::string& text) {
  reg.EncodeVelaWrite(text);
  TVelaRecord reply;
  port.ExchangeVela(reg.VelaWrite, reply);
  return reg.CheckVelaWriteReply(reply);
}

bool ReadModbus(TprPort& port, TprDevReg& reg) {
  reg.SealModbusRead();
  TModbusRecord reply;
  port.ExchangeModbus(reg.ModbusRead, reply);
  reg.ValueText.clear();
  return reg.DecodeModbusReply(reply);
}

bool WriteModbus(TprPort& port, TprDevReg& reg, const std::string& text) {
  reg.EncodeModbusWrite(text);
  TModbusRecord reply;
  port.ExchangeModbus(reg.ModbusWrite, reply);
  return reg.CheckModbusWriteReply(reply);
}

bool ReadDcs(TprPort& port, TprDevReg& reg) {
  TDcsRecord reply;
  port.ExchangeDcs(reg.DcsRead, reply);
  reg.ValueText.clear();
  return false;
}

bool WriteDcs(TprPort& port, TprDevReg& reg, const std::string&) {
  TDcsRecord reply;
  port.ExchangeDcs(reg.DcsWrite, reply);
  return false;
}

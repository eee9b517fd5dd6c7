#include "comm/prDevOps.h"

#include "comm/Clock.h"
#include "comm/prPort.h"

namespace {

constexpr int ReadPauseMs = 10;
constexpr int WritePauseMs = 200;

// The register operations of each protocol.
struct TProtocolOps {
  uint8_t Protocol;
  bool (*Read)(TprPort& port, TprDevReg& reg);
  bool (*Write)(TprPort& port, TprDevReg& reg, const std::string& text);
};

constexpr TProtocolOps ProtocolOps[] = {
    {ptModbus, ReadModbus, WriteModbus},
    {ptDCS, ReadDcs, WriteDcs},
    {ptVela, ReadVela, WriteVela},
};

// The operations of the port's protocol; nullptr for a code no protocol has.
const TProtocolOps* OpsOf(const TprPort& port) {
  for (const TProtocolOps& ops : ProtocolOps)
    if (ops.Protocol == port.Protocol()) return &ops;
  return nullptr;
}

}  // namespace

bool ReadExchange(TprPort& port, TprDevReg& reg) {
  const TProtocolOps* ops = OpsOf(port);
  return ops && ops->Read(port, reg);
}

bool WriteExchange(TprPort& port, TprDevReg& reg, const std::string& text) {
  const TProtocolOps* ops = OpsOf(port);
  return ops && ops->Write(port, reg, text);
}

void PauseAfterRead() { Clock().Sleep(ReadPauseMs); }

void PauseAfterWrite() { Clock().Sleep(WritePauseMs); }

bool ReadRegister(TprPort& port, TprDevReg& reg) {
  const bool ok = ReadExchange(port, reg);
  PauseAfterRead();
  return ok;
}

bool WriteRegister(TprPort& port, TprDevReg& reg, const std::string& text) {
  const bool ok = WriteExchange(port, reg, text);
  PauseAfterWrite();
  return ok;
}

bool ReadVela(TprPort& port, TprDevReg& reg) {
  reg.SealVelaRead();
  TVelaRecord reply;
  port.ExchangeVela(reg.VelaRead, reply);
  reg.SetValue({});
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
  reg.SetValue({});
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
  reg.SetValue({});
  return false;
}

bool WriteDcs(TprPort& port, TprDevReg& reg, const std::string&) {
  TDcsRecord reply;
  port.ExchangeDcs(reg.DcsWrite, reply);
  return false;
}

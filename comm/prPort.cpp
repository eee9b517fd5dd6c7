#include "comm/prPort.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/Codecs.h"

namespace {

int DataBitCount(TDataBits bits) { return 5 + int(bits); }

int StopBitCount(TStopBits bits) { return bits == sbOneStopBit ? 1 : 2; }

int ParityBitCount(TParityBits bits) { return bits == prNone ? 0 : 1; }

}  // namespace

void TprPort::SetPortName(const std::string& name) {
  PortName = name;
  // The line closes and reopens by itself when it is open on another name.
  if (ComPort) ComPort->SetPort(name);
}

void TprPort::SetProtocol(uint8_t protocol) {
  Protocol = protocol;
  ApplyEventChar();
}

void TprPort::SetBaudRate(const std::string& text) {
  BaudRate = text;
  ApplyBaudRate();
}

void TprPort::SetParity(const std::string& text) {
  Parity = text;
  ApplyParity();
}

void TprPort::SetTimeout(int32_t timeoutMs) {
  Timeout = timeoutMs;
  ApplyTimeouts();
}

void TprPort::ApplySettings() {
  ApplyEventChar();
  ApplyBaudRate();
  ApplyTimeouts();
  ApplyParity();
}

void TprPort::ApplyEventChar() {
  if (ComPort) ComPort->SetEventChar(Protocol == ptDCS ? '\r' : '\0');
}

void TprPort::ApplyBaudRate() {
  if (ComPort) ComPort->SetBaudRate(StrToBaudRate(BaudRate));
}

void TprPort::ApplyParity() {
  if (!ComPort) return;
  if (Parity == "Нечетность") {
    ComPort->SetParity({prOdd, true});
    ComPort->SetStopBits(sbOneStopBit);
  } else if (Parity == "Четность") {
    ComPort->SetParity({prEven, true});
    ComPort->SetStopBits(sbOneStopBit);
  } else {
    ComPort->SetParity({prNone, false});
    // Without parity Modbus RTU keeps the 11-bit character with a second stop bit.
    if (Protocol == ptModbus) ComPort->SetStopBits(sbTwoStopBits);
  }
}

double TprPort::CharTimeMs() const {
  if (!ComPort) return 0;
  const int bits = DataBitCount(ComPort->DataBits()) + ParityBitCount(ComPort->Parity().Bits) +
                   StopBitCount(ComPort->StopBits()) + 1;
  int rate = ComPort->BaudRate() == brCustom ? ComPort->CustomBaudRate()
                                             : BaudRateValue(ComPort->BaudRate());
  if (rate <= 0) rate = 9600;
  return bits * 1000.0 / rate;
}

void TprPort::ApplyTimeouts() {
  if (!ComPort) return;
  const double c = CharTimeMs();
  TComTimeouts t;
  if (Timeout == 0) {
    t.ReadInterval = int(std::trunc(16 * c)) + 1;
    t.ReadTotalMultiplier = int(std::trunc(c)) + 1;
    t.ReadTotalConstant = int(std::trunc(16 * c)) + 50;
  } else {
    t.ReadInterval = 0;
    t.ReadTotalMultiplier = 0;
    t.ReadTotalConstant = Timeout;
  }
  t.WriteTotalMultiplier = int(std::trunc(c)) + 1;
  t.WriteTotalConstant = 200;
  ComPort->SetTimeouts(t);
}

int TprPort::Exchange(TCustomComPort* line, const uint8_t* request, int requestLength,
                      int replyLength, uint8_t* reply, int replyCapacity) {
  // Purge even for an empty request: late bytes of an earlier exchange must never be taken
  // for the reply of a later one.
  line->ClearBuffer(true, true);
  if (requestLength > 0) line->Write(request, requestLength);
  const int wanted = std::clamp(replyLength, 0, replyCapacity);
  return wanted > 0 ? line->Read(reply, wanted) : 0;
}

namespace {

// The three record kinds share the exchange; only their frame sizes differ.
template <class Record>
int ExchangeRecord(TCustomComPort* line, const Record& request, Record& reply,
                   int (*exchange)(TCustomComPort*, const uint8_t*, int, int, uint8_t*, int)) {
  reply = {};
  if (!line) throw EComPort(CError_WriteFailed);
  const int sent = std::clamp<int>(request.RequestLength, 0, int(sizeof request.Frame));
  reply.RequestLength = exchange(line, request.Frame, sent, request.ReplyLength, reply.Frame,
                                 int(sizeof reply.Frame));
  return reply.RequestLength;
}

}  // namespace

int TprPort::ExchangeVela(const TVelaRecord& request, TVelaRecord& reply) {
  return ExchangeRecord(ComPort, request, reply, &TprPort::Exchange);
}

int TprPort::ExchangeModbus(const TModbusRecord& request, TModbusRecord& reply) {
  return ExchangeRecord(ComPort, request, reply, &TprPort::Exchange);
}

int TprPort::ExchangeDcs(const TDcsRecord& request, TDcsRecord& reply) {
  return ExchangeRecord(ComPort, request, reply, &TprPort::Exchange);
}

TVelaRecord VelaProbeTemplate() {
  TVelaRecord t{};
  t.RequestLength = 5;
  t.ReplyLength = 7;
  const uint8_t frame[] = {0x00, 0x01, 0x00, 0x00};
  std::memcpy(t.Frame, frame, sizeof frame);
  return t;
}

TModbusRecord ModbusProbeTemplate() {
  TModbusRecord t{};
  t.RequestLength = 8;
  t.ReplyLength = 7;
  const uint8_t frame[] = {0x00, 0x03, 0x01, 0x00, 0x00, 0x01};
  std::memcpy(t.Frame, frame, sizeof frame);
  return t;
}

TDcsRecord DcsProbeTemplate() {
  // "$" and the address as two hexadecimal characters; DCS defines no exchange, so nothing is
  // sent or received.
  TDcsRecord t{};
  t.Frame[0] = '$';
  IntToHexChars(reinterpret_cast<char*>(t.Frame + 1), "1", 2);
  return t;
}

void PrepareVelaProbe(const TVelaRecord& tmpl, uint8_t address, TVelaRecord& request) {
  request = tmpl;
  request.Frame[0] = address;
  const int n = std::clamp<int>(request.RequestLength, 1, int(sizeof request.Frame));
  request.Frame[n - 1] = Crc8(request.Frame, n - 1, 0xFF);
}

void PrepareModbusProbe(const TModbusRecord& tmpl, uint8_t address, TModbusRecord& request) {
  request = tmpl;
  request.Frame[0] = address;
  const int n = std::clamp<int>(request.RequestLength, 2, int(sizeof request.Frame));
  const uint16_t crc = Crc16(request.Frame, n - 2, 0xFFFF);
  request.Frame[n - 2] = uint8_t(crc);
  request.Frame[n - 1] = uint8_t(crc >> 8);
}

void PrepareDcsProbe(const TDcsRecord& tmpl, TDcsRecord& request) { request = tmpl; }

bool CheckVelaProbe(const TVelaRecord& reply, const TVelaRecord& request, uint8_t& value) {
  value = reply.Frame[5];
  return VelaReplyAccepted(reply, request);
}

bool CheckModbusProbe(const TModbusRecord& reply, const TModbusRecord& request, uint8_t& value) {
  value = reply.Frame[4];
  return ModbusReplyAccepted(reply, request);
}

bool CheckDcsProbe(const TDcsRecord&, const TDcsRecord&, uint8_t& value) {
  value = 0;
  return false;
}

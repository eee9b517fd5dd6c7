#include "comm/prPort.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/ExchangeTap.h"

namespace {

int DataBitCount(TDataBits bits) { return 5 + int(bits); }

int StopBitCount(TStopBits bits) { return bits == sbOneStopBit ? 1 : 2; }

int ParityBitCount(TParityBits bits) { return bits == prNone ? 0 : 1; }

}  // namespace

void TprPort::SetPortName(const std::string& name) {
  Settings.PortName = name;
  // The line closes and reopens by itself when it is open on another name.
  if (ComPort) ComPort->SetPort(name);
}

void TprPort::SetProtocol(uint8_t protocol) {
  Settings.Protocol = protocol;
  ApplyEventChar();
}

bool TprPort::SetBaudRate(int32_t bitsPerSecond) {
  if (BaudRateIndex(bitsPerSecond) < 0) return false;
  Settings.BaudRate = bitsPerSecond;
  ApplyBaudRate();
  return true;
}

bool TprPort::SetParity(TLineParity parity) {
  if (!ParityAt(ParityIndex(parity))) return false;
  Settings.Parity = parity;
  ApplyParity();
  return true;
}

void TprPort::SetTimeout(int32_t timeoutMs) {
  Settings.Timeout = timeoutMs;
  ApplyTimeouts();
}

void TprPort::ApplySettings() {
  ApplyEventChar();
  ApplyBaudRate();
  ApplyTimeouts();
  ApplyParity();
}

void TprPort::ApplyEventChar() {
  if (ComPort) ComPort->SetEventChar(Settings.Protocol == ptDCS ? '\r' : '\0');
}

void TprPort::ApplyBaudRate() {
  if (ComPort) ComPort->SetBaudRate(StandardBaudRate(Settings.BaudRate));
}

void TprPort::ApplyParity() {
  if (!ComPort) return;
  switch (Settings.Parity) {
    case TLineParity::Odd:
    case TLineParity::Even:
      ComPort->SetParity({Settings.Parity == TLineParity::Odd ? prOdd : prEven, true});
      ComPort->SetStopBits(sbOneStopBit);
      break;
    case TLineParity::None:
      ComPort->SetParity({prNone, false});
      // Without parity Modbus RTU keeps the 11-bit character with a second stop bit.
      if (Settings.Protocol == ptModbus) ComPort->SetStopBits(sbTwoStopBits);
      break;
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
  if (Settings.Timeout == 0) {
    t.ReadInterval = int(std::trunc(16 * c)) + 1;
    t.ReadTotalMultiplier = int(std::trunc(c)) + 1;
    t.ReadTotalConstant = int(std::trunc(16 * c)) + 50;
  } else {
    t.ReadInterval = 0;
    t.ReadTotalMultiplier = 0;
    t.ReadTotalConstant = Settings.Timeout;
  }
  t.WriteTotalMultiplier = int(std::trunc(c)) + 1;
  t.WriteTotalConstant = 200;
  ComPort->SetTimeouts(t);
}

namespace {

// Whether bytes that fell short of the reply length are still the whole answer to the
// request: a Vela text is shorter than its reply length, a Modbus module may answer with an
// exception. A whole frame of another request (a late one) is no answer.
bool WholeVelaAnswer(const uint8_t* request, const uint8_t* reply, int count) {
  return count >= 6 && std::memcmp(reply, request, 4) == 0 && Crc8Sealed(reply, count);
}

bool WholeModbusAnswer(const uint8_t* request, const uint8_t* reply, int count) {
  return count == 5 && reply[0] == request[0] && reply[1] == (request[1] | 0x80) &&
         Crc16Sealed(reply, 5);
}

bool NoAnswer(const uint8_t*, const uint8_t*, int) { return false; }

// The guard waits at most this many guard intervals for a line that does not fall quiet (a
// babbling device); the reply checks still stand after it.
constexpr int kMaxGuardIntervals = 4;

}  // namespace

void TprPort::WaitForQuietLine(int guardMs) {
  TCustomComPort* line = ComPort;
  const TComTimeouts saved = line->Timeouts();
  const int64_t start = Clock().NowMs();
  const int64_t giveUp = start + int64_t(kMaxGuardIntervals) * guardMs;
  int64_t quietSince = LastExchangeEndMs;
  // A burst of bytes ends when the line has been still for two characters.
  TComTimeouts wait;
  wait.ReadInterval = int(std::trunc(2 * CharTimeMs())) + 1;
  wait.ReadTotalMultiplier = 0;
  wait.WriteTotalMultiplier = saved.WriteTotalMultiplier;
  wait.WriteTotalConstant = saved.WriteTotalConstant;
  try {
    for (;;) {
      int64_t now = Clock().NowMs();
      // Something came since the last exchange: the line was not quiet after all.
      if (line->InputCount() > 0) {
        if (ExchangeTap().Observed()) TapPendingInput(*this);
        line->ClearBuffer(true, false);
        quietSince = now;
      }
      const int64_t left = std::min(quietSince + guardMs, giveUp) - now;
      if (left <= 0) break;
      wait.ReadTotalConstant = int(left);
      line->SetTimeouts(wait);
      uint8_t scratch[64];
      // Nothing within the time left: quiet for the whole guard interval.
      const int late = line->Read(scratch, int(sizeof scratch));
      if (late == 0) break;
      if (ExchangeTap().Observed()) TapLateBytes(*this, scratch, late);
      quietSince = Clock().NowMs();
    }
  } catch (...) {
    line->SetTimeouts(saved);
    throw;
  }
  line->SetTimeouts(saved);
  GuardWaitedMs += Clock().NowMs() - start;
}

int TprPort::Exchange(const uint8_t* request, int requestLength, int replyLength, uint8_t* reply,
                      int replyCapacity, TFrameCheck complete) {
  TCustomComPort* line = ComPort;
  // Both working protocols put the bus address first.
  const int address = requestLength > 0 ? request[0] : -1;
  if (address >= 0 && GuardMs[size_t(address)] > 0) WaitForQuietLine(GuardMs[size_t(address)]);
  // Observers see what the purge throws away and the exchange as it happened.
  const bool tapped = ExchangeTap().Observed();
  TTapTimes tapTimes;
  if (tapped) tapTimes.StartMs = Clock().NowMs();
  if (tapped) TapPendingInput(*this);
  // Purge even for an empty request: late bytes of an earlier exchange must never be taken
  // for the reply of a later one.
  line->ClearBuffer(true, true);
  if (requestLength > 0) line->Write(request, requestLength);
  // No module answers a request before it has heard all of it: whatever arrived while it
  // was being sent is an earlier reply coming late.
  const bool early = requestLength > 0 && line->ReceivedWhileSending() > 0;
  const int wanted = std::clamp(replyLength, 0, replyCapacity);
  const TComTimeouts& t = line->Timeouts();
  const int readTimeoutMs = std::max(0, t.ReadTotalMultiplier) * wanted + std::max(0, t.ReadTotalConstant);
  int got = wanted > 0 ? line->Read(reply, wanted) : 0;
  if (tapped) line->LastReadTimes(tapTimes.FirstByteMs, tapTimes.LastByteMs);
  LastExchangeEndMs = Clock().NowMs();
  if (address >= 0 && wanted > 0) {
    const bool timedOut = early || (got < wanted && !complete(request, reply, got));
    // One read time-out of the read that timed out, so that a reply up to twice the
    // time-out late is seen while the line is watched, plus one read interval (16
    // characters) for the adapter's delivery to lag behind the wire.
    const int guardMs = readTimeoutMs + int(std::trunc(16 * CharTimeMs())) + 1;
    GuardMs[size_t(address)] = timedOut ? guardMs : 0;
  }
  if (tapped && requestLength > 0) {
    tapTimes.ReadTimeoutMs = readTimeoutMs;
    TapExchange(*this, request, requestLength, reply, got, wanted, early, tapTimes);
  }
  if (early) {
    std::fill(reply, reply + got, uint8_t(0));
    got = 0;
  }
  return got;
}

// The three record kinds share the exchange; only their frame sizes and checksums differ.
template <class Record>
int TprPort::ExchangeRecord(const Record& request, Record& reply, TFrameCheck complete) {
  reply = {};
  if (!ComPort) throw EComPort(CError_WriteFailed);
  const int sent = std::clamp<int>(request.RequestLength, 0, int(sizeof request.Frame));
  reply.RequestLength = Exchange(request.Frame, sent, request.ReplyLength, reply.Frame,
                                 int(sizeof reply.Frame), complete);
  return reply.RequestLength;
}

int TprPort::ExchangeVela(const TVelaRecord& request, TVelaRecord& reply) {
  return ExchangeRecord(request, reply, &WholeVelaAnswer);
}

int TprPort::ExchangeModbus(const TModbusRecord& request, TModbusRecord& reply) {
  return ExchangeRecord(request, reply, &WholeModbusAnswer);
}

int TprPort::ExchangeDcs(const TDcsRecord& request, TDcsRecord& reply) {
  return ExchangeRecord(request, reply, &NoAnswer);
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
  SealRequest(request);
}

void PrepareModbusProbe(const TModbusRecord& tmpl, uint8_t address, TModbusRecord& request) {
  request = tmpl;
  request.Frame[0] = address;
  SealRequest(request);
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

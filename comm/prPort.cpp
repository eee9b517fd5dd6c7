#include "comm/prPort.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/ComPortTcp.h"
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

bool TprPort::IsNetworkPort() const { return IsTcpPortName(Settings.PortName); }

void TprPort::SetNetworkAllowance(int32_t ms) {
  Settings.NetworkAllowance = std::clamp(ms, 0, kMaxNetworkAllowanceMs);
  ApplyTimeouts();
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
    // Through a gateway the reply comes later by the network's round trip, and the segments
    // of one reply may lag behind each other by as much.
    if (IsNetworkPort()) {
      t.ReadInterval += Settings.NetworkAllowance;
      t.ReadTotalConstant += Settings.NetworkAllowance;
    }
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

// A watch waits at most this many times its quiet interval for a line that does not fall
// quiet (a babbling device); the reply checks still stand after it.
constexpr int kMaxGuardIntervals = 4;
// A request whose reply has not come is forgotten after this many of its read time-outs, and
// not before kForgetAfterMs.
constexpr int kForgetAfterTimeouts = 20;
constexpr int64_t kForgetAfterMs = 3000;
// How much the lateness of a module's replies may vary from one reply to the next, beyond the
// read interval.
constexpr int kLatenessMarginMs = 20;

}  // namespace

int TprPort::LatenessSlackMs() const {
  return int(std::trunc(16 * CharTimeMs())) + 1 + kLatenessMarginMs;
}

int TprPort::FrameGapMs() const { return int(std::trunc(4 * CharTimeMs())) + 1; }

int TprPort::LateReplyMs(uint8_t address) const {
  const TReplyTrack& track = Tracks[address];
  if (track.LateMs == 0 || Clock().NowMs() - track.LateSeenMs > kForgetAfterMs) return 0;
  return track.LateMs;
}

void TprPort::Forget(TReplyTrack& track, int64_t nowMs) {
  std::erase_if(track.Outstanding, [nowMs](const TSentRequest& r) {
    return nowMs - r.EndMs >
           std::max<int64_t>(kForgetAfterMs, int64_t(kForgetAfterTimeouts) * r.TimeoutMs);
  });
}

bool TprPort::WatchLine(int64_t sinceMs, int quietMs,
                        const std::function<bool(int64_t arrivedMs, uint8_t first)>& onBurst) {
  TCustomComPort* line = ComPort;
  const TComTimeouts saved = line->Timeouts();
  const int64_t start = Clock().NowMs();
  const int64_t giveUp = start + int64_t(kMaxGuardIntervals) * std::max(quietMs, 1);
  int64_t quietSince = sinceMs;
  bool seen = false;
  const int gapMs = FrameGapMs();
  TComTimeouts wait;
  wait.ReadInterval = gapMs;
  wait.ReadTotalMultiplier = 0;
  wait.WriteTotalMultiplier = saved.WriteTotalMultiplier;
  wait.WriteTotalConstant = saved.WriteTotalConstant;
  try {
    for (;;) {
      const int64_t now = Clock().NowMs();
      // Bytes waiting in the input came since the last exchange: the line was not quiet.
      const bool waiting = line->InputCount() > 0;
      const int64_t left = std::min(quietSince + quietMs, giveUp) - now;
      if (left <= 0 && !waiting) break;
      wait.ReadTotalConstant = int(std::max<int64_t>(left, 1));
      line->SetTimeouts(wait);
      uint8_t first = 0, rest[256];
      // Nothing within the time left: quiet for the whole interval.
      if (line->Read(&first, 1) == 0) break;
      seen = true;
      // Observers see the burst the watch takes off the line.
      const bool tapped = ExchangeTap().Observed();
      std::vector<uint8_t> burst;
      if (tapped) burst.push_back(first);
      // The rest of the burst, up to a frame gap.
      wait.ReadTotalConstant = gapMs;
      line->SetTimeouts(wait);
      for (;;) {
        const int n = line->Read(rest, int(sizeof rest));
        if (n > 0 && tapped) burst.insert(burst.end(), rest, rest + n);
        if (n <= 0 || Clock().NowMs() >= giveUp) break;
      }
      if (tapped) TapLateBytes(*this, burst.data(), int(burst.size()));
      quietSince = Clock().NowMs() - gapMs;
      if (onBurst(std::max(quietSince, start), first) || quietSince >= giveUp) break;
    }
  } catch (...) {
    line->SetTimeouts(saved);
    throw;
  }
  line->SetTimeouts(saved);
  GuardWaitedMs += Clock().NowMs() - start;
  return seen;
}

bool TprPort::RestOfBurst() {
  return WatchLine(Clock().NowMs(), FrameGapMs(), [](int64_t, uint8_t) { return true; });
}

void TprPort::ReplySeen(uint8_t address, int64_t arrivedMs, uint8_t first) {
  TReplyTrack* track = &Tracks[address];
  if (first != address && !Tracks[first].Outstanding.empty()) track = &Tracks[first];
  if (track->Outstanding.empty()) return;
  const TSentRequest request = track->Outstanding.front();
  track->Outstanding.erase(track->Outstanding.begin());
  track->LateMs = int(std::max<int64_t>(arrivedMs - request.EndMs, 1));
  track->LateSeenMs = arrivedMs;
  track->WindowMs = int(std::min<int64_t>(track->LateMs + LatenessSlackMs(), kForgetAfterMs));
}

void TprPort::AwaitOutstanding(uint8_t address) {
  TReplyTrack& track = Tracks[address];
  Forget(track, Clock().NowMs());
  if (track.Outstanding.empty()) return;
  // Until the module has been seen late: the read time-out, so that a reply up to twice the
  // time-out late is seen while the line is watched, and one read interval (16 characters)
  // for the adapter's delivery to lag behind the wire.
  const int window = track.WindowMs > 0 ? track.WindowMs
                                        : track.Outstanding.back().TimeoutMs +
                                              int(std::trunc(16 * CharTimeMs())) + 1;
  // Nothing came for a whole window: the module is silent rather than late, and its window
  // narrows back towards the time-out.
  if (!WatchForReplies(address, LastExchangeEndMs, window)) track.WindowMs /= 2;
}

bool TprPort::WatchForReplies(uint8_t address, int64_t sinceMs, int quietMs) {
  const TReplyTrack& track = Tracks[address];
  return WatchLine(sinceMs, quietMs, [&](int64_t arrivedMs, uint8_t first) {
    ReplySeen(address, arrivedMs, first);
    return track.Outstanding.empty();
  });
}

int TprPort::AwaitLateReplies(uint8_t address, int withinMs) {
  TReplyTrack& track = Tracks[address];
  Forget(track, Clock().NowMs());
  if (!track.Outstanding.empty() && ComPort) WatchForReplies(address, Clock().NowMs(), withinMs);
  return LateReplyMs(address);
}

bool TprPort::OwnReply(uint8_t address, int64_t sentMs, int timeoutMs, bool whole, bool early,
                       int got) {
  TReplyTrack& track = Tracks[address];
  const int64_t now = Clock().NowMs();
  Forget(track, now);
  const auto inTime = [&track] {
    track.Outstanding.clear();
    track.LateMs = 0;
    track.WindowMs = 0;
    return true;
  };
  if (whole && track.Outstanding.empty()) return inTime();
  // A whole reply followed at once by more bytes was part of a longer frame: another
  // request's.
  if (whole && RestOfBurst()) {
    ReplySeen(address, now, address);
    track.Outstanding.push_back({sentMs, timeoutMs});
    return false;
  }
  if (whole) {
    // Were it the late reply of an outstanding request, the reply of the request after that
    // one would follow it as far apart as the two requests were.
    int64_t spacing = sentMs - track.Outstanding.back().EndMs;
    for (size_t i = 1; i < track.Outstanding.size(); ++i)
      spacing = std::max(spacing, track.Outstanding[i].EndMs - track.Outstanding[i - 1].EndMs);
    int64_t nextMs = -1;
    WatchLine(now, int(std::min<int64_t>(spacing, kForgetAfterMs)) + LatenessSlackMs(),
              [&nextMs](int64_t arrivedMs, uint8_t) {
                nextMs = arrivedMs;
                return true;
              });
    if (nextMs < 0) return inTime();
    // The reply read was an earlier request's; the one after it may be this request's.
    ReplySeen(address, now, address);
    track.Outstanding.push_back({sentMs, timeoutMs});
    ReplySeen(address, nextMs, address);
    return false;
  }
  // Bytes there before the request was out are an earlier reply; bytes that came only after
  // it and fell short may be this request's reply, cut by the time-out. Either way the rest
  // of their burst belongs to them.
  if (early) ReplySeen(address, sentMs, address);
  track.Outstanding.push_back({sentMs, timeoutMs});
  if (got > 0) RestOfBurst();
  if (got > 0 && !early) ReplySeen(address, now, address);
  return false;
}

int TprPort::Exchange(const uint8_t* request, int requestLength, int replyLength, uint8_t* reply,
                      int replyCapacity, TFrameCheck complete) {
  TCustomComPort* line = ComPort;
  const int wanted = std::clamp(replyLength, 0, replyCapacity);
  // Both working protocols put the bus address first.
  const bool tracked = requestLength > 0 && wanted > 0;
  const uint8_t address = requestLength > 0 ? request[0] : 0;
  if (tracked) AwaitOutstanding(address);
  // Observers see what the purge throws away and the exchange as it happened.
  const bool tapped = ExchangeTap().Observed();
  TTapTimes tapTimes;
  if (tapped) tapTimes.StartMs = Clock().NowMs();
  if (tapped) TapPendingInput(*this);
  // Purge even for an empty request: late bytes of an earlier exchange must never be taken
  // for the reply of a later one.
  line->ClearBuffer(true, true);
  if (requestLength > 0) line->Write(request, requestLength);
  const int64_t sentMs = Clock().NowMs();
  // No module answers a request before it has heard all of it: whatever arrived while it
  // was being sent is an earlier reply coming late.
  const bool early = requestLength > 0 && line->ReceivedWhileSending() > 0;
  const TComTimeouts& t = line->Timeouts();
  const int readTimeoutMs = std::max(0, t.ReadTotalMultiplier) * wanted + std::max(0, t.ReadTotalConstant);
  int got = wanted > 0 ? line->Read(reply, wanted) : 0;
  if (tapped) line->LastReadTimes(tapTimes.FirstByteMs, tapTimes.LastByteMs);
  bool voided = early;
  if (tracked) {
    const bool whole = !early && (got == wanted || complete(request, reply, got));
    if (!OwnReply(address, sentMs, readTimeoutMs, whole, early, got) && whole) voided = true;
  }
  if (tapped && requestLength > 0) {
    tapTimes.ReadTimeoutMs = readTimeoutMs;
    TapExchange(*this, request, requestLength, reply, got, wanted, voided, tapTimes);
  }
  LastExchangeEndMs = Clock().NowMs();
  if (voided) {
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

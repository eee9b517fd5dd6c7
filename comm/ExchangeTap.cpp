#include "comm/ExchangeTap.h"

#include <algorithm>
#include <cstring>

#include "comm/CPort.h"
#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/prPort.h"

int TExchangeTap::Add(TExchangeObserver observer) {
  std::lock_guard<std::mutex> hold(Lock);
  auto list = std::make_shared<TList>(*Observers);
  const int key = NextKey++;
  list->emplace_back(key, std::make_shared<const TExchangeObserver>(std::move(observer)));
  Observers = std::move(list);
  Listeners.store(int(Observers->size()), std::memory_order_relaxed);
  return key;
}

void TExchangeTap::Remove(int key) {
  std::lock_guard<std::mutex> hold(Lock);
  auto list = std::make_shared<TList>(*Observers);
  std::erase_if(*list, [key](const auto& entry) { return entry.first == key; });
  Observers = std::move(list);
  Listeners.store(int(Observers->size()), std::memory_order_relaxed);
}

void TExchangeTap::Report(TExchangeRecord& record) {
  std::shared_ptr<const TList> list;
  {
    std::lock_guard<std::mutex> hold(Lock);
    list = Observers;
  }
  record.Number = Count.fetch_add(1, std::memory_order_relaxed) + 1;
  // Called without the lock, so that an observer may add or remove observers.
  for (const auto& entry : *list) (*entry.second)(record);
}

TExchangeTap& ExchangeTap() {
  static TExchangeTap tap;
  return tap;
}

namespace {

using enum TExchangeOutcome;

// A Vela read of a text asks for the longest reply and takes a shorter one that ends in NUL.
constexpr int VelaTextReplyLength = 38;

TExchangeOutcome ClassifyModbus(const uint8_t* request, const uint8_t* reply, int count,
                                int expected, uint8_t* exceptionCode) {
  const bool sealed = Crc16Sealed(reply, count);
  const bool sameAddress = reply[0] == request[0];
  if (sealed && count == 5 && sameAddress && reply[1] == (request[1] | 0x80)) {
    if (exceptionCode) *exceptionCode = reply[2];
    return Exception;
  }
  if (sealed) return count == expected && sameAddress && reply[1] == request[1] ? Answered : WrongLength;
  return count < expected ? WrongLength : BadChecksum;
}

TExchangeOutcome ClassifyVela(const uint8_t* request, const uint8_t* reply, int count,
                              int expected) {
  const bool text = expected == VelaTextReplyLength;
  if (Crc8Sealed(reply, count)) {
    const bool same = count >= 4 && std::memcmp(reply, request, 4) == 0;
    const bool length = count == expected || (text && count >= 7 && reply[count - 2] == 0);
    return same && length ? Answered : WrongLength;
  }
  return count < expected && !text ? WrongLength : BadChecksum;
}

}  // namespace

TExchangeOutcome ClassifyExchange(uint8_t protocol, const uint8_t* request, int requestLength,
                                  const uint8_t* reply, int count, int expectedLength, bool early,
                                  uint8_t* exceptionCode) {
  if (early && count > 0) return WhileSending;
  if (count <= 0 || requestLength < 4) return Timeout;
  switch (protocol) {
    case ptModbus: return ClassifyModbus(request, reply, count, expectedLength, exceptionCode);
    case ptVela: return ClassifyVela(request, reply, count, expectedLength);
    default: return WrongLength;  // no protocol defines a reply to it
  }
}

void TapExchange(TprPort& port, const uint8_t* request, int requestLength, const uint8_t* reply,
                 int count, int expectedLength, bool early, const TTapTimes& times) {
  const int64_t startMs = times.StartMs;
  TExchangeRecord r;
  r.Port = port.PortName();
  r.Protocol = port.Protocol();
  r.Address = requestLength > 0 ? request[0] : -1;
  r.StartMs = startMs;
  // The request's wire time: the line sends at its own pace whatever the clock says.
  r.SentMs = startMs + int64_t(requestLength * port.CharTimeMs());
  r.When = std::chrono::system_clock::now() - std::chrono::milliseconds(Clock().NowMs() - startMs);
  r.Request.assign(request, request + std::max(0, requestLength));
  r.Reply.assign(reply, reply + std::max(0, count));
  r.ExpectedLength = expectedLength;
  r.ReadTimeoutMs = times.ReadTimeoutMs;
  r.Outcome = ClassifyExchange(r.Protocol, request, requestLength, reply, count, expectedLength,
                               early, &r.ExceptionCode);
  if (count > 0) {
    r.FirstByteMs = times.FirstByteMs;
    r.LastByteMs = times.LastByteMs;
  }
  ExchangeTap().Report(r);
}

void TapLateBytes(const TprPort& port, const uint8_t* bytes, int count) {
  if (count <= 0) return;
  TExchangeRecord r;
  r.Port = port.PortName();
  r.Protocol = port.Protocol();
  r.StartMs = r.SentMs = Clock().NowMs();
  r.When = std::chrono::system_clock::now();
  r.Reply.assign(bytes, bytes + count);
  r.Outcome = Late;
  ExchangeTap().Report(r);
}

void TapPendingInput(TprPort& port) {
  TCustomComPort* line = port.ComPort;
  if (!line || line->InputCount() <= 0) return;
  const TComTimeouts saved = line->Timeouts();
  TComTimeouts now = saved;
  now.ReadInterval = -1;  // return at once with what has come
  now.ReadTotalMultiplier = now.ReadTotalConstant = 0;
  line->SetTimeouts(now);
  uint8_t bytes[256];
  int count = 0;
  try {
    count = line->Read(bytes, int(sizeof bytes));
  } catch (...) {
    line->SetTimeouts(saved);
    throw;
  }
  line->SetTimeouts(saved);
  TapLateBytes(port, bytes, count);
}

std::vector<uint8_t> SealFrame(uint8_t protocol, std::vector<uint8_t> frame) {
  const size_t n = frame.size();
  if (protocol == ptVela) {
    frame.push_back(0);
    SealCrc8(frame.data(), int(n + 1));
  } else if (protocol == ptModbus) {
    frame.resize(n + 2);
    SealCrc16(frame.data(), int(n + 2));
  }
  return frame;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == ',') {
      if (high >= 0) return false;  // a lone digit
      continue;
    }
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(uint8_t(high << 4 | digit));
      high = -1;
    }
  }
  return high < 0;
}

std::string HexBytes(const uint8_t* bytes, int count) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size_t(std::max(0, count)) * 3);
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

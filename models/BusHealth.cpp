#include "models/BusHealth.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "comm/Resources.h"
#include "comm/prPort.h"

namespace {

using enum TExchangeOutcome;

// Kept per module: enough for a steady median, and for the requests a late reply may answer.
constexpr size_t RecentTimes = 255;
constexpr size_t RecentUnanswered = 16;

// The bytes that open the reply to a request: address and function (Modbus), or address,
// bank, register and direction (Vela).
size_t HeaderLength(uint8_t protocol) { return protocol == ptVela ? 4 : 2; }

bool HeaderAt(const std::vector<uint8_t>& reply, size_t at, const std::vector<uint8_t>& request,
              uint8_t protocol) {
  const size_t n = HeaderLength(protocol);
  if (request.size() < n || reply.size() < at + n) return false;
  if (protocol == ptModbus)
    return reply[at] == request[0] && (reply[at + 1] & 0x7F) == request[1];
  return std::memcmp(reply.data() + at, request.data(), n) == 0;
}

// Whether the reply holds the request's header further in: bytes came before the reply.
bool HeaderShifted(const std::vector<uint8_t>& reply, const std::vector<uint8_t>& request,
                   uint8_t protocol) {
  for (size_t at = 1; at + HeaderLength(protocol) <= reply.size(); ++at)
    if (HeaderAt(reply, at, request, protocol)) return true;
  return false;
}

// A clear share of the module's exchanges: a few, and a fifth of them at least.
bool Many(int64_t count, int64_t of) { return count >= 3 && count * 5 >= of; }

std::string WithNumber(const char* text, int64_t n) {
  std::string s = ResStr(text);
  if (const size_t at = s.find("%d"); at != std::string::npos) s.replace(at, 2, std::to_string(n));
  return s;
}

}  // namespace

double TModuleHealth::MedianResponseMs() const {
  if (Recent.empty()) return -1;
  std::vector<double> times(Recent.begin(), Recent.end());
  const auto middle = times.begin() + ptrdiff_t(times.size() / 2);
  std::nth_element(times.begin(), middle, times.end());
  return *middle;
}

const TModuleHealth* TBusHealth::Find(const std::string& port, int address) const {
  const auto it = Modules.find({port, address});
  return it == Modules.end() ? nullptr : &it->second;
}

void TBusHealth::Add(const TExchangeRecord& r) {
  if (r.Outcome == Late) {
    // No request: the burst counts for the module whose address it starts with, if the bus
    // has talked to one there, and not for whatever else its first byte may be.
    if (r.Reply.empty()) return;
    const auto owner = Modules.find({r.Port, r.Reply[0]});
    if (owner == Modules.end()) return;
    ++owner->second.Counts[size_t(Late)];
    MatchLate(owner->second, r);
    return;
  }
  if (r.Address < 0) return;
  TModuleHealth& m = Modules[{r.Port, r.Address}];
  m.Port = r.Port;
  m.Address = r.Address;
  ++m.Counts[size_t(r.Outcome)];
  ++m.Exchanges;
  m.TimeoutsInARow = r.Outcome == Timeout ? m.TimeoutsInARow + 1 : 0;
  switch (r.Outcome) {
    case Answered:
      if (r.LastByteMs >= 0) {
        m.Recent.push_back(r.LastByteMs);
        if (m.Recent.size() > RecentTimes) m.Recent.pop_front();
        m.MaxResponseMs = std::max(m.MaxResponseMs, r.LastByteMs);
      }
      break;
    case Timeout:
      m.Unanswered.push_back({r.Request, r.SentMs});
      if (m.Unanswered.size() > RecentUnanswered) m.Unanswered.pop_front();
      break;
    case BadChecksum:
    case WrongLength:
      if (HeaderShifted(r.Reply, r.Request, r.Protocol)) ++m.Shifted;
      else if (!HeaderAt(r.Reply, 0, r.Request, r.Protocol)) ++m.Garbled;
      break;
    default:
      break;
  }
  // Bytes that came while the request was sent, or that a read of another module took, may
  // be a late answer to an earlier request of the module whose address they carry.
  const bool stray = !r.Reply.empty() &&
                     (r.Outcome == WhileSending ||
                      (r.Outcome != Answered && r.Outcome != Exception && r.Reply[0] != r.Address));
  if (stray) {
    const auto owner = Modules.find({r.Port, r.Reply[0]});
    if (owner != Modules.end()) MatchLate(owner->second, r);
  }
}

void TBusHealth::MatchLate(TModuleHealth& m, const TExchangeRecord& r) {
  // The answer to the newest request it fits, as late as it came.
  for (auto it = m.Unanswered.rbegin(); it != m.Unanswered.rend(); ++it) {
    if (!HeaderAt(r.Reply, 0, it->Request, r.Protocol)) continue;
    // Its last byte came at the end of the read that took it, or when the line discarded it.
    const int64_t cameMs = r.Outcome == Late || r.LastByteMs < 0 ? r.StartMs
                                                                  : r.SentMs + int64_t(r.LastByteMs);
    m.MaxLatenessMs = std::max(m.MaxLatenessMs, double(cameMs - it->SentMs));
    m.Unanswered.erase(std::next(it).base());
    return;
  }
}

int64_t TBusHealth::SuggestedTimeoutMs(const TModuleHealth& m) {
  return int64_t(std::ceil(m.MaxLatenessMs * 1.2 / 10) * 10);
}

TBusDiagnosis TBusHealth::Diagnose(const TModuleHealth& m) const {
  using enum TBusDiagnosis;
  if (m.MaxLatenessMs >= 0) return TooLate;
  // A module that answered before and is silent now (unplugged, readdressed, another rate)
  // as much as one that never did.
  if (m.TimeoutsInARow >= 3) return Silent;
  if (Many(m.Shifted, m.Exchanges)) return Noise;
  if (Many(m.Garbled, m.Exchanges)) {
    // Mixed replies at one address while another module of the port answers well.
    for (const auto& [key, other] : Modules)
      if (key.first == m.Port && key.second != m.Address && other.Exchanges > 0 &&
          other.Count(Answered) * 5 >= other.Exchanges * 4)
        return TwoModules;
  }
  if (Many(m.Count(BadChecksum), m.Exchanges)) return LineFormat;
  if (Many(m.Count(WrongLength), m.Exchanges)) return CutShort;
  return None;
}

std::string TBusHealth::Diagnosis(const TModuleHealth& m) const {
  switch (Diagnose(m)) {
    case TBusDiagnosis::None: return {};
    case TBusDiagnosis::TooLate: return WithNumber("увеличьте таймаут до %d мс", SuggestedTimeoutMs(m));
    case TBusDiagnosis::Silent: return ResStr("модуль не отвечает: питание, адрес, скорость");
    case TBusDiagnosis::Noise: return ResStr("помехи перед ответом: проверьте смещение и терминатор линии");
    case TBusDiagnosis::TwoModules: return ResStr("два модуля с одним адресом?");
    case TBusDiagnosis::LineFormat: return ResStr("проверьте скорость, четность и терминатор линии");
    case TBusDiagnosis::CutShort:
      return ResStr("ответы приходят не полностью: проверьте кабель и терминатор линии");
  }
  return {};
}

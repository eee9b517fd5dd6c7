#pragma once
// The health of the bus, module by module, from the exchanges the tap reports: how many went
// well and how each of the others failed, the response times, and one sentence on the likely
// cause where the pattern is clear.
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "comm/ExchangeTap.h"

struct TModuleHealth {
  std::string Port;
  int Address = 0;
  int64_t Exchanges = 0;  // requests sent to the address
  // Requests by outcome, and the late bursts that carried the address.
  std::array<int64_t, ExchangeOutcomeCount> Counts{};
  int64_t Count(TExchangeOutcome outcome) const { return Counts[size_t(outcome)]; }
  // Replies whose header did not match the request although the checksum failed (bytes of
  // two senders mixed), and replies that held the expected header further in (bytes before it).
  int64_t Garbled = 0;
  // Requests in a row, up to the last, that got no reply at all.
  int64_t TimeoutsInARow = 0;
  int64_t Shifted = 0;
  // Milliseconds from the request to a late burst that answered it, the longest seen.
  double MaxLatenessMs = -1;
  double MaxResponseMs = -1;
  double MedianResponseMs() const;

  // The recent response times (the median is over these) and the recent unanswered requests
  // (a late burst is matched against them).
  std::deque<double> Recent;
  struct TUnanswered {
    std::vector<uint8_t> Request;
    int64_t SentMs;
  };
  std::deque<TUnanswered> Unanswered;
};

// The clear patterns.
enum class TBusDiagnosis {
  None,
  TooLate,      // replies come after the time-out: a longer one would take them
  Silent,       // no reply any more
  Noise,        // bytes before the replies
  TwoModules,   // mixed replies at one address while other modules answer well
  LineFormat,   // checksum errors: baud rate, parity, terminator
  CutShort,     // replies cut short
};

class TBusHealth {
 public:
  void Add(const TExchangeRecord& record);
  void Clear() { Modules.clear(); }
  // By port and address.
  const std::map<std::pair<std::string, int>, TModuleHealth>& All() const { return Modules; }
  const TModuleHealth* Find(const std::string& port, int address) const;
  TBusDiagnosis Diagnose(const TModuleHealth& module) const;
  // One sentence on the likely cause (looked up); empty where the pattern is not clear.
  std::string Diagnosis(const TModuleHealth& module) const;
  // The time-out that would take the latest reply seen: a fifth more, in whole tens of ms.
  static int64_t SuggestedTimeoutMs(const TModuleHealth& module);

 private:
  // Takes the record's bytes for a late answer to one of the module's unanswered requests.
  void MatchLate(TModuleHealth& module, const TExchangeRecord& record);

  std::map<std::pair<std::string, int>, TModuleHealth> Modules;
};

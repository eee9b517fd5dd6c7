#include "sim/SimBus.h"

#include <algorithm>

TSimModule& TSimBus::Add(TSimModule module) {
  Items.push_back(std::make_unique<TSimModule>(std::move(module)));
  return *Items.back();
}

TSimModule* TSimBus::At(uint8_t address) {
  for (auto& m : Items)
    if (m->AnswerAddress() == address) return m.get();
  return nullptr;
}

std::vector<uint8_t> CollideReplies(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const size_t n = std::max(a.size(), b.size() + 1);
  std::vector<uint8_t> out(n, 0xFF);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t first = i < a.size() ? a[i] : 0xFF;
    // b shifted by four bit times: the high half of b[i-1] and the low half of b[i].
    const uint8_t low = i == 0 ? 0x0F : (i - 1 < b.size() ? uint8_t(b[i - 1] >> 4) : 0x0F);
    const uint8_t high = i < b.size() ? uint8_t(b[i] << 4) : 0xF0;
    out[i] = first & uint8_t(high | low);
  }
  return out;
}

namespace {

// Applies a module's fault to its reply; false when the module stays silent.
bool ApplyFault(TSimFault& fault, std::vector<uint8_t>& bytes, double& delayMs) {
  if (fault.Kind == TSimFaultKind::None || fault.Replies == 0) return true;
  if (fault.Replies > 0) --fault.Replies;
  switch (fault.Kind) {
    case TSimFaultKind::None: break;
    case TSimFaultKind::Silence: return false;
    case TSimFaultKind::BadCrc: bytes.back() ^= 0xFF; break;
    case TSimFaultKind::Truncated: {
      const size_t keep = fault.Param > 0 ? size_t(fault.Param) : std::max<size_t>(1, bytes.size() / 2);
      if (keep < bytes.size()) bytes.resize(keep);
      break;
    }
    case TSimFaultKind::Late: delayMs += fault.Param > 0 ? fault.Param : 1000; break;
    case TSimFaultKind::Noise: {
      static constexpr uint8_t pattern[] = {0x00, 0xFF, 0x55, 0xAA, 0x0F, 0xF0, 0x33, 0xCC};
      const int count = fault.Param > 0 ? fault.Param : 3;
      std::vector<uint8_t> noisy;
      for (int i = 0; i < count; ++i) noisy.push_back(pattern[size_t(i) % sizeof pattern]);
      bytes.insert(bytes.begin(), noisy.begin(), noisy.end());
      break;
    }
  }
  return true;
}

}  // namespace

std::optional<TSimReply> TSimBus::Serve(const uint8_t* frame, int n, int64_t nowMs,
                                        const TSimLine& line) {
  ++FramesReceived;
  std::optional<TSimReply> result;
  for (auto& m : Items) {
    auto bytes = m->Serve(frame, n, nowMs, line, Protocol);
    if (!bytes) continue;
    double delay = TurnaroundMs;
    if (!ApplyFault(m->Fault, *bytes, delay)) continue;
    if (!result) {
      result = TSimReply{std::move(*bytes), delay};
    } else {
      result->Bytes = CollideReplies(result->Bytes, *bytes);
      result->DelayMs = std::min(result->DelayMs, delay);
    }
  }
  if (result) ++RepliesSent;
  return result;
}

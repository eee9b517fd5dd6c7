#include "sim/SimBackend.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

#include "comm/Clock.h"

namespace {

int LineBaud(const TComLineSettings& line) {
  static constexpr int rates[] = {0,    110,   300,   600,   1200,   2400,   4800,   9600,
                                  14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
  const int rate = line.BaudRate == brCustom ? line.CustomBaudRate
                                             : rates[std::clamp(int(line.BaudRate), 0, 15)];
  return rate > 0 ? rate : 9600;
}

TFakeClock* FakeClock() { return dynamic_cast<TFakeClock*>(&Clock()); }

}  // namespace

TSimBackend::TSimBackend(std::shared_ptr<TSimBus> bus) : DefaultBus(std::move(bus)) {}

void TSimBackend::SetBus(const std::string& port, std::shared_ptr<TSimBus> bus) {
  PortBuses[port] = std::move(bus);
}

std::shared_ptr<TSimBus> TSimBackend::Bus(const std::string& port) const {
  const auto it = PortBuses.find(port);
  return it != PortBuses.end() ? it->second : DefaultBus;
}

double TSimBackend::CharTimeMs() const {
  const int data = 5 + int(Line.DataBits);
  const int parity = Line.Parity.Bits == prNone ? 0 : 1;
  const double stop = Line.StopBits == sbOneStopBit ? 1.0 : Line.StopBits == sbOne5StopBits ? 1.5 : 2.0;
  return (1 + data + parity + stop) * 1000.0 / LineBaud(Line);
}

double TSimBackend::LineNowMs() const {
  TFakeClock* fake = FakeClock();
  const double clockMs = double(fake ? fake->Now : Clock().NowMs());
  return std::max(VirtualMs, clockMs);
}

void TSimBackend::AdvanceTo(double ms) {
  if (ms <= LineNowMs()) return;
  VirtualMs = ms;
  if (TFakeClock* fake = FakeClock()) {
    const int64_t whole = int64_t(std::floor(ms));
    if (whole > fake->Now) fake->Advance(whole - fake->Now);
  }
}

TSimLine TSimBackend::LineForModules() const {
  TSimLine line;
  line.Known = true;
  line.Baud = LineBaud(Line);
  line.ParityKnown = true;
  switch (Line.Parity.Bits) {
    case prNone: line.Parity = 0; break;
    case prOdd: line.Parity = 1; break;
    case prEven: line.Parity = 2; break;
    default: line.Parity = 3; break;  // mark or space: no module setting matches
  }
  return line;
}

void TSimBackend::CheckPlugged(int err) {
  if (Unplugged) Broken = true;
  if (Broken) throw EComPort(err, EIO);
}

void TSimBackend::Open(const std::string& port) {
  if (Unplugged) throw EComPort(CError_OpenFailed, ENOENT);
  if (FailOpen || std::find(BusyPorts.begin(), BusyPorts.end(), port) != BusyPorts.end())
    throw EComPort(CError_OpenFailed, EBUSY);
  Opened = true;
  PortName = port;
  Current = Bus(port);
  Pending.clear();
  ++OpenCount;
}

void TSimBackend::Close() {
  if (Opened) ++CloseCount;
  Opened = false;
  Broken = false;
  Current.reset();
  Pending.clear();
}

void TSimBackend::Purge(bool input, bool /*output: writes complete at once*/) {
  if (!Opened) throw EComPort(CError_PurgeFailed, EBADF);
  CheckPlugged(CError_PurgeFailed);
  ++PurgeCount;
  if (!input) return;
  // Bytes still on their way (a late reply) are not in the buffer yet and survive the purge.
  const double now = LineNowMs();
  std::erase_if(Pending, [now](const TPending& p) { return p.ArrivalMs <= now; });
}

int TSimBackend::Write(const uint8_t* bytes, int count) {
  if (!Opened) throw EComPort(CError_WriteFailed, EBADF);
  CheckPlugged(CError_WriteFailed);
  WhileSending = 0;
  if (count <= 0) return 0;
  Frames.emplace_back(bytes, bytes + count);
  const double c = CharTimeMs();
  const double end = LineNowMs() + count * c;
  AdvanceTo(end);
  WhileSending = InputCount();
  if (!Current) return count;
  std::optional<TSimReply> reply;
  {
    std::lock_guard<std::mutex> lock(Current->Mutex());
    // The modules count their time from the first frame on the real clock, from 0 on a fake
    // one, so that a fake clock's time is the modules' time.
    if (!OriginSet) {
      Origin = FakeClock() ? 0 : int64_t(std::floor(end));
      OriginSet = true;
    }
    reply = Current->Serve(bytes, count, int64_t(std::floor(end)) - Origin, LineForModules());
  }
  if (reply) {
    for (size_t i = 0; i < reply->Bytes.size(); ++i)
      Pending.push_back({end + reply->DelayMs + double(i + 1) * c, reply->Bytes[i]});
    std::stable_sort(Pending.begin(), Pending.end(),
                     [](const TPending& a, const TPending& b) { return a.ArrivalMs < b.ArrivalMs; });
  }
  return count;
}

int TSimBackend::Read(uint8_t* buffer, int count) {
  if (!Opened) throw EComPort(CError_ReadFailed, EBADF);
  CheckPlugged(CError_ReadFailed);
  const double start = LineNowMs();
  if (count <= 0) {
    FirstMs = LastMs = -1;
    Reads.emplace_back();
    return 0;
  }
  constexpr double never = std::numeric_limits<double>::infinity();
  const bool hasTotal = Timeouts.ReadTotalMultiplier > 0 || Timeouts.ReadTotalConstant > 0;
  const bool returnAtOnce = Timeouts.ReadInterval < 0 && !hasTotal;
  const double interval = Timeouts.ReadInterval > 0 ? Timeouts.ReadInterval : 0;
  const double deadline =
      returnAtOnce ? start
                   : hasTotal ? start + double(Timeouts.ReadTotalMultiplier) * count +
                                    Timeouts.ReadTotalConstant
                              : never;

  int taken = 0;
  double last = start;
  for (const TPending& p : Pending) {
    if (taken == count) break;
    const double arrival = std::max(p.ArrivalMs, start);
    if (arrival > deadline) break;
    if (interval > 0 && taken > 0 && arrival - last > interval) break;
    if (taken == 0) FirstMs = arrival - start;
    buffer[taken++] = p.Byte;
    last = arrival;
  }
  LastMs = taken > 0 ? last - start : -1;
  if (taken == 0) FirstMs = -1;
  Pending.erase(Pending.begin(), Pending.begin() + taken);

  double end;
  if (taken == count || returnAtOnce) {
    end = taken > 0 ? last : start;
  } else {
    end = deadline;
    if (interval > 0 && taken > 0) end = std::min(end, last + interval);
    // Without any time-out a real read would wait for ever; here it gives what came.
    if (end == never) end = taken > 0 ? last : start;
  }
  AdvanceTo(end);
  Reads.emplace_back(buffer, buffer + taken);
  return taken;
}

int TSimBackend::InputCount() {
  if (!Opened) throw EComPort(CError_ClearComFailed, EBADF);
  CheckPlugged(CError_ClearComFailed);
  const double now = LineNowMs();
  return int(std::count_if(Pending.begin(), Pending.end(),
                           [now](const TPending& p) { return p.ArrivalMs <= now; }));
}

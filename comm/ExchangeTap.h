#pragma once
// The tap on the line: every exchange of a port node (search probes, register reads and
// writes, hand-made frames) and every burst of bytes the line discards as late is reported to
// the observers that listen, as it happened on the wire.
//
// Nobody listening costs one relaxed atomic load per exchange. Observers are called on the
// thread that runs the exchange, one record after another; an observer that feeds a window
// hands the record over to the window's thread itself. An observer may be removed at any
// time: a report already under way on another thread may still reach it once, which is why
// observers are held by shared pointers.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TprPort;

// What came of an exchange.
enum class TExchangeOutcome : uint8_t {
  Answered,      // a whole reply, sealed and matching the request
  Timeout,       // nothing came within the read time-out
  BadChecksum,   // a reply of the expected length whose checksum is wrong
  WrongLength,   // a sealed reply of another length or request, or one cut short
  Exception,     // a Modbus exception reply
  Late,          // bytes that came after their exchange had ended, discarded by the line
  WhileSending,  // bytes that came while the request was still being sent: no answer to it
};
inline constexpr int ExchangeOutcomeCount = 7;

struct TExchangeRecord {
  uint64_t Number = 0;  // running number of the report, from 1
  std::string Port;
  uint8_t Protocol = 0;  // TprProtocol
  int Address = -1;      // the request's bus address; -1 for a late burst, which has none
  // Clock() milliseconds when the request began to go out, and when its last byte had left
  // (a late burst: both when it was discarded).
  int64_t StartMs = 0;
  int64_t SentMs = 0;
  // The time of day of StartMs, for the log.
  std::chrono::system_clock::time_point When;
  std::vector<uint8_t> Request;
  // The bytes received, also when they are no answer (cut short, voided, discarded).
  std::vector<uint8_t> Reply;
  int ExpectedLength = 0;  // the reply length the request asks for
  TExchangeOutcome Outcome = TExchangeOutcome::Timeout;
  uint8_t ExceptionCode = 0;
  // Milliseconds from the request's last byte to the reply's first and last byte; -1 when
  // nothing came or the line cannot tell.
  double FirstByteMs = -1;
  double LastByteMs = -1;
  int ReadTimeoutMs = 0;  // the read time-out the exchange waited with
};

using TExchangeObserver = std::function<void(const TExchangeRecord&)>;

class TExchangeTap {
 public:
  bool Observed() const { return Listeners.load(std::memory_order_relaxed) > 0; }
  // Returns a key for Remove.
  int Add(TExchangeObserver observer);
  void Remove(int key);
  // Numbers the record and hands it to every observer.
  void Report(TExchangeRecord& record);

 private:
  using TList = std::vector<std::pair<int, std::shared_ptr<const TExchangeObserver>>>;
  std::mutex Lock;
  std::shared_ptr<const TList> Observers = std::make_shared<TList>();
  std::atomic<int> Listeners{0};
  int NextKey = 1;
  std::atomic<uint64_t> Count{0};
};

// The one tap every port node reports to.
TExchangeTap& ExchangeTap();

// Listens for as long as it lives.
class TTapListener {
 public:
  explicit TTapListener(TExchangeObserver observer) : Key(ExchangeTap().Add(std::move(observer))) {}
  ~TTapListener() { ExchangeTap().Remove(Key); }
  TTapListener(const TTapListener&) = delete;
  TTapListener& operator=(const TTapListener&) = delete;

 private:
  int Key;
};

// The outcome of an exchange from its bytes, by the protocol's framing. early: the bytes came
// while the request was still being sent.
TExchangeOutcome ClassifyExchange(uint8_t protocol, const uint8_t* request, int requestLength,
                                  const uint8_t* reply, int count, int expectedLength, bool early,
                                  uint8_t* exceptionCode = nullptr);

// The port node's reports (called only while the tap is observed). startMs: the clock's time
// before the request went out; times: the reply read's, taken from the line right after it.
struct TTapTimes {
  int64_t StartMs = 0;
  int ReadTimeoutMs = 0;
  double FirstByteMs = -1, LastByteMs = -1;
};
void TapExchange(TprPort& port, const uint8_t* request, int requestLength, const uint8_t* reply,
                 int count, int expectedLength, bool early, const TTapTimes& times);
void TapLateBytes(const TprPort& port, const uint8_t* bytes, int count);
// Takes what is waiting in the line's input without waiting and reports it as late, before
// a purge throws it away unseen.
void TapPendingInput(TprPort& port);

// The checksum of the protocol appended to a frame (Vela CRC-8, Modbus CRC-16 low byte first);
// other protocols have none.
std::vector<uint8_t> SealFrame(uint8_t protocol, std::vector<uint8_t> frame);
// Bytes from hex text: pairs of hex digits, blanks between bytes optional. False for any other
// character or an odd digit out.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);
// "01 03 00 10": upper-case pairs separated by blanks.
std::string HexBytes(const uint8_t* bytes, int count);
inline std::string HexBytes(const std::vector<uint8_t>& bytes) {
  return HexBytes(bytes.data(), int(bytes.size()));
}

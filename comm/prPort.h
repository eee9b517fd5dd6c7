#pragma once
// The tree node of one serial port: the line settings chosen on the port page, pushed to the
// shared serial line, and the elementary exchange (purge, send one frame, collect the reply).
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/LineCodes.h"
#include "comm/prDevReg.h"
#include "comm/prNode.h"

class TLineExecutor;

enum TprProtocol : uint8_t { ptModbus = 0, ptDCS = 1, ptVela = 2 };

// The network allowance of a new port, and the most the port page takes.
inline constexpr int32_t kDefaultNetworkAllowanceMs = 50;
inline constexpr int32_t kMaxNetworkAllowanceMs = 5000;

class TprPort : public TprNode {
 public:
  explicit TprPort(TComponent* owner = nullptr) : TprNode(owner) {}

  // The line settings chosen for this port. Each setter stores the setting and pushes it to
  // the line where the setting concerns it; there is no other way to change one.
  void SetComPort(TCustomComPort* line) { ComPort = line; }
  const std::string& PortName() const { return Settings.PortName; }
  void SetPortName(const std::string& name);
  uint8_t Protocol() const { return Settings.Protocol; }
  void SetProtocol(uint8_t protocol);
  // Bits per second, one of the rates of BaudRates.
  int32_t BaudRate() const { return Settings.BaudRate; }
  // A rate that BaudRates does not hold is refused: the setting and the line stay as they
  // were, and the result is false.
  bool SetBaudRate(int32_t bitsPerSecond);
  TLineParity Parity() const { return Settings.Parity; }
  // A value outside TLineParity is refused like an unknown rate.
  bool SetParity(TLineParity parity);
  // Milliseconds; 0: derived from the character time.
  int32_t Timeout() const { return Settings.Timeout; }
  void SetTimeout(int32_t timeoutMs);
  bool InitMode() const { return Settings.InitMode; }
  void SetInitMode(bool on) { Settings.InitMode = on; }
  bool UseLRC() const { return Settings.UseLRC; }
  void SetUseLRC(bool on) { Settings.UseLRC = on; }
  // Whether the port reaches its bus through a network gateway ("tcp://HOST:PORT").
  bool IsNetworkPort() const;
  // Milliseconds the automatic time-out allows a network port for the round trip through the
  // network and the gateway; a serial port takes none.
  int32_t NetworkAllowance() const { return Settings.NetworkAllowance; }
  void SetNetworkAllowance(int32_t ms);

  // Pushes everything to the line: event character, baud rate, time-outs, parity.
  void ApplySettings();
  // Milliseconds one character takes at the line's current settings.
  double CharTimeMs() const;

  // One exchange; returns the number of bytes received (also stored in the reply's
  // RequestLength). Line errors raise EComPort.
  //
  // Late replies. Modbus RTU carries no transaction number, so a reply that arrives after its
  // read timed out would be taken for the answer to a later request of that module (another
  // register of the same size passes every check). The exchange keeps, per module, the
  // requests whose reply the line has not shown yet, and takes a reply only when it cannot
  // be the late answer to one of them:
  //  - with none outstanding, a reply in time is taken as it is (a module that answers in
  //    time sees no wait at all);
  //  - before a request to a module with one outstanding, the line is watched until it has
  //    been quiet for the module's reply window, or until every outstanding reply has come
  //    (each burst of bytes is the reply of the oldest outstanding request: a module answers
  //    in order). The window is the read time-out and one read interval until the module has
  //    been seen late, then the lateness seen and a margin, narrowing again once replies come
  //    in time;
  //  - a reply that comes in time while one is still outstanding is taken only if the line
  //    then stays quiet for as long as the next late reply would take to follow it (the
  //    longest spacing of the outstanding requests and a margin). If another reply comes, the
  //    first was an earlier request's, and the read counts as timed out;
  //  - bytes that arrived while a request was still being sent, before the module could have
  //    heard all of it, are an earlier reply and void that exchange's reply.
  // A request whose reply has not come is forgotten after 20 read time-outs (3 s at least).
  int ExchangeVela(const TVelaRecord& request, TVelaRecord& reply);
  int ExchangeModbus(const TModbusRecord& request, TModbusRecord& reply);
  int ExchangeDcs(const TDcsRecord& request, TDcsRecord& reply);
  // Forgets every outstanding request: the module search asks each address once and its
  // replies carry their address, so it keeps its own timing.
  void ClearReplyGuards() { Tracks.fill({}); }
  // How late the module at the address answered lately, in milliseconds from the end of the
  // request to the end of the reply; 0 once a reply came in time (or none came for a while).
  int LateReplyMs(uint8_t address) const;
  // Watches the line until it has been quiet for withinMs or every outstanding reply of the
  // module has come (a program that ends after a failed read learns that way whether the
  // module is late rather than silent); then LateReplyMs.
  int AwaitLateReplies(uint8_t address, int withinMs);
  // Milliseconds spent so far watching the line for late replies before a request or after
  // a reply.
  int64_t GuardWaitedMs = 0;

  TCustomComPort* ComPort = nullptr;
  // Where the exchanges of this port run (nullptr: at once, on the calling thread).
  TLineExecutor* Executor = nullptr;

  struct TSettings {
    std::string PortName = "COM1";
    uint8_t Protocol = ptModbus;
    int32_t BaudRate = 9600;
    TLineParity Parity = TLineParity::None;
    int32_t Timeout = 0;
    bool InitMode = false;
    bool UseLRC = false;
    int32_t NetworkAllowance = kDefaultNetworkAllowanceMs;
  };
  // All the settings at once (a copy taken where the port's exchanges run).
  TSettings AllSettings() const { return Settings; }

 private:
  TSettings Settings;

  void ApplyEventChar();
  void ApplyBaudRate();
  void ApplyParity();
  void ApplyTimeouts();
  // Purge, send, collect: the one exchange behind the three record kinds. complete tells
  // whether a reply that fell short of the reply length is still the request's whole answer.
  using TFrameCheck = bool (*)(const uint8_t* request, const uint8_t* reply, int count);
  template <class Record>
  int ExchangeRecord(const Record& request, Record& reply, TFrameCheck complete);
  int Exchange(const uint8_t* request, int requestLength, int replyLength, uint8_t* reply,
               int replyCapacity, TFrameCheck complete);
  // What the line has shown of one module's replies.
  struct TSentRequest {
    int64_t EndMs;   // when its last byte had been sent
    int TimeoutMs;   // its read time-out
  };
  struct TReplyTrack {
    // Requests whose reply has not come, oldest first.
    std::vector<TSentRequest> Outstanding;
    // How long the line is watched before the next request; 0: the read time-out of the
    // last outstanding request and one read interval.
    int WindowMs = 0;
    int LateMs = 0;  // the lateness last seen; 0 once a reply came in time
    int64_t LateSeenMs = 0;
  };
  // Watches the line until it has been quiet for quietMs since sinceMs; each burst of bytes
  // goes to onBurst with the time its last byte arrived and its first byte, and ends the
  // watch when onBurst returns true. Returns whether a burst came.
  bool WatchLine(int64_t sinceMs, int quietMs,
                 const std::function<bool(int64_t arrivedMs, uint8_t first)>& onBurst);
  // Before a request to the module: watches the line while a reply of it is outstanding.
  void AwaitOutstanding(uint8_t address);
  // Watches the line until quiet for quietMs since sinceMs or until no reply of the module is
  // outstanding, each burst being the reply of an outstanding request; whether one came.
  bool WatchForReplies(uint8_t address, int64_t sinceMs, int quietMs);
  // After the read: whether the bytes read are the request's own reply (see the exchange).
  bool OwnReply(uint8_t address, int64_t sentMs, int timeoutMs, bool whole, bool early, int got);
  // A burst of bytes at arrivedMs: the reply of the oldest outstanding request of the module
  // whose address it starts with, else of `address`.
  void ReplySeen(uint8_t address, int64_t arrivedMs, uint8_t first);
  void Forget(TReplyTrack& track, int64_t nowMs);
  // Reads the bytes that follow the ones just read without a frame gap (the rest of their
  // burst); whether there were any.
  bool RestOfBurst();
  // A burst of bytes ends when the line has been still for the gap that ends a frame (3.5
  // characters).
  int FrameGapMs() const;
  // One read interval (16 characters) and a margin for the module's and the adapter's
  // delivery to vary from one reply to the next.
  int LatenessSlackMs() const;

  std::array<TReplyTrack, 256> Tracks;
  // The clock's time at the end of the last exchange: the line is known quiet since then as
  // long as nothing is waiting in its input.
  int64_t LastExchangeEndMs = 0;
};

// Search probes: the templates read the register holding the model code.
TVelaRecord VelaProbeTemplate();
TModbusRecord ModbusProbeTemplate();
TDcsRecord DcsProbeTemplate();
void PrepareVelaProbe(const TVelaRecord& tmpl, uint8_t address, TVelaRecord& request);
void PrepareModbusProbe(const TModbusRecord& tmpl, uint8_t address, TModbusRecord& request);
void PrepareDcsProbe(const TDcsRecord& tmpl, TDcsRecord& request);
// Accepted under the reply checks of the register decoders; value is delivered in any case.
bool CheckVelaProbe(const TVelaRecord& reply, const TVelaRecord& request, uint8_t& value);
bool CheckModbusProbe(const TModbusRecord& reply, const TModbusRecord& request, uint8_t& value);
bool CheckDcsProbe(const TDcsRecord& reply, const TDcsRecord& request, uint8_t& value);

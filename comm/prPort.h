#pragma once
// The tree node of one serial port: the line settings chosen on the port page, pushed to the
// shared serial line, and the elementary exchange (purge, send one frame, collect the reply).
#include <array>
#include <cstdint>
#include <string>

#include "comm/CPort.h"
#include "comm/LineCodes.h"
#include "comm/prDevReg.h"
#include "shell/prNode.h"

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
  // read timed out would be taken for the answer to the next request of that module (another
  // register of the same size passes every check). The exchange guards in time: after a read
  // of a module timed out, the next request to that module waits until the line has been
  // quiet for the read time-out of the read that timed out and one read interval more (bytes
  // arriving meanwhile are discarded), and bytes that arrived while a request was still being
  // sent, before the module could have heard all of it, void that exchange's reply.
  // A reply up to twice the time-out late is thereby never taken for another's.
  int ExchangeVela(const TVelaRecord& request, TVelaRecord& reply);
  int ExchangeModbus(const TModbusRecord& request, TModbusRecord& reply);
  int ExchangeDcs(const TDcsRecord& request, TDcsRecord& reply);
  // Drops every armed guard: the module search asks each address once and its replies carry
  // their address, so it keeps its own timing.
  void ClearReplyGuards() { GuardMs.fill(0); }
  // Milliseconds spent so far waiting for a quiet line before a request.
  int64_t GuardWaitedMs = 0;

  TCustomComPort* ComPort = nullptr;

 private:
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
  // Waits until nothing has arrived for guardMs, discarding what arrives meanwhile.
  void WaitForQuietLine(int guardMs);

  // Per bus address: the guard interval armed by a timed-out read, 0 when none.
  std::array<int, 256> GuardMs{};
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

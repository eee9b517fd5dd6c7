#pragma once
// The tree node of one serial port: the line settings chosen on the port page, pushed to the
// shared serial line, and the elementary exchange (purge, send one frame, collect the reply).
#include <cstdint>
#include <string>

#include "comm/CPort.h"
#include "comm/prDevReg.h"
#include "shell/prNode.h"

enum TprProtocol : uint8_t { ptModbus = 0, ptDCS = 1, ptVela = 2 };

class TprPort : public TprNode {
 public:
  explicit TprPort(TComponent* owner = nullptr) : TprNode(owner) {}

  // Each setter stores the field and pushes it to the line where the field concerns it.
  void SetComPort(TCustomComPort* line) { ComPort = line; }
  void SetPortName(const std::string& name);
  void SetProtocol(uint8_t protocol);
  void SetBaudRate(const std::string& text);
  void SetParity(const std::string& text);
  void SetTimeout(int32_t timeoutMs);
  void SetInitMode(bool on) { InitMode = on; }
  void SetUseLRC(bool on) { UseLRC = on; }

  // Pushes everything to the line: event character, baud rate, time-outs, parity.
  void ApplySettings();
  // Milliseconds one character takes at the line's current settings.
  double CharTimeMs() const;

  // One exchange; returns the number of bytes received (also stored in the reply's
  // RequestLength). Line errors raise EComPort.
  int ExchangeVela(const TVelaRecord& request, TVelaRecord& reply);
  int ExchangeModbus(const TModbusRecord& request, TModbusRecord& reply);
  int ExchangeDcs(const TDcsRecord& request, TDcsRecord& reply);

  TCustomComPort* ComPort = nullptr;
  std::string PortName = "COM1";
  uint8_t Protocol = ptModbus;
  std::string BaudRate = "9600";
  std::string Parity = "Нет";
  int32_t Timeout = 0;
  bool InitMode = false;
  bool UseLRC = false;

 private:
  void ApplyEventChar();
  void ApplyBaudRate();
  void ApplyParity();
  void ApplyTimeouts();
  // Purge, send, collect: the one exchange behind the three record kinds.
  static int Exchange(TCustomComPort* line, const uint8_t* request, int requestLength,
                      int replyLength, uint8_t* reply, int replyCapacity);
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

#pragma once
// The serial line: its settings, open/close, purge, blocking reads and writes with time-outs,
// and the list of the machine's serial ports. TCustomComPort keeps the settings and their
// semantics; a backend does the operating-system work (termios on Linux, or a simulated bus).
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "comm/Component.h"

enum TBaudRate {
  brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
  br19200, br38400, br56000, br57600, br115200, br128000, br256000
};
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

// The rate in bits per second of a standard rate (0 for brCustom).
int BaudRateValue(TBaudRate rate);
// The standard rate of so many bits per second; brCustom for a rate no standard one has.
TBaudRate StandardBaudRate(int bitsPerSecond);
// The rate named by a text ("Custom", "110", ... "256000", ignoring case); br9600 for others.
TBaudRate StrToBaudRate(const std::string& text);

struct TComTimeouts {
  int ReadInterval = -1;  // -1: a read returns at once with what has arrived
  int ReadTotalMultiplier = 0;
  int ReadTotalConstant = 0;
  int WriteTotalMultiplier = 100;
  int WriteTotalConstant = 1000;
  bool operator==(const TComTimeouts&) const = default;
};

struct TComParity {
  TParityBits Bits = prNone;
  bool Check = false;
  bool operator==(const TComParity&) const = default;
};

struct TComFlowControl {
  TDTRFlowControl ControlDTR = dtrDisable;
  TRTSFlowControl ControlRTS = rtsDisable;
  bool OutCTSFlow = false;
  bool OutDSRFlow = false;
  bool XonXoffIn = false;
  bool XonXoffOut = false;
  bool operator==(const TComFlowControl&) const = default;
};

struct TComBuffer {
  int InputSize = 1024;
  int OutputSize = 1024;
  bool operator==(const TComBuffer&) const = default;
};

// Everything the line pushes to the device on open and on a change of a line setting.
struct TComLineSettings {
  TBaudRate BaudRate = br9600;
  int CustomBaudRate = 9600;
  TDataBits DataBits = dbEight;
  TStopBits StopBits = sbOneStopBit;
  TComParity Parity;
  char EventChar = 0;
  TComFlowControl FlowControl;
  bool operator==(const TComLineSettings&) const = default;
};

// Error of the serial line: a code of the error table and, where the system gave one, errno.
// A hint for the user (no access to the device, the port is busy) follows the message on a
// line of its own.
class EComPort : public std::runtime_error {
 public:
  EComPort(int code, int winCode = -1, const std::string& hint = {});
  int Code;
  int WinCode;  // -1: no system error number
  std::string Hint;
};

enum : int {
  CError_OpenFailed = 1,
  CError_WriteFailed = 2,
  CError_ReadFailed = 3,
  CError_InvalidAsync = 4,
  CError_PurgeFailed = 5,
  CError_AsyncCheck = 6,
  CError_SetStateFailed = 7,
  CError_TimeoutsFailed = 8,
  CError_SetupComFailed = 9,
  CError_ClearComFailed = 10,
  CError_ModemStatFailed = 11,
  CError_EscapeComFailed = 12,
  CError_TransmitFailed = 13,
  CError_ConnChangeProp = 14,
  CError_EnumPortsFailed = 15,
  CError_StoreFailed = 16,
  CError_LoadFailed = 17,
  CError_RegFailed = 18,
  CError_LedStateFailed = 19,
  CError_ThreadCreated = 20,
  CError_WaitFailed = 21,
  CError_HasLink = 22,
  CError_RegError = 23,
};

// The OS side of the line. Every failing call raises EComPort with the code of its operation.
class TComBackend {
 public:
  virtual ~TComBackend() = default;
  virtual void Open(const std::string& port) = 0;  // exclusive; raises code 1
  virtual void Close() = 0;
  virtual void ApplyBuffer(const TComBuffer& buffer) = 0;
  virtual void ApplyLine(const TComLineSettings& settings) = 0;
  virtual void ApplyTimeouts(const TComTimeouts& timeouts) = 0;
  virtual void Purge(bool input, bool output) = 0;
  // Blocking, with the semantics of the time-outs last applied.
  virtual int Write(const uint8_t* bytes, int count) = 0;
  virtual int Read(uint8_t* buffer, int count) = 0;
  // Bytes received and not yet read; raises code 10. A device that cannot tell reports none.
  virtual int InputCount() { return 0; }
  // Bytes that had arrived while the last write was still going out, before its last byte
  // had left: no module can have answered that request yet. A device that cannot tell (a
  // pseudo-terminal has no wire time) reports none.
  virtual int ReceivedWhileSending() { return 0; }
  // When the first and the last byte of the last read arrived, in milliseconds after the read
  // began; -1 for both when nothing arrived or the device cannot tell.
  virtual void LastReadTimes(double& firstMs, double& lastMs) { firstMs = lastMs = -1; }
};

class TCustomComPort : public TComponent {
 public:
  explicit TCustomComPort(std::unique_ptr<TComBackend> backend, TComponent* owner = nullptr);
  ~TCustomComPort() override;

  // Settings. Changing one while open applies it at once; changing Port while open to a
  // different name (exact comparison) closes and reopens on the new name.
  const std::string& Port() const { return PortName; }
  void SetPort(const std::string& name);
  TBaudRate BaudRate() const { return Line.BaudRate; }
  void SetBaudRate(TBaudRate rate);
  int CustomBaudRate() const { return Line.CustomBaudRate; }
  void SetCustomBaudRate(int rate);
  TDataBits DataBits() const { return Line.DataBits; }
  void SetDataBits(TDataBits bits);
  TStopBits StopBits() const { return Line.StopBits; }
  void SetStopBits(TStopBits bits);
  const TComParity& Parity() const { return Line.Parity; }
  void SetParity(const TComParity& parity);
  char EventChar() const { return Line.EventChar; }
  void SetEventChar(char c);
  const TComFlowControl& FlowControl() const { return Line.FlowControl; }
  void SetFlowControl(const TComFlowControl& flow);
  const TComBuffer& Buffer() const { return Buffers; }
  void SetBuffer(const TComBuffer& buffer);
  const TComTimeouts& Timeouts() const { return Times; }
  void SetTimeouts(const TComTimeouts& timeouts);
  const TComLineSettings& LineSettings() const { return Line; }

  bool Connected() const { return IsOpen; }
  // Opens Port exclusively and applies buffers, line settings and time-outs in this order.
  void Open();
  void Close();
  void ClearBuffer(bool input, bool output);
  int Write(const void* bytes, int count);
  int Read(void* buffer, int count);
  // Bytes received and not yet read.
  int InputCount();
  // Bytes that arrived while the last write was still being sent.
  int ReceivedWhileSending();
  void LastReadTimes(double& firstMs, double& lastMs) { Impl->LastReadTimes(firstMs, lastMs); }

  TComBackend& Backend() { return *Impl; }

 private:
  std::unique_ptr<TComBackend> Impl;
  std::string PortName = "COM1";
  TComLineSettings Line;
  TComBuffer Buffers;
  TComTimeouts Times;
  bool IsOpen = false;
};

// The line on the operating system's serial devices (termios on Linux), or through a TCP
// connection to a serial-to-Ethernet gateway for a "tcp://HOST:PORT" name.
class TComPort : public TCustomComPort {
 public:
  explicit TComPort(TComponent* owner = nullptr);
  // A line on another backend (a simulated bus, a test recorder).
  TComPort(std::unique_ptr<TComBackend> backend, TComponent* owner = nullptr);
};

// The serial ports of the machine as /dev paths, sorted as text ignoring case. Raises
// EComPort code 23 ("Registry error") when the system's list cannot be read.
void EnumComPorts(std::vector<std::string>& ports);
// The same from a sysfs tty class folder and a /dev folder (tests point them elsewhere).
void EnumComPortsFrom(const std::string& sysClassTty, const std::string& devDir,
                      std::vector<std::string>& ports);

// The Linux termios backend.
std::unique_ptr<TComBackend> MakeTermiosBackend();

// The line the termios backend adds under an error: what the system error means for the port
// and what the user can do about it; empty where the number tells a user nothing to act on.
std::string LineErrorHint(int err, const std::string& port);
// The advice for a port the user may not open, from its mode bits, owner and group: join the
// group only where the group may read and write it.
std::string AccessAdvice(const std::string& port, unsigned mode, const std::string& owner,
                         const std::string& group);

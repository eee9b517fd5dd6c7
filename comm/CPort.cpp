#include "comm/CPort.h"

#include <cerrno>
#include <cstdio>
#include <strings.h>

#include "comm/ComPortTcp.h"
#include "comm/Resources.h"

namespace {

constexpr int kRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                          14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr const char* kRateTexts[] = {"Custom", "110",   "300",   "600",   "1200",  "2400",
                                      "4800",   "9600",  "14400", "19200", "38400", "56000",
                                      "57600",  "115200", "128000", "256000"};
static_assert(sizeof kRates / sizeof kRates[0] == br256000 + 1);
static_assert(sizeof kRateTexts / sizeof kRateTexts[0] == br256000 + 1);

constexpr const char* kErrorTexts[] = {
    "",
    CPortText("Unable to open com port"),
    CPortText("WriteFile function failed"),
    CPortText("ReadFile function failed"),
    CPortText("Invalid Async parameter"),
    CPortText("PurgeComm function failed"),
    CPortText("Unable to get async status"),
    CPortText("SetCommState function failed"),
    CPortText("SetCommTimeouts failed"),
    CPortText("SetupComm function failed"),
    CPortText("ClearCommError function failed"),
    CPortText("GetCommModemStatus function failed"),
    CPortText("EscapeCommFunction function failed"),
    CPortText("TransmitCommChar function failed"),
    CPortText("Cannot set property while connected"),
    CPortText("EnumPorts function failed"),
    CPortText("Failed to store settings"),
    CPortText("Failed to load settings"),
    CPortText("Link (un)registration failed"),
    CPortText("Cannot change led state if ComPort is selected"),
    CPortText("Cannot wait for event if event thread is created"),
    CPortText("WaitForEvent method failed"),
    CPortText("A component is linked to OnRxBuf event"),
    CPortText("Registry error"),
};
constexpr int kErrorCount = sizeof kErrorTexts / sizeof kErrorTexts[0];

std::string ErrorMessage(int code, int winCode) {
  std::string text = (code > 0 && code < kErrorCount) ? CPortStr(kErrorTexts[code]) : "";
  if (winCode != -1) {
    char tail[48];
    std::snprintf(tail, sizeof tail, " (win error code: %d)", winCode);
    text += tail;
  }
  return text;
}

}  // namespace

int BaudRateValue(TBaudRate rate) {
  int index = static_cast<int>(rate);
  return (index >= 0 && index <= br256000) ? kRates[index] : 0;
}

TBaudRate StandardBaudRate(int bitsPerSecond) {
  for (int i = br110; i <= br256000; ++i)
    if (kRates[i] == bitsPerSecond) return static_cast<TBaudRate>(i);
  return brCustom;
}

TBaudRate StrToBaudRate(const std::string& text) {
  for (int i = 0; i <= br256000; ++i)
    if (strcasecmp(text.c_str(), kRateTexts[i]) == 0) return static_cast<TBaudRate>(i);
  return br9600;
}

EComPort::EComPort(int code, int winCode, const std::string& hint)
    : std::runtime_error(ErrorMessage(code, winCode) + (hint.empty() ? "" : "\n" + hint)),
      Code(code),
      WinCode(winCode),
      Hint(hint) {}

TCustomComPort::TCustomComPort(std::unique_ptr<TComBackend> backend, TComponent* owner)
    : TComponent(owner), Impl(std::move(backend)) {}

TCustomComPort::~TCustomComPort() {
  try {
    Close();
  } catch (const EComPort&) {
    // The descriptor is released by Close before it reports; nothing is left to undo.
  }
}

void TCustomComPort::SetPort(const std::string& name) {
  if (name == PortName) return;
  if (!IsOpen) {
    PortName = name;
    return;
  }
  try {
    Close();
  } catch (const EComPort&) {
    // The old device is released all the same; the line stays closed on the new name.
    PortName = name;
    throw;
  }
  PortName = name;
  Open();
}

namespace {
// A setting that did not change is not pushed again: re-applying termios on every push of
// the port page would make some USB adapters glitch the line for nothing.
template <class T>
bool Store(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}
}  // namespace

void TCustomComPort::SetBaudRate(TBaudRate rate) {
  if (Store(Line.BaudRate, rate) && IsOpen) Impl->ApplyLine(Line);
}
void TCustomComPort::SetCustomBaudRate(int rate) {
  if (Store(Line.CustomBaudRate, rate) && IsOpen) Impl->ApplyLine(Line);
}
void TCustomComPort::SetDataBits(TDataBits bits) {
  if (Store(Line.DataBits, bits) && IsOpen) Impl->ApplyLine(Line);
}
void TCustomComPort::SetStopBits(TStopBits bits) {
  if (Store(Line.StopBits, bits) && IsOpen) Impl->ApplyLine(Line);
}
void TCustomComPort::SetParity(const TComParity& parity) {
  if (Store(Line.Parity, parity) && IsOpen) Impl->ApplyLine(Line);
}
void TCustomComPort::SetEventChar(char c) {
  if (Store(Line.EventChar, c) && IsOpen) Impl->ApplyLine(Line);
}
void TCustomComPort::SetFlowControl(const TComFlowControl& flow) {
  if (Store(Line.FlowControl, flow) && IsOpen) Impl->ApplyLine(Line);
}
void TCustomComPort::SetBuffer(const TComBuffer& buffer) {
  if (Store(Buffers, buffer) && IsOpen) Impl->ApplyBuffer(Buffers);
}
void TCustomComPort::SetTimeouts(const TComTimeouts& timeouts) {
  if (Store(Times, timeouts) && IsOpen) Impl->ApplyTimeouts(Times);
}

void TCustomComPort::Open() {
  if (IsOpen) return;
  Impl->Open(PortName);
  try {
    Impl->ApplyBuffer(Buffers);
    Impl->ApplyLine(Line);
    Impl->ApplyTimeouts(Times);
  } catch (...) {
    // A line that could not be set up is not left half open.
    Impl->Close();
    throw;
  }
  IsOpen = true;
}

void TCustomComPort::Close() {
  if (!IsOpen) return;
  IsOpen = false;
  // Abort whatever is still queued, then release the device even if the purge failed (an
  // unplugged adapter); the purge failure is reported afterwards.
  try {
    Impl->Purge(true, true);
  } catch (const EComPort&) {
    Impl->Close();
    throw;
  }
  Impl->Close();
}

void TCustomComPort::ClearBuffer(bool input, bool output) {
  if (!IsOpen) throw EComPort(CError_PurgeFailed, EBADF);
  if (!input && !output) return;
  Impl->Purge(input, output);
}

int TCustomComPort::Write(const void* bytes, int count) {
  if (!IsOpen) throw EComPort(CError_WriteFailed, EBADF);
  if (count <= 0) return 0;
  return Impl->Write(static_cast<const uint8_t*>(bytes), count);
}

int TCustomComPort::Read(void* buffer, int count) {
  if (!IsOpen) throw EComPort(CError_ReadFailed, EBADF);
  if (count <= 0) return 0;
  return Impl->Read(static_cast<uint8_t*>(buffer), count);
}

int TCustomComPort::InputCount() {
  if (!IsOpen) throw EComPort(CError_ClearComFailed, EBADF);
  return Impl->InputCount();
}

int TCustomComPort::ReceivedWhileSending() {
  if (!IsOpen) throw EComPort(CError_ClearComFailed, EBADF);
  return Impl->ReceivedWhileSending();
}

TComPort::TComPort(TComponent* owner) : TCustomComPort(MakeLineBackend(), owner) {}

TComPort::TComPort(std::unique_ptr<TComBackend> backend, TComponent* owner)
    : TCustomComPort(std::move(backend), owner) {}

#pragma once
// TSimBackend: a serial line backend that talks to a bus of simulated modules in memory. Use it
// in tests instead of a pty: exchanges run in microseconds, deterministically, and the test can
// look at every frame the program sent.
//
// Typical use:
//
//   auto bus = std::make_shared<TSimBus>();
//   TSimModule& kappa = bus->AddModel(1, 5);        // KAPPA-01 at address 5
//   auto backend = std::make_unique<TSimBackend>(bus);
//   TSimBackend* sim = backend.get();                // keep a pointer: the line owns it
//   TComPort line(std::move(backend));
//   TFakeClock clock;
//   TClockGuard guard(&clock);                       // line time now advances this clock
//   line.SetPort("/dev/ttyUSB0");                    // any name opens
//   line.Open();
//   ... run the code under test ...
//   EXPECT_EQ(sim->Frames.size(), 2u);               // every frame written, in order
//   EXPECT_EQ(kappa.Int("DIGOUTPUT"), 5u);           // the module's state
//
// Write hands the frame to the bus; the module's reply is queued with the time each byte would
// arrive on a real line. Read returns at once with the bytes that would have arrived before
// the read's time-out expired (up to count); a silent bus gives 0.
//
// Time. The line's time is the installed clock (Clock(), comm/Clock.h). With a TFakeClock
// installed, Write advances it by the time the frame takes on the wire, and Read by the time
// until the last byte it returns arrived, or, when fewer bytes than asked arrive, until the
// read time-out (total multiplier x count + constant, or the interval after the last byte)
// expired, using the time-outs last applied with ApplyTimeouts. It uses TFakeClock::Advance,
// never Sleep, so the clock's SleepCount/TotalSleptMs still record only the program's own
// pauses. With the real clock nothing waits: the line keeps a virtual time that runs ahead.
// The character time follows the settings last applied with ApplyLine (baud rate, data bits,
// parity, stop bits; 9600 8N1 until then).
//
// The simulated modules also take their time from the line's time, so a test advances their
// operating time, their inputs and their output slewing by advancing the fake clock (their
// time is the fake clock's; with the real clock it starts at the first frame).
//
// Not thread-safe; use it from one thread (the program's exchanges are all on one thread).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "sim/SimBus.h"

class TSimBackend : public TComBackend {
 public:
  // A line on which every port name reaches `bus` (nullptr: a line with nothing on it).
  explicit TSimBackend(std::shared_ptr<TSimBus> bus = nullptr);

  // Test set-up ------------------------------------------------------------------------------

  // Port names that reach another bus than the default one (several ports, each with its own
  // modules). A name neither here nor covered by the default bus opens a silent line.
  void SetBus(const std::string& port, std::shared_ptr<TSimBus> bus);
  std::shared_ptr<TSimBus> Bus(const std::string& port) const;

  // When true, Open raises EComPort(CError_OpenFailed, EBUSY) as for a port in use.
  bool FailOpen = false;
  // Names whose Open fails that way (the others open).
  std::vector<std::string> BusyPorts;
  // The adapter is unplugged while true: Open fails (ENOENT), and a line that was open fails
  // every purge, write and read with EIO until it is closed, even after the adapter is back,
  // as a descriptor of a vanished device does.
  bool Unplugged = false;

  // Observations -----------------------------------------------------------------------------

  bool IsOpen() const { return Opened; }
  const std::string& OpenPort() const { return PortName; }  // name of the last Open
  int OpenCount = 0;                                          // successful opens
  int CloseCount = 0;
  int PurgeCount = 0;
  // Every frame written, in order, on whatever port was open.
  std::vector<std::vector<uint8_t>> Frames;
  // The bytes each Read returned, in order (also the empty ones).
  std::vector<std::vector<uint8_t>> Reads;
  // What the line applied last.
  TComLineSettings Line;
  TComTimeouts Timeouts;
  TComBuffer Buffer;
  // Milliseconds a character takes at the settings last applied.
  double CharTimeMs() const;
  // The line's time in ms (the fake clock's, or the virtual time with the real clock).
  double LineNowMs() const;

  // TComBackend ------------------------------------------------------------------------------
  // A closed line raises like the real one: Purge CError_PurgeFailed, Write CError_WriteFailed,
  // Read CError_ReadFailed (system error EBADF).
  void Open(const std::string& port) override;
  void Close() override;
  void ApplyBuffer(const TComBuffer& buffer) override { Buffer = buffer; }
  void ApplyLine(const TComLineSettings& settings) override { Line = settings; }
  void ApplyTimeouts(const TComTimeouts& timeouts) override { Timeouts = timeouts; }
  void Purge(bool input, bool output) override;
  int Write(const uint8_t* bytes, int count) override;
  int Read(uint8_t* buffer, int count) override;
  // The bytes that have arrived by the line's time and were not read yet.
  int InputCount() override;
  // Those that had arrived when the last frame written had been sent.
  int ReceivedWhileSending() override { return WhileSending; }
  void LastReadTimes(double& firstMs, double& lastMs) override {
    firstMs = FirstMs;
    lastMs = LastMs;
  }

 private:
  struct TPending {
    double ArrivalMs;  // when the byte has been received completely
    uint8_t Byte;
  };
  void AdvanceTo(double ms);
  TSimLine LineForModules() const;

  std::shared_ptr<TSimBus> DefaultBus;
  std::map<std::string, std::shared_ptr<TSimBus>> PortBuses;
  std::shared_ptr<TSimBus> Current;
  std::string PortName;
  bool Opened = false;
  bool Broken = false;  // opened before an unplug
  // Raises err for a line broken by an unplug.
  void CheckPlugged(int err);
  std::vector<TPending> Pending;
  double VirtualMs = 0;
  int WhileSending = 0;
  double FirstMs = -1, LastMs = -1;  // of the last read, after its start
  int64_t Origin = 0;
  bool OriginSet = false;
};

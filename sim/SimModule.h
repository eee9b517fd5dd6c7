#pragma once
// One simulated I/O module: the slave side of Vela and Modbus RTU (functions 3 and 16) over a
// register map, and the behaviour of the real module behind the registers (operating time,
// inputs that change, latches, counters, analog values, outputs that slew, calibration).
//
// The module is written apart from the master code: it shares only the checksums and the
// register tables with it, so that a fault in the master's codecs shows up as a failed test
// instead of being mirrored here.
//
// Not thread-safe: a bus that serves it from a thread (TPtyBus) guards it with the bus mutex.
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "models/RegisterDefs.h"

// Which protocol a bus (or a module) understands. Auto tells the two apart by frame: a frame is
// Vela when its CRC-8 is right and its bank byte is 0 or 1, Modbus when its CRC-16 is right.
enum class TSimProtocol { Auto, Modbus, Vela };

// A reply fault injected by a module.
enum class TSimFaultKind {
  None,
  Silence,    // no reply at all
  BadCrc,     // the reply with a wrong checksum
  Truncated,  // only the first Param bytes of the reply (default: half of it)
  Late,       // the reply Param ms later than usual (default 1000 ms, beyond any automatic
              // time-out)
  Noise,      // Param noise bytes (default 3) before the reply
};

struct TSimFault {
  TSimFaultKind Kind = TSimFaultKind::None;
  int Param = 0;       // 0: the default of the kind
  int Replies = -1;    // how many replies the fault spoils; -1: all of them
};

// The line settings a request arrived with, as far as the bus knows them.
struct TSimLine {
  bool Known = false;        // false: the bus cannot tell (every module accepts the frame)
  int Baud = 9600;
  bool ParityKnown = false;  // a pty forces "no parity", so it cannot report the master's
  int Parity = 0;            // 0 none, 1 odd, 2 even (MDBFMT codes)
};

class TSimModule {
 public:
  // A module reporting modelCode (its row's code in the model table) with the given
  // register map, at bus address `address`, started at time nowMs (ms on the bus's clock).
  TSimModule(uint8_t modelCode, std::span<const TRegisterDef> map, uint8_t address,
             int64_t nowMs = 0);
  // A module of a model of the model table, with its row's code and map; any other index (0
  // included) gives a module that reports `unknownCode` and has only the common register block.
  static TSimModule ForModel(int modelIndex, uint8_t address, int64_t nowMs = 0,
                             uint8_t unknownCode = 210);

  uint8_t ModelCode() const { return Code; }
  // The address the module answers at: 1 in INIT mode, NETADDR otherwise.
  uint8_t AnswerAddress() const;
  // INIT mode: the module answers at address 1, only at 9600 baud without parity, and bit 15
  // of SLFDGNS is set. NETADDR keeps the configured address.
  void SetInitMode(bool on);
  bool InitMode() const { return Init; }
  // With StrictLine the module hears only frames sent at the baud rate and parity of its
  // NETBDRT and MDBFMT settings (INIT mode always checks 9600 without parity).
  bool StrictLine = false;
  // Which protocols this module understands.
  TSimProtocol Protocol = TSimProtocol::Auto;
  TSimFault Fault;

  // Register values by name (ignoring case). Integers are held at the register's width,
  // singles as floats, strings as their bytes on the wire (Windows-1251, see comm/WireText.h),
  // given and taken here in UTF-8. Setting a value does not run the behaviour that
  // a write over the bus runs (RSTLATCH, NETADDR and so on), so tests can put the module into
  // any state.
  bool Has(const std::string& name) const;
  uint32_t Int(const std::string& name) const;
  double Real(const std::string& name) const;
  std::string Text(const std::string& name) const;
  void SetInt(const std::string& name, uint32_t value);
  void SetReal(const std::string& name, double value);
  void SetText(const std::string& name, const std::string& text);
  const std::vector<TRegisterDef>& Map() const { return Defs; }

  // Runs the module's behaviour up to nowMs. Serving a frame does this first.
  void Update(int64_t nowMs);
  // Discrete inputs change at random now and then; tests switch that off and set the
  // electrical input states themselves (bit 0 = input 1) before the next Update.
  bool RandomInputs = true;
  void SetRawInputs(uint32_t mask) { RawInputs = mask; }
  uint32_t RawInputs = 0;
  // Analog inputs move and the output module's loads fail now and then; tests freeze both to
  // read back exact values.
  bool MovingInputs = true;
  // Input channels (bit 0 = channel 1) whose sensor is broken: flagged in TCOD, and in OVRD too
  // for thermocouples and resistance thermometers, which read upscale when broken.
  uint32_t SensorBreak = 0;
  // Pins the signal at an analog input's terminals (channel 1..8), in the unit of its input
  // type: mV, V or mA for a linear input, degrees Celsius for a thermocouple, ohms for a
  // resistance thermometer. The module measures it like any signal: range flags, rescaling,
  // its scan period. Nothing releases the channel to its own movement.
  void SetSignal(int channel, std::optional<double> value);
  // Output channels (bit 0 = channel 1) whose load circuit is open, or shorted. An open loop
  // shows as a broken load on a current output, a short as an overload on a voltage output
  // that drives more than 0 V; the other combinations are harmless.
  uint32_t OpenLoad = 0;
  uint32_t ShortedLoad = 0;
  // The coefficient of the last accepted calibration of an output channel (1 or 2) for
  // current or voltage: the reference the channel drives in tuning mode over the value the
  // user measured; 1 until then.
  double TuningCoefficient(int channel, bool voltage) const;

  // Registers whose reads fail: over Modbus the module answers with exception 2 (illegal data
  // address), over Vela it stays silent. Writes still work.
  void SetUnreadable(const std::string& name, bool unreadable = true);

  // The status registers TCOD, OVRD, UNRD and OUTPUTDGNS are rewritten when the condition they
  // report changes, so a value a test sets with SetInt stands until then.

  // Serves one frame (exact length n) received at nowMs. Returns the reply bytes, or nothing
  // when the module stays silent (another address, bad checksum, a frame it cannot parse).
  // Faults are not applied here (the bus does that). busProtocol restricts the protocols
  // further (a bus set to one protocol).
  std::optional<std::vector<uint8_t>> Serve(const uint8_t* frame, int n, int64_t nowMs,
                                            const TSimLine& line = {},
                                            TSimProtocol busProtocol = TSimProtocol::Auto);

  // Counters for tests and the program's log.
  int FramesServed = 0;

 private:
  struct TValue {
    uint32_t Int = 0;
    double Real = 0;
    std::string Text;
  };

  int Index(const std::string& name) const;
  int IndexOrThrow(const std::string& name) const;
  std::optional<std::vector<uint8_t>> ServeVela(const uint8_t* f, int n);
  std::optional<std::vector<uint8_t>> ServeModbus(const uint8_t* f, int n);
  std::vector<uint8_t> ModbusException(uint8_t function, uint8_t code) const;
  bool Hears(const TSimLine& line) const;

  // Word image of a register on Modbus and back.
  int WordCount(int index) const;
  std::vector<uint16_t> Words(int index) const;
  void SetWords(int index, const std::vector<uint16_t>& words);
  void StoreInt(int index, int64_t value);
  void StoreReal(int index, double value);
  void StoreText(int index, const std::string& text);
  // Behaviour after a write over the bus; old is the value before it.
  void Written(int index, const TValue& old);

  void InitDefaults();
  void Step(int64_t stepMs);
  void StepDiscrete(bool randomChanges);
  // Measures the analog channels due on this step (all of them with everyChannel).
  void StepAnalogInputs(bool everyChannel);
  void StepOutputs(double seconds);
  void Calibrate(int channel);
  // Sets a status register when the condition it reports differs from the last one reported.
  void Report(const char* name, uint32_t condition, uint32_t& last);
  bool Unreadable(int index) const;
  int64_t LastNetworkMs = 0;

  uint8_t Code;
  // The behaviour of its model, from the model table (None for a code no model reports).
  TModelFamily Family;
  int Channels;
  uint8_t Address;
  bool Init = false;
  std::vector<TRegisterDef> Defs;
  std::vector<TValue> Values;
  // Modbus word address -> (register index, word within it).
  std::vector<std::pair<int, int>> WordOwner;  // indexed by address; {-1,0} when none
  int64_t Now = 0;
  int64_t TimeRemainderMs = 0;  // below one second, for the operating-time counters
  int64_t StepRemainderMs = 0;
  std::mt19937 Random;
  uint32_t LastInputs = 0;
  double Phase = 0;  // seconds of simulated life, for the slow analog movement
  int64_t StepCount = 0;
  std::optional<double> Signals[8];
  double Coefficients[2][2] = {{1, 1}, {1, 1}};  // [channel - 1][voltage]
  std::vector<bool> UnreadableRegs;              // by register index
  uint32_t InputFlags[3] = {0, 0, 0};  // channels broken, above and below their range
  // The conditions last reported in TCOD, OVRD, UNRD and OUTPUTDGNS (all clear at start, as
  // the registers are).
  uint32_t Reported[4] = {0, 0, 0, 0};
  bool WatchdogTripped = false;
};

// The name a module of this model code reports in MNAME ("KAPPA-01", ...; "MODULE" for an
// unrecognised one).
std::string SimModelName(uint8_t modelCode);
// Whether a simulated module of a model of this family behaves as the real one: every model of
// the model table needs it.
bool SimBehaves(TModelFamily family);

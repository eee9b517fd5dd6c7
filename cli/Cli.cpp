#include "cli/Cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>

#include "cli/CliBus.h"
#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "comm/SerialById.h"
#include "models/BusScan.h"
#include "models/BusTrace.h"
#include "models/ValueRules.h"

using nlohmann::json;

namespace {

const char* const Usage = R"(Usage: orbis-cli COMMAND [ARGUMENT...] [OPTION...]

Commands:
  ports                          the serial ports, with their stable by-id names
  scan PORT                      search the bus for modules (--from/--to: the addresses)
  read PORT ADDRESS [REGISTER...|--all]
                                 read registers by the names of the module's map (all
                                 registers when none is named)
  write PORT ADDRESS REGISTER=VALUE...
                                 write registers and read each back
  save PORT ADDRESS FILE         save the module's configuration to an XML file
  save PORT --bus FILE           search the bus and save the line settings and every
                                 module's configuration to one XML file
  load PORT ADDRESS FILE         write what differs from the file and verify it
                                 (--dry-run: only show it; --network: also the bus address,
                                 baud rate and parity; --strict: refuse a file that does not
                                 set every setting of the model)
  load PORT FILE                 the same for every module of a bus file, at its address
                                 (on the file's line settings unless options are given)
  diff A B                       compare two configurations, each a FILE or PORT:ADDRESS,
                                 or two bus files

PORT is a serial device (/dev/ttyUSB0), a serial-to-Ethernet gateway in transparent mode,
tcp://HOST:PORT (an IPv6 address in brackets: tcp://[fe80::1]:4001), or a gateway converting
to Modbus TCP, modbustcp://HOST:PORT (Modbus only).

Line options (as on the port page):
  --protocol modbus|vela   (default modbus)
  --baud N                 1200 2400 4800 9600 19200 38400 57600 115200 (default 9600)
  --parity none|even|odd   Modbus only (default none)
  --timeout MS             reply time-out, 0 automatic (default 0)
  --network-allowance MS   added to the automatic time-out on a gateway (default 50)

  --force                  write: let a list register take a code its list does not name
  --json                   one JSON document on standard output
  --trace                  every exchange on the line, one line each on standard error
                           (with --json also as the document's "trace" array)
  --help                   this text
  --version                the program's version

Exit codes: 0 done, 1 a module failed, none was found or the configurations differ,
2 bad usage or a bad file, 3 the line could not be opened, 130 stopped by Ctrl-C.
)";

struct TUsageError {
  std::string Message;
};

struct TLineError {
  std::string Message;
};

struct TFailure {
  std::string Message;
};

// A file that cannot be read or written, or is no configuration this command can use: bad
// input, like a bad argument.
struct TBadFile {
  std::string Message;
};

struct TArgs {
  std::string Command;
  std::vector<std::string> Positional;
  TLineOptions Line;
  bool Json = false, All = false, DryRun = false, Network = false, Help = false;
  bool Force = false, Strict = false, Version = false, Trace = false;
  bool LineGiven = false;  // a line option was given
  std::string BusFile;     // save --bus FILE
  int From = 1, To = 247;
  bool RangeGiven = false;
};

int ParseInt(const std::string& option, const std::string& text, int low, int high) {
  int32_t v = 0;
  if (!TryStrToInt(text, v) || v < low || v > high)
    throw TUsageError{option + " takes a number " + std::to_string(low) + ".." +
                      std::to_string(high) + ", not '" + text + "'"};
  return v;
}

TArgs ParseArgs(const std::vector<std::string>& args) {
  TArgs a;
  bool parityGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw TUsageError{arg + " needs a value"};
      return args[++i];
    };
    if (arg == "--help" || arg == "-h") a.Help = true;
    else if (arg == "--json") a.Json = true;
    else if (arg == "--all") a.All = true;
    else if (arg == "--trace") a.Trace = true;
    else if (arg == "--dry-run") a.DryRun = true;
    else if (arg == "--network") a.Network = true;
    else if (arg == "--force") a.Force = true;
    else if (arg == "--strict") a.Strict = true;
    else if (arg == "--version") a.Version = true;
    else if (arg == "--bus") a.BusFile = value();
    else if (arg == "--protocol") {
      a.LineGiven = true;
      const std::string& v = value();
      if (v == "modbus") a.Line.Protocol = ptModbus;
      else if (v == "vela") a.Line.Protocol = ptVela;
      else throw TUsageError{"--protocol is modbus or vela, not '" + v + "'"};
    } else if (arg == "--baud") {
      a.LineGiven = true;
      const std::string& v = value();
      const TBaudRateRow* row = nullptr;
      std::string known;
      for (const TBaudRateRow& r : BaudRates) {
        if (v == r.Text) row = &r;
        known += std::string(" ") + r.Text;
      }
      if (!row) throw TUsageError{"--baud is one of" + known};
      a.Line.Baud = row->Rate;
    } else if (arg == "--parity") {
      a.LineGiven = true;
      const std::string& v = value();
      if (v == "none") a.Line.Parity = TLineParity::None;
      else if (v == "odd") a.Line.Parity = TLineParity::Odd;
      else if (v == "even") a.Line.Parity = TLineParity::Even;
      else throw TUsageError{"--parity is none, even or odd, not '" + v + "'"};
      parityGiven = v != "none";
    } else if (arg == "--timeout") {
      a.Line.Timeout = ParseInt(arg, value(), 0, 65000);
      a.LineGiven = true;
    } else if (arg == "--network-allowance") {
      a.Line.NetworkAllowance = ParseInt(arg, value(), 0, kMaxNetworkAllowanceMs);
    } else if (arg == "--from") {
      a.From = ParseInt(arg, value(), 1, 247);
      a.RangeGiven = true;
    } else if (arg == "--to") {
      a.To = ParseInt(arg, value(), 1, 247);
      a.RangeGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      throw TUsageError{"unknown option " + arg};
    } else if (a.Command.empty()) {
      a.Command = arg;
    } else {
      a.Positional.push_back(arg);
    }
  }
  // Vela has no parity: the port page locks the list on "Нет" for it.
  if (parityGiven && a.Line.Protocol != ptModbus)
    throw TUsageError{"--parity applies to Modbus only"};
  if (a.From > a.To) throw TUsageError{"--from is above --to"};
  return a;
}

void Expect(const TArgs& a, size_t low, size_t high, const char* form) {
  if (a.Positional.size() < low || a.Positional.size() > high)
    throw TUsageError{std::string("usage: orbis-cli ") + form};
}

int ParseAddress(const std::string& text) { return ParseInt("ADDRESS", text, 1, 247); }

const char* AccessName(TRegAccess access) {
  switch (access) {
    case TRegAccess::ReadOnly: return "read-only";
    case TRegAccess::Config: return "setting";
    case TRegAccess::Command: return "command";
    case TRegAccess::Live: return "live";
  }
  return "";
}

json Nullable(const std::string* s) { return s ? json(*s) : json(nullptr); }

json TraceEntry(const TExchangeRecord& r, int model) {
  const TExchangeMeaning m = DecodeExchange(r, model);
  json e = {{"time", TimeOfDayText(r)}, {"port", r.Port}, {"outcome", OutcomeKey(r.Outcome)},
            {"request", HexBytes(r.Request)}, {"reply", HexBytes(r.Reply)}};
  e["address"] = r.Address >= 0 ? json(r.Address) : json(nullptr);
  e["model"] = model > 0 ? json(ModelNames[model].Name) : json(nullptr);
  e["register"] = m.Register.empty() ? json(nullptr) : json(m.Register);
  e["write"] = m.Write;
  e["value"] = m.Value.empty() ? json(nullptr) : json(m.Value);
  if (r.Outcome == TExchangeOutcome::Exception) e["exception"] = r.ExceptionCode;
  e["first_byte_ms"] = r.FirstByteMs >= 0 ? json(r.FirstByteMs) : json(nullptr);
  e["last_byte_ms"] = r.LastByteMs >= 0 ? json(r.LastByteMs) : json(nullptr);
  return e;
}

// Columns padded to the widest cell, two blanks apart.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> width;
  auto cells = [](const std::string& s) {
    size_t n = 0;  // UTF-8: count the characters, not the bytes
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
  };
  for (const auto& row : rows)
    for (size_t i = 0; i < row.size(); ++i) {
      if (width.size() <= i) width.push_back(0);
      width[i] = std::max(width[i], cells(row[i]));
    }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(width[i] - cells(row[i]) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  }
}

// The whole file; a directory or a file that cannot be read is named with the system's reason.
std::string ReadFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw TBadFile{path + ": is a directory"};
  std::ifstream in(path, std::ios::binary);
  if (!in) throw TBadFile{path + ": cannot be read: " + std::strerror(errno)};
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) throw TBadFile{path + ": cannot be read: " + std::strerror(errno)};
  return s.str();
}

TConfigParseResult LoadConfigFile(const std::string& path) {
  TConfigParseResult r = ParseConfigXml(ReadFile(path));
  if (!r.Ok) throw TBadFile{path + ": " + r.Error};
  return r;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) throw TBadFile{path + ": is a directory"};
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw TBadFile{path + ": cannot be written: " + std::strerror(errno)};
  out << text;
  if (!out.flush()) throw TBadFile{path + ": cannot be written: " + std::strerror(errno)};
}

bool Stop() { return CliStopRequested(); }

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const auto& n : names) joined += (joined.empty() ? "" : ", ") + n;
  return joined;
}

// The lines a command opened, one per port, closed when the command ends.
class TLines {
 public:
  explicit TLines(const TLineOptions& options) : Options(options) {}
  // The settings of the lines opened from now on.
  void SetOptions(const TLineOptions& options) { Options = options; }
  TprPort& Open(const std::string& port) {
    auto& line = Open_[port];
    if (!line) {
      TLineOptions o = Options;
      o.Port = port;
      try {
        line = std::make_unique<TCliLine>(o);
      } catch (const EComPort& e) {
        Open_.erase(port);
        throw TLineError{port + ": " + e.what()};
      }
    }
    return line->Port();
  }

 private:
  TLineOptions Options;
  std::map<std::string, std::unique_ptr<TCliLine>> Open_;
};

// How long a command that failed to read waits for the module's late reply.
constexpr int kLateReplyWaitMs = 1000;

// After a read failed: "" when the module is silent, else that it answers late and by how
// much (the time-out is to be raised above that).
std::string LateNote(TprPort& port, int address) {
  const int late = port.AwaitLateReplies(uint8_t(address), kLateReplyWaitMs);
  if (late == 0) return "";
  return "the module at address " + std::to_string(address) + " answers " +
         std::to_string(late) + " ms late; raise --timeout above that";
}

TCliModule OpenModuleOrFail(TprPort& port, int address) {
  TCliModule m;
  std::string error;
  bool silent = false;
  if (!OpenModule(port, address, m, error, &silent)) {
    // A garbled reply is known for what it is; only silence may be a late module.
    const std::string late = silent ? LateNote(port, address) : "";
    throw TFailure{late.empty() ? error : late};
  }
  return m;
}

void CheckStop() {
  if (CliStopRequested()) throw TFailure{"stopped"};
}

class TCommand {
 public:
  TCommand(const TArgs& a, TCliStreams s) : A(a), S(s), Lines(a.Line) {}

  int Run() {
    const std::string& c = A.Command;
    if (c == "ports") return Ports();
    if (c == "scan") return Scan();
    if (c == "read") return Read();
    if (c == "write") return Write();
    if (c == "save") return Save();
    if (c == "load") return Load();
    if (c == "diff") return Diff();
    throw TUsageError{c.empty() ? "no command given" : "unknown command " + c};
  }

  json Doc = json::object();

 private:
  const TArgs& A;
  TCliStreams S;
  TLines Lines;

  std::ostream& Out() { return S.Out; }
  // Text output only without --json: the JSON document is the whole of standard output.
  bool Text() const { return !A.Json; }

  // After reads of the module failed: tells a late module from a silent one.
  void NoteLateness(TprPort& port, const TCliModule& m) {
    const std::string late = LateNote(port, m.Address);
    if (!late.empty()) S.Err << "orbis-cli: " << late << "\n";
  }

  void Describe(const TCliModule& m, const std::string* firmware = nullptr) {
    Doc["address"] = m.Address;
    Doc["model"] = m.ModelName();
    if (firmware) Doc["firmware"] = *firmware;
  }

  int Ports() {
    Expect(A, 0, 0, "ports");
    std::vector<std::string> ports;
    try {
      EnumComPorts(ports);
    } catch (const EComPort& e) {
      throw TFailure{e.what()};
    }
    json list = json::array();
    std::vector<std::vector<std::string>> rows;
    for (const std::string& p : ports) {
      const std::string byId = SerialByIdName(p);
      list.push_back({{"device", p}, {"by_id", byId.empty() ? json(nullptr) : json(byId)}});
      rows.push_back({p, byId});
    }
    Doc["ports"] = list;
    if (ports.empty()) {
      S.Err << "orbis-cli: " << ResStr("Последовательных портов не обнаружено!") << "\n";
      return ceFailed;
    }
    if (Text()) PrintTable(Out(), rows);
    return ceDone;
  }

  void Progress(int address, int found) {
    // The trace's lines would be overwritten by the bar.
    if (!S.ErrIsTerminal || A.Trace) return;
    const int span = A.To - A.From + 1, done = address - A.From + 1;
    const int width = 30, filled = width * done / span;
    char line[128];
    std::snprintf(line, sizeof line, "\r[%s%s] address %3d  found %d", std::string(filled, '#').c_str(),
                  std::string(width - filled, ' ').c_str(), address, found);
    S.Err << line << std::flush;
  }

  int Scan() {
    Expect(A, 1, 1, "scan PORT [--protocol modbus|vela] [--baud N] [--parity P] [--from A --to B]");
    TprPort& port = Lines.Open(A.Positional[0]);
    json found = json::array();
    std::vector<std::vector<std::string>> rows{{"ADDRESS", "MODEL", "CODE"}};
    bool stopped = false;
    int count = 0;
    ScanBus(
        port, A.From, A.To,
        [&](int address) {
          if (CliStopRequested()) return !(stopped = true);
          Progress(address, count);
          return true;
        },
        [&](const TScanHit& hit) {
          ++count;
          found.push_back({{"address", hit.Address},
                           {"model", ModelNames[hit.ModelIndex].Name},
                           {"code", hit.Code}});
          rows.push_back({std::to_string(hit.Address), ModelNames[hit.ModelIndex].Name,
                          std::to_string(hit.Code)});
        });
    if (S.ErrIsTerminal && !A.Trace) S.Err << "\r\033[K" << std::flush;
    Doc["port"] = A.Positional[0];
    Doc["protocol"] = ProtocolWord(A.Line.Protocol);
    Doc["baud"] = A.Line.Baud;
    Doc["from"] = A.From;
    Doc["to"] = A.To;
    Doc["modules"] = found;
    Doc["complete"] = !stopped;
    if (Text() && count) PrintTable(Out(), rows);
    if (stopped) return ceInterrupted;
    if (count == 0) {
      S.Err << "orbis-cli: no module answered at addresses " << A.From << ".." << A.To << "\n";
      return ceFailed;
    }
    return ceDone;
  }

  int Read() {
    if (A.Positional.size() < 2) Expect(A, 2, 2, "read PORT ADDRESS [REGISTER...|--all]");
    const int address = ParseAddress(A.Positional[1]);
    TprPort& port = Lines.Open(A.Positional[0]);
    TCliModule m = OpenModuleOrFail(port, address);
    std::vector<TprDevReg*> chosen;
    if (A.All || A.Positional.size() == 2) {
      chosen = m.Model->Registers();
    } else {
      for (size_t i = 2; i < A.Positional.size(); ++i) {
        TprDevReg* reg = m.Model->FindRegister(A.Positional[i]);
        if (!reg) throw TUsageError{m.ModelName() + std::string(" has no register ") + A.Positional[i]};
        chosen.push_back(reg);
      }
    }
    json regs = json::array();
    std::vector<std::vector<std::string>> rows;
    std::string failed;
    for (TprDevReg* reg : chosen) {
      CheckStop();
      const TRegisterDef* d = reg->Def;
      const bool ok = m.Model->ReadRegister(reg);
      if (!ok) failed += (failed.empty() ? "" : ", ") + std::string(d->Name);
      regs.push_back({{"name", d->Name},
                      {"value", ok ? json(reg->ValueText) : json(nullptr)},
                      {"access", AccessName(d->Access)}});
      rows.push_back({d->Name, ok ? reg->ValueText : "read failed", AccessName(d->Access)});
    }
    Describe(m);
    Doc["registers"] = regs;
    if (Text()) PrintTable(Out(), rows);
    if (failed.empty()) return ceDone;
    S.Err << "orbis-cli: the module at address " << address << " gave no valid reply reading "
          << failed << "\n";
    NoteLateness(port, m);
    return ceFailed;
  }

  int Write() {
    if (A.Positional.size() < 3) Expect(A, 3, 3, "write PORT ADDRESS REGISTER=VALUE...");
    const int address = ParseAddress(A.Positional[1]);
    TprPort& port = Lines.Open(A.Positional[0]);
    TCliModule m = OpenModuleOrFail(port, address);
    // Every assignment is checked before the first write: a typo must not leave half of them done.
    std::vector<std::pair<const TRegisterDef*, TWriteStep>> steps;
    for (size_t i = 2; i < A.Positional.size(); ++i) {
      const std::string& p = A.Positional[i];
      const size_t eq = p.find('=');
      if (eq == std::string::npos) throw TUsageError{"'" + p + "' is not REGISTER=VALUE"};
      const std::string name = p.substr(0, eq), value = p.substr(eq + 1);
      const TprDevReg* reg = m.Model->FindRegister(name);
      const TRegisterDef* d = reg ? reg->Def : nullptr;
      if (!d) throw TUsageError{m.ModelName() + std::string(" has no register ") + name};
      if (d->Access == raReadOnly) throw TUsageError{std::string(d->Name) + " is read-only"};
      std::string why;
      if (!CheckValueText(*d, value, why, A.Force))
        throw TUsageError{std::string(d->Name) + " takes " + why + ", not '" + value + "'"};
      TWriteStep step;
      step.Name = d->Name;
      step.To = value;
      steps.emplace_back(d, step);
    }
    json list = json::array();
    bool failed = false;
    for (auto& [d, step] : steps) {
      if (CliStopRequested()) break;
      WriteAndVerify(*m.Model, *d, step);
      m.Address = int(m.Model->Address);
      const bool command = d->Access == raCommand;
      failed = failed || !step.Written || (!command && !step.Verified);
      list.push_back({{"name", step.Name},
                      {"value", step.To},
                      {"written", step.Written},
                      {"read_back", step.ReadBack.empty() ? json(nullptr) : json(step.ReadBack)},
                      {"holds", command ? json(nullptr) : json(step.Verified)}});
      if (Text()) Out() << step.Name << "=" << step.To << ": " << Outcome(step, command) << "\n";
    }
    Describe(m);
    Doc["writes"] = list;
    if (CliStopRequested()) return ceInterrupted;
    if (failed) NoteLateness(port, m);
    return failed ? ceFailed : ceDone;
  }

  static std::string Outcome(const TWriteStep& step, bool command) {
    if (!step.Written) return "write failed";
    if (command) return "done";
    if (step.Verified) return "holds";
    if (step.ReadBack.empty()) return "written, read-back failed";
    return "does not hold, reads " + step.ReadBack;
  }

  TModuleConfig ReadWholeConfig(TCliModule& m) {
    std::vector<std::string> failed;
    TModuleConfig config = ReadConfig(*m.Model, failed, Stop);
    CheckStop();
    if (!failed.empty()) {
      const std::string late = LateNote(*m.Model->Port(), m.Address);
      throw TFailure{"the module at address " + std::to_string(m.Address) +
                     " did not answer reading " + Joined(failed) +
                     (late.empty() ? "" : "; " + late)};
    }
    return config;
  }

  int Save() {
    if (!A.BusFile.empty()) return SaveBus();
    Expect(A, 3, 3, "save PORT ADDRESS FILE");
    const int address = ParseAddress(A.Positional[1]);
    std::error_code error;
    if (std::filesystem::is_directory(A.Positional[2], error))
      throw TBadFile{A.Positional[2] + ": is a directory"};
    TprPort& port = Lines.Open(A.Positional[0]);
    TCliModule m = OpenModuleOrFail(port, address);
    const TModuleConfig config = ReadWholeConfig(m);
    const std::string& path = A.Positional[2];
    WriteFile(path, WriteConfigXml(config));
    Describe(m, &config.Firmware);
    Doc["file"] = path;
    Doc["registers"] = config.Values.size();
    if (Text())
      Out() << "saved " << config.Values.size() << " settings of " << config.Model << " (firmware "
            << config.Firmware << ") at address " << address << " to " << path << "\n";
    return ceDone;
  }

  // Every module of the bus with the line settings and its configuration, in one file. A
  // module that does not answer every read means no file.
  int SaveBus() {
    Expect(A, 1, 1, "save PORT --bus FILE [--from A --to B]");
    TprPort& port = Lines.Open(A.Positional[0]);
    std::vector<std::string> failed;
    std::vector<int> unknown;
    const TBusConfig bus = ReadBusConfig(port, A.From, A.To, failed, unknown);
    CheckStop();
    if (!failed.empty()) throw TFailure{"registers not read (ADDRESS: NAMES): " + Joined(failed)};
    if (bus.Modules.empty())
      throw TFailure{"no module of a known model answered at addresses " + std::to_string(A.From) +
                     ".." + std::to_string(A.To)};
    WriteFile(A.BusFile, WriteBusXml(bus));
    json modules = json::array();
    for (const TBusModule& m : bus.Modules)
      modules.push_back({{"address", m.Address},
                         {"model", m.Config.Model},
                         {"firmware", m.Config.Firmware},
                         {"registers", m.Config.Values.size()}});
    Doc["file"] = A.BusFile;
    Doc["modules"] = modules;
    Doc["unknown"] = unknown;
    for (int address : unknown)
      S.Err << "orbis-cli: note: the module at address " << address
            << " is of no known model and is not in the file\n";
    if (Text())
      Out() << "saved the line settings and " << bus.Modules.size() << " modules to " << A.BusFile
            << "\n";
    return ceDone;
  }

  static json ChangesDoc(const TLoadPlan& plan, bool dryRun) {
    json changes = json::array();
    for (const TWriteStep& step : plan.Steps) {
      json c = {{"name", step.Name},
                {"from", step.From.empty() ? json(nullptr) : json(step.From)},
                {"to", step.To}};
      if (!dryRun) {
        c["written"] = step.Written;
        c["holds"] = step.Verified;
      }
      changes.push_back(c);
    }
    return changes;
  }

  // Plans and runs the load of one module; true when every write holds.
  bool LoadInto(TCliModule& m, const TModuleConfig& config, TLoadPlan& plan,
                const std::string& indent) {
    plan = PlanLoad(*m.Model, config, A.Network, Stop);
    CheckStop();
    bool failed = false;
    if (!A.DryRun)
      RunLoad(
          *m.Model, plan,
          [&](const TWriteStep& step) {
            failed = failed || !step.Written || !step.Verified;
            if (Text())
              Out() << indent << step.Name << ": "
                    << (step.From.empty() ? NoValueText() : step.From) << " -> " << step.To
                    << ": " << Outcome(step, false) << "\n";
          },
          Stop);
    else if (Text())
      for (const TWriteStep& step : plan.Steps)
        Out() << indent << step.Name << ": " << (step.From.empty() ? NoValueText() : step.From)
              << " -> " << step.To << ": would write\n";
    m.Address = int(m.Model->Address);
    return !failed;
  }

  // A bus file: each module at its address, on the file's line settings unless the command
  // line gives others. A module missing or of another model is named and skipped.
  int LoadBus(const std::string& path, const TBusConfig& bus) {
    Expect(A, 2, 2, "load PORT FILE [--dry-run] [--network] [--strict]");
    // What a module's entry leaves out stays as the module has it: said before anything is
    // written, and with --strict the whole file is refused.
    for (const TBusModule& entry : bus.Modules) {
      const int index = ModelIndexOfName(entry.Config.Model);
      if (index == 0) continue;  // named and skipped below
      const std::vector<std::string> missing =
          MissingSettings(RegisterMap(index), entry.Config, A.Network);
      if (missing.empty()) continue;
      const std::string at = path + ": address " + std::to_string(entry.Address);
      if (A.Strict) throw TBadFile{at + " does not set " + Joined(missing)};
      S.Err << "orbis-cli: note: " << at << " does not set " << Joined(missing)
            << "; they are left as they are\n";
    }
    if (!A.LineGiven) {
      TLineOptions o = A.Line;
      o.Protocol = bus.Protocol;
      o.Baud = bus.Baud;
      o.Parity = bus.Parity;
      o.Timeout = bus.Timeout;
      Lines.SetOptions(o);
    }
    TprPort& port = Lines.Open(A.Positional[0]);
    json modules = json::array();
    bool failed = false;
    int loaded = 0, skippedCount = 0;
    for (const TBusModule& entry : bus.Modules) {
      CheckStop();
      json doc = {{"address", entry.Address}, {"model", entry.Config.Model}};
      TCliModule m;
      std::string error;
      std::string skipped;
      if (!OpenModule(port, entry.Address, m, error)) {
        skipped = error;
      } else {
        const TConfigCheck check = CheckConfigFor(*m.Model, entry.Config);
        if (!check) skipped = check.Error;
      }
      doc["found"] = m.Model ? json(m.ModelName()) : json(nullptr);
      if (!skipped.empty()) {
        ++skippedCount;
        doc["skipped"] = skipped;
        if (Text()) Out() << "address " << entry.Address << ": skipped: " << skipped << "\n";
        modules.push_back(doc);
        continue;
      }
      if (Text()) Out() << "address " << entry.Address << " (" << m.ModelName() << "):\n";
      TLoadPlan plan;
      failed = !LoadInto(m, entry.Config, plan, "  ") || failed;
      if (Text() && plan.Steps.empty()) Out() << "  no difference\n";
      ++loaded;
      doc["changes"] = ChangesDoc(plan, A.DryRun);
      doc["left_alone"] = plan.Skipped;
      modules.push_back(doc);
    }
    Doc["file"] = path;
    Doc["dry_run"] = A.DryRun;
    Doc["modules"] = modules;
    if (CliStopRequested()) return ceInterrupted;
    if (Text())
      Out() << loaded << " of " << bus.Modules.size() << " modules "
            << (A.DryRun ? "compared" : failed ? "loaded, not all hold" : "loaded, all hold")
            << (skippedCount ? "; " + std::to_string(skippedCount) + " skipped" : "") << "\n";
    return failed || skippedCount ? ceFailed : ceDone;
  }

  int Load() {
    if (A.Positional.size() == 2) {
      const TConfigParseResult file = LoadConfigFile(A.Positional[1]);
      if (file.Kind == TConfigKind::Bus) return LoadBus(A.Positional[1], file.Bus);
    }
    Expect(A, 3, 3, "load PORT ADDRESS FILE [--dry-run] [--network] [--strict]");
    const int address = ParseAddress(A.Positional[1]);
    const TConfigParseResult file = LoadConfigFile(A.Positional[2]);
    if (file.Kind == TConfigKind::Bus) {
      const TBusModule* entry = file.Bus.Find(address);
      if (!entry)
        throw TBadFile{A.Positional[2] + ": the bus file has no module at address " +
                       std::to_string(address)};
      return LoadModule(address, entry->Config);
    }
    return LoadModule(address, file.Config);
  }

  int LoadModule(int address, const TModuleConfig& config) {
    TprPort& port = Lines.Open(A.Positional[0]);
    TCliModule m = OpenModuleOrFail(port, address);
    const TConfigCheck check = CheckConfigFor(*m.Model, config);
    if (!check) throw TBadFile{A.Positional[2] + ": " + check.Error};
    // What the file leaves out stays as the module has it: said before anything is written.
    const std::vector<std::string> missing = MissingSettings(m.Model->Map(), config, A.Network);
    Doc["missing"] = missing;
    if (!missing.empty()) {
      if (A.Strict) throw TBadFile{A.Positional[2] + ": does not set " + Joined(missing)};
      S.Err << "orbis-cli: note: " << A.Positional[2] << " does not set " << Joined(missing)
            << "; they are left as they are\n";
    }
    if (m.Model->ReadRegister(m.Model->MVERSION) && !config.Firmware.empty() &&
        m.Model->MVERSION->ValueText != config.Firmware)
      S.Err << "orbis-cli: note: the file was saved from firmware " << config.Firmware
            << ", the module runs " << m.Model->MVERSION->ValueText << "\n";
    TLoadPlan plan;
    const bool failed = !LoadInto(m, config, plan, "");
    Describe(m, &m.Model->MVERSION->ValueText);
    Doc["file"] = A.Positional[2];
    Doc["dry_run"] = A.DryRun;
    Doc["changes"] = ChangesDoc(plan, A.DryRun);
    Doc["left_alone"] = plan.Skipped;
    if (CliStopRequested()) return ceInterrupted;
    if (Text())
      Out() << plan.Steps.size() << " of " << config.Values.size() << " settings "
            << (A.DryRun ? "differ" : failed ? "written, not all hold" : "written, all hold")
            << (plan.Skipped.empty() ? "" : "; bus address, baud rate and parity left alone")
            << "\n";
    if (failed) NoteLateness(port, m);
    return failed ? ceFailed : ceDone;
  }

  // A side of a comparison: a file, or a module given as PORT:ADDRESS.
  struct TSide {
    TModuleConfig Config;
    std::optional<TCliModule> Module;
    bool IsBus = false;
    TBusConfig Bus;
  };

  TSide Side(const std::string& what) {
    TSide side;
    const size_t colon = what.rfind(':');
    int32_t address = 0;
    if (colon != std::string::npos && colon > 0 && !std::ifstream(what) &&
        TryStrToInt(what.substr(colon + 1), address)) {
      TprPort& port = Lines.Open(what.substr(0, colon));
      side.Module = OpenModuleOrFail(port, ParseAddress(what.substr(colon + 1)));
      side.Config = ReadWholeConfig(*side.Module);
    } else {
      TConfigParseResult file = LoadConfigFile(what);
      side.IsBus = file.Kind == TConfigKind::Bus;
      side.Config = std::move(file.Config);
      side.Bus = std::move(file.Bus);
    }
    return side;
  }

  // Two bus files: the line settings, then address by address the model and the settings.
  int DiffBuses(const TBusConfig& a, const TBusConfig& b) {
    json list = json::array();
    std::vector<std::vector<std::string>> rows{{"ADDRESS", "REGISTER", A.Positional[0], A.Positional[1]}};
    auto add = [&](int address, const std::string& name, const std::string* x, const std::string* y) {
      list.push_back({{"address", address ? json(address) : json(nullptr)},
                      {"name", name},
                      {"a", Nullable(x)},
                      {"b", Nullable(y)}});
      rows.push_back({address ? std::to_string(address) : "-", name, x ? *x : "-", y ? *y : "-"});
    };
    const std::pair<std::string, std::string> line[] = {
        {ProtocolWord(a.Protocol), ProtocolWord(b.Protocol)},
        {std::to_string(a.Baud), std::to_string(b.Baud)},
        {ParityWord(a.Parity), ParityWord(b.Parity)},
        {std::to_string(a.Timeout), std::to_string(b.Timeout)}};
    const char* const lineNames[] = {"protocol", "baud", "parity", "timeout"};
    for (size_t i = 0; i < std::size(line); ++i)
      if (line[i].first != line[i].second) add(0, lineNames[i], &line[i].first, &line[i].second);
    for (int address = 1; address <= 247; ++address) {
      const TBusModule* x = a.Find(address);
      const TBusModule* y = b.Find(address);
      if (!x && !y) continue;
      if (!x || !y || x->Config.Model != y->Config.Model) {
        add(address, "model", x ? &x->Config.Model : nullptr, y ? &y->Config.Model : nullptr);
        continue;
      }
      for (const TValueDiff& d : DiffConfigs(RegisterMap(ModelIndexOfName(x->Config.Model)),
                                             x->Config, y->Config, A.Network))
        add(address, d.Name, d.A, d.B);
    }
    Doc["same"] = list.empty();
    Doc["differences"] = list;
    if (Text() && !list.empty()) PrintTable(Out(), rows);
    return list.empty() ? ceDone : ceFailed;
  }

  int Diff() {
    Expect(A, 2, 2, "diff A B (each a FILE or PORT:ADDRESS) [--network]");
    TSide a = Side(A.Positional[0]);
    TSide b = Side(A.Positional[1]);
    if (a.IsBus != b.IsBus) throw TUsageError{"a bus file compares with a bus file only"};
    if (a.IsBus) return DiffBuses(a.Bus, b.Bus);
    Doc["a"] = {{"source", A.Positional[0]}, {"model", a.Config.Model}, {"firmware", a.Config.Firmware}};
    Doc["b"] = {{"source", A.Positional[1]}, {"model", b.Config.Model}, {"firmware", b.Config.Firmware}};
    if (a.Config.Model != b.Config.Model) {
      Doc["same"] = false;
      Doc["differences"] = json::array();
      if (Text()) Out() << "models differ: " << a.Config.Model << " | " << b.Config.Model << "\n";
      return ceFailed;
    }
    const int index = ModelIndexOfName(a.Config.Model);
    if (index == 0) throw TBadFile{"unknown model " + a.Config.Model};
    const auto diffs = DiffConfigs(RegisterMap(index), a.Config, b.Config, A.Network);
    json list = json::array();
    std::vector<std::vector<std::string>> rows{{"REGISTER", A.Positional[0], A.Positional[1]}};
    for (const TValueDiff& d : diffs) {
      list.push_back({{"name", d.Name}, {"a", Nullable(d.A)}, {"b", Nullable(d.B)}});
      rows.push_back({d.Name, d.A ? *d.A : "-", d.B ? *d.B : "-"});
    }
    Doc["same"] = diffs.empty();
    Doc["differences"] = list;
    if (Text() && a.Config.Firmware != b.Config.Firmware)
      S.Err << "orbis-cli: note: firmware " << a.Config.Firmware << " | " << b.Config.Firmware << "\n";
    if (Text() && !diffs.empty()) PrintTable(Out(), rows);
    return diffs.empty() ? ceDone : ceFailed;
  }
};

}  // namespace

int RunCli(const std::vector<std::string>& args, TCliStreams streams) {
  CliStopRequested() = false;
  bool jsonOut = false;
  for (const auto& a : args) jsonOut = jsonOut || a == "--json";
  // With --trace: every exchange as it happens, on standard error and for the document.
  std::optional<TTapListener> tap;
  TModelMemory models;
  json trace = json::array();
  auto fail = [&](int code, std::string message, json doc = json::object()) {
    // One line: a hint the serial line adds on a line of its own joins the message.
    for (size_t nl; (nl = message.find('\n')) != std::string::npos;) message.replace(nl, 1, "; ");
    streams.Err << "orbis-cli: " << message << "\n";
    if (jsonOut) {
      if (tap) doc["trace"] = trace;
      doc["error"] = message;
      doc["exit"] = code;
      streams.Out << doc.dump(2) << "\n";
    }
    return code;
  };
  TArgs a;
  try {
    a = ParseArgs(args);
  } catch (const TUsageError& e) {
    return fail(ceUsage, e.Message + " (see orbis-cli --help)");
  }
  if (a.Help || a.Command == "help") {
    streams.Out << Usage;
    return ceDone;
  }
  if (a.Version) {
    streams.Out << "orbis-cli " << ORBIS_VERSION_MAJOR << "." << ORBIS_VERSION_MINOR << "."
                << ORBIS_VERSION_PATCH << "." << ORBIS_VERSION_TWEAK << "\n";
    return ceDone;
  }
  if (a.Trace) {
    tap.emplace([&](const TExchangeRecord& r) {
      const int model = models.Learn(r);
      streams.Err << "trace: " << TraceLine(r, model) << "\n";
      if (a.Json) trace.push_back(TraceEntry(r, model));
    });
  }
  TCommand command(a, streams);
  try {
    const int code = command.Run();
    if (a.Json && tap) command.Doc["trace"] = trace;
    if (a.Json) streams.Out << command.Doc.dump(2) << "\n";
    if (code == ceInterrupted) streams.Err << "orbis-cli: stopped\n";
    return code;
  } catch (const TUsageError& e) {
    return fail(ceUsage, e.Message, command.Doc);
  } catch (const TBadFile& e) {
    return fail(ceUsage, e.Message, command.Doc);
  } catch (const TLineError& e) {
    return fail(ceNoLine, e.Message, command.Doc);
  } catch (const TFailure& e) {
    return fail(CliStopRequested() ? int(ceInterrupted) : int(ceFailed), e.Message, command.Doc);
  } catch (const std::exception& e) {
    return fail(ceFailed, e.what(), command.Doc);
  }
}

// orbis-sim: serves a bus of simulated modules on a pseudo-terminal, or on a TCP listener as a
// serial-to-Ethernet gateway would, until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "models/RegisterDefs.h"
#include "sim/PtyBus.h"

namespace {

// The usage text; MODELS and DEMO stand for the model words and the demo bus of the model table.
const char* const Usage = R"(Usage: orbis-sim [OPTION...] [MODULE...]

Serves simulated ORBIS I/O modules on a pseudo-terminal, prints its device path (one line on
standard output) and runs until SIGINT or SIGTERM. Open the path in any Modbus RTU or Vela
master, e.g. orbis-utility /dev/pts/7. With --tcp it stands in for a serial-to-Ethernet
gateway instead and prints its name, e.g. orbis-utility tcp://127.0.0.1:4001.

MODULE is MODEL[@ADDRESS][,FLAG...]
  MODEL    MODELS,
           unknown (reports model code 210), or a model code 200..255
  ADDRESS  bus address 1..247 (default: the model index, UNKNOWN for unknown modules)
  FLAG     init          INIT mode: answers at address 1, 9600 baud only, SLFDGNS bit 15 set
           strict        answers only at the baud rate of its NETBDRT setting
           silent        never answers
           badcrc        answers with a wrong checksum
           truncated[=N] sends only the first N bytes of each reply (default half)
           late[=MS]     answers MS ms late (default 1000, beyond any automatic time-out)
           noise[=N]     sends N noise bytes before each reply (default 3)
           frozen        inputs, analog values and output loads stay still
  Give two modules the same address to make them talk over each other.
Without MODULE: DEMO (the demo bus).

Options:
  --protocol auto|modbus|vela  protocols understood (default auto: told apart by frame)
  --link PATH                  also make PATH a symbolic link to the device (removed on exit)
  --turnaround MS              pause before each reply (default 2)
  --no-pacing                  write replies at once instead of at the line's baud rate
  --tcp [ADDRESS:]PORT         serve on a TCP listener (default address 127.0.0.1; an IPv6
                               address in brackets; port 0: any free one), one client at a
                               time, as a gateway in transparent mode does
  --baud N                     the rate of the gateway's serial side: replies over --tcp are
                               paced at it (default: written at once)
  --verbose                    log every request and reply on standard error
  --help                       show this text

Example:
  orbis-sim --link /tmp/orbis-bus kappa@1 rho@4,late=300 eta@7,init
  orbis-sim --tcp 4001 --baud 9600
)";

bool Fail(const std::string& message) {
  std::cerr << "orbis-sim: " << message << "\n";
  return false;
}

std::string Lower(const std::string& text) {
  std::string lower;
  for (char c : text) lower.push_back(char(std::tolower(static_cast<unsigned char>(c))));
  return lower;
}

// The model word of a model index: its name in lower case up to the dash ("kappa").
std::string ModelWord(int index) {
  if (index == 0) return "unknown";
  const std::string name = Lower(ModelRow(index).Name);
  return name.substr(0, name.find('-'));
}

// The bus address a module of the model index takes when none is given.
int DefaultAddress(int index) { return index == 0 ? ModelCount : index; }

std::string UsageText() {
  std::string words, names, demo;
  for (int i = 1; i < ModelCount; ++i) {
    words += (i > 1 ? ", " : "") + ModelWord(i);
    names += (i > 1 ? ", " : "") + std::string(ModelRow(i).Name);
  }
  for (int i = 1; i <= ModelCount; ++i) {
    const int index = i % ModelCount;
    demo += (i > 1 ? " " : "") + ModelWord(index) + "@" + std::to_string(DefaultAddress(index));
  }
  std::string text = Usage;
  auto fill = [&text](const std::string& key, const std::string& value) {
    const size_t at = text.find(key);
    if (at != std::string::npos) text.replace(at, key.size(), value);
  };
  fill("MODELS", words + " (or " + names + ")");
  fill("DEMO", demo);
  fill("UNKNOWN", std::to_string(DefaultAddress(0)));
  return text;
}

int ModelIndexOf(const std::string& name, int& unknownCode) {
  const std::string lower = Lower(name);
  for (int i = 0; i < ModelCount; ++i)
    if (lower == ModelWord(i) || (i > 0 && lower == Lower(ModelRow(i).Name))) return i;
  char* end = nullptr;
  const long code = std::strtol(name.c_str(), &end, 10);
  if (!name.empty() && *end == '\0' && code >= 0 && code <= 255) {
    if (const int index = ModelIndexFromProbe(uint8_t(code))) return index;
    unknownCode = int(code);
    return 0;
  }
  return -1;
}

bool ParseNumber(const std::string& text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && value >= low && value <= high;
}

// "[ADDRESS:]PORT", the address of IPv6 in brackets.
bool ParseListenAddress(const std::string& text, std::string& address, int& port) {
  std::string portText = text;
  address = "127.0.0.1";
  if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    address = text.substr(0, colon);
    portText = text.substr(colon + 1);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
      address = address.substr(1, address.size() - 2);
    else if (address.find(':') != std::string::npos)
      return false;
  }
  long value = 0;
  if (address.empty() || !ParseNumber(portText, 0, 65535, value)) return false;
  port = int(value);
  return true;
}

bool AddModule(TSimBus& bus, const std::string& description) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t comma; (comma = description.find(',', start)) != std::string::npos; start = comma + 1)
    parts.push_back(description.substr(start, comma - start));
  parts.push_back(description.substr(start));

  std::string model = parts[0], address;
  if (const size_t at = model.find('@'); at != std::string::npos) {
    address = model.substr(at + 1);
    model.resize(at);
  }
  int unknownCode = 210;
  const int index = ModelIndexOf(model, unknownCode);
  if (index < 0) return Fail("unknown model '" + model + "' in " + description);
  long addr = DefaultAddress(index);
  if (!address.empty() && !ParseNumber(address, 1, 247, addr))
    return Fail("bad address '" + address + "' in " + description);

  TSimModule& m = bus.Add(TSimModule::ForModel(index, uint8_t(addr), 0, uint8_t(unknownCode)));
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string flag = parts[i], param;
    if (const size_t eq = flag.find('='); eq != std::string::npos) {
      param = flag.substr(eq + 1);
      flag.resize(eq);
    }
    long value = 0;
    if (!param.empty() && !ParseNumber(param, 1, 600000, value))
      return Fail("bad value '" + param + "' in " + description);
    if (flag == "init") m.SetInitMode(true);
    else if (flag == "strict") m.StrictLine = true;
    else if (flag == "frozen") m.RandomInputs = m.MovingInputs = false;
    else if (flag == "silent") m.Fault = {TSimFaultKind::Silence, 0, -1};
    else if (flag == "badcrc") m.Fault = {TSimFaultKind::BadCrc, 0, -1};
    else if (flag == "truncated") m.Fault = {TSimFaultKind::Truncated, int(value), -1};
    else if (flag == "late") m.Fault = {TSimFaultKind::Late, int(value), -1};
    else if (flag == "noise") m.Fault = {TSimFaultKind::Noise, int(value), -1};
    else return Fail("unknown flag '" + flag + "' in " + description);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  auto bus = std::make_shared<TSimBus>();
  std::string link, tcpAddress;
  int tcpPort = -1;
  long tcpBaud = 0;
  bool pacing = true, verbose = false;
  std::vector<std::string> modules;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return Fail(arg + " needs a value");
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      std::cout << UsageText();
      return 0;
    } else if (arg == "--protocol") {
      if (!value(v)) return 2;
      if (v == "auto") bus->Protocol = TSimProtocol::Auto;
      else if (v == "modbus") bus->Protocol = TSimProtocol::Modbus;
      else if (v == "vela") bus->Protocol = TSimProtocol::Vela;
      else return Fail("--protocol is auto, modbus or vela"), 2;
    } else if (arg == "--link") {
      if (!value(link)) return 2;
    } else if (arg == "--turnaround") {
      long ms = 0;
      if (!value(v) || !ParseNumber(v, 0, 10000, ms)) return Fail("bad --turnaround"), 2;
      bus->TurnaroundMs = double(ms);
    } else if (arg == "--tcp") {
      if (!value(v) || !ParseListenAddress(v, tcpAddress, tcpPort))
        return Fail("--tcp takes [ADDRESS:]PORT"), 2;
    } else if (arg == "--baud") {
      if (!value(v) || !ParseNumber(v, 50, 4000000, tcpBaud)) return Fail("bad --baud"), 2;
    } else if (arg == "--no-pacing") {
      pacing = false;
    } else if (arg == "--verbose") {
      verbose = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return Fail("unknown option " + arg + " (see --help)"), 2;
    } else {
      modules.push_back(arg);
    }
  }
  if (modules.empty())
    for (int i = 1; i <= ModelCount; ++i) modules.push_back(ModelWord(i % ModelCount));
  for (const auto& description : modules)
    if (!AddModule(*bus, description)) return 2;
  if (tcpPort < 0 && tcpBaud > 0)
    return Fail("--baud goes with --tcp (a pty takes the rate its program sets)"), 2;
  if (tcpPort >= 0 && !link.empty()) return Fail("--link goes with a pty, not with --tcp"), 2;

  // The signals are taken by sigwait below; the bus thread inherits the blocked mask. A shell
  // starts background jobs with SIGINT ignored, and an ignored signal never reaches sigwait,
  // so both get a handler first.
  struct sigaction action {};
  action.sa_handler = [](int) {};
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  TPtyBus pty(bus);
  pty.PaceReplies = pacing;
  pty.TcpBaud = int(tcpBaud);
  if (verbose) pty.Log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  std::string error;
  if (!(tcpPort >= 0 ? pty.StartTcp(tcpAddress, tcpPort, &error) : pty.Start(&error)))
    return Fail(error), 1;
  if (!link.empty() && !pty.MakeLink(link, &error)) {
    pty.Stop();
    return Fail(error), 1;
  }
  if (tcpPort >= 0) {
    const bool v6 = tcpAddress.find(':') != std::string::npos;
    std::cout << "tcp://" << (v6 ? "[" + tcpAddress + "]" : tcpAddress) << ":" << pty.TcpPort()
              << std::endl;
  } else {
    std::cout << pty.DevicePath() << std::endl;
  }
  if (verbose) {
    for (auto& m : bus->Modules())
      std::fprintf(stderr, "module %s (code %d) at address %d%s\n",
                   SimModelName(m->ModelCode()).c_str(), m->ModelCode(), m->AnswerAddress(),
                   m->InitMode() ? " (INIT mode)" : "");
  }
  int received = 0;
  sigwait(&signals, &received);
  pty.Stop();
  return 0;
}

#include "cli/CliBus.h"

#include <vector>

#include "models/BusScan.h"

std::atomic<bool>& CliStopRequested() {
  static std::atomic<bool> stop{false};
  return stop;
}

TCliLine::TCliLine(const TLineOptions& options, std::unique_ptr<TComBackend> backend)
    : ComPort(backend ? std::make_unique<TComPort>(std::move(backend))
                      : std::make_unique<TComPort>()) {
  PortNode.SetComPort(ComPort.get());
  PortNode.SetPortName(options.Port);
  PortNode.SetProtocol(options.Protocol);
  PortNode.SetBaudRate(options.Baud);
  PortNode.SetParity(options.Parity);
  PortNode.SetTimeout(options.Timeout);
  PortNode.SetNetworkAllowance(options.NetworkAllowance);
  PortNode.ApplySettings();
  ComPort->Open();
}

TCliLine::~TCliLine() {
  try {
    ComPort->Close();
  } catch (...) {
    // Closing a line that went away (an unplugged adapter) has nothing left to undo.
  }
}

bool OpenModule(TprPort& port, int address, TCliModule& module, std::string& error,
                bool* silent) {
  TScanHit hit;
  TProbeMiss miss = TProbeMiss::Silent;
  if (silent) *silent = false;
  if (!ProbeAddress(port, uint8_t(address), hit, &miss)) {
    if (silent) *silent = miss == TProbeMiss::Silent;
    const std::string at = " at address " + std::to_string(address);
    error = miss == TProbeMiss::Silent     ? "no module answers" + at
            : miss == TProbeMiss::Checksum ? "checksum error in the reply" + at +
                                                 " (noise on the line, or another baud rate or parity)"
                                           : "garbled reply" + at +
                                                 " (no valid reply to the probe; another protocol?)";
    return false;
  }
  module.Address = address;
  module.ModelIndex = hit.ModelIndex;
  module.Node.reset(CreateDevice(hit.ModelIndex, uint32_t(address), &port));
  module.Model = dynamic_cast<TprModel*>(module.Node.get());
  if (!module.Model) {
    error = "the module at address " + std::to_string(address) + " reports model code " +
            std::to_string(hit.Code) + ", which has no register map";
    return false;
  }
  return true;
}

TBusConfig ReadBusConfig(TprPort& port, int from, int to, std::vector<std::string>& failed,
                         std::vector<int>& unknown) {
  TBusConfig bus;
  bus.Protocol = port.Protocol();
  bus.Baud = port.BaudRate();
  bus.Parity = port.Parity();
  bus.Timeout = port.Timeout();
  std::vector<TScanHit> hits;
  ScanBus(
      port, from, to, [](int) { return !CliStopRequested(); },
      [&](const TScanHit& hit) { hits.push_back(hit); });
  for (const TScanHit& hit : hits) {
    if (CliStopRequested()) break;
    TCliModule module;
    std::string error;
    if (!OpenModule(port, hit.Address, module, error)) {
      unknown.push_back(hit.Address);
      continue;
    }
    std::vector<std::string> unread;
    TBusModule entry;
    entry.Address = hit.Address;
    entry.Config = ReadConfig(*module.Model, unread, [] { return bool(CliStopRequested()); });
    if (!unread.empty()) {
      std::string names;
      for (const auto& n : unread) names += (names.empty() ? "" : ", ") + n;
      failed.push_back(std::to_string(hit.Address) + ": " + names);
    }
    bus.Modules.push_back(std::move(entry));
  }
  return bus;
}

#include "shell/BusScan.h"

#include "comm/Clock.h"
#include "comm/prPort.h"
#include "models/prDevice.h"

bool ProbeAddress(TprPort& port, uint8_t address, TScanHit& hit) {
  bool accepted = false;
  uint8_t value = 0;
  if (port.Protocol() == ptModbus) {
    TModbusRecord request{}, reply{};
    PrepareModbusProbe(ModbusProbeTemplate(), address, request);
    port.ExchangeModbus(request, reply);
    accepted = CheckModbusProbe(reply, request, value);
  } else if (port.Protocol() == ptVela) {
    TVelaRecord request{}, reply{};
    PrepareVelaProbe(VelaProbeTemplate(), address, request);
    port.ExchangeVela(request, reply);
    accepted = CheckVelaProbe(reply, request, value);
  } else {
    TDcsRecord request{}, reply{};
    PrepareDcsProbe(DcsProbeTemplate(), request);
    port.ExchangeDcs(request, reply);
    accepted = CheckDcsProbe(reply, request, value);
  }
  if (!accepted) return false;
  hit.Address = address;
  hit.Code = value;
  hit.ModelIndex = port.Protocol() == ptDCS ? (value < ModelCount ? value : 0)
                                          : ModelIndexFromProbe(value);
  return true;
}

int ScanBus(TprPort& port, int from, int to, const std::function<bool(int address)>& next,
            const std::function<void(const TScanHit&)>& found) {
  int count = 0;
  // Each address is asked once and its reply names it: no wait for late replies.
  port.ClearReplyGuards();
  for (int i = from; i <= to; ++i) {
    if (next && !next(i)) break;
    TScanHit hit;
    if (ProbeAddress(port, static_cast<uint8_t>(i), hit)) {
      ++count;
      if (found) found(hit);
    }
    Clock().Sleep(kScanAddressPauseMs);
  }
  return count;
}

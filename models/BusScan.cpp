#include "models/BusScan.h"

#include "comm/Clock.h"
#include "comm/Codecs.h"
#include "comm/prPort.h"
#include "models/prDevice.h"

bool ProbeAddress(TprPort& port, uint8_t address, TScanHit& hit, TProbeMiss* miss) {
  bool accepted = false;
  uint8_t value = 0;
  int got = 0;
  bool checksumOnly = false;  // a reply of the full length whose checksum is wrong
  if (port.Protocol() == ptModbus) {
    TModbusRecord request{}, reply{};
    PrepareModbusProbe(ModbusProbeTemplate(), address, request);
    got = port.ExchangeModbus(request, reply);
    accepted = CheckModbusProbe(reply, request, value);
    checksumOnly = got == request.ReplyLength && !Crc16Sealed(reply.Frame, got);
  } else if (port.Protocol() == ptVela) {
    TVelaRecord request{}, reply{};
    PrepareVelaProbe(VelaProbeTemplate(), address, request);
    got = port.ExchangeVela(request, reply);
    accepted = CheckVelaProbe(reply, request, value);
    checksumOnly = got == request.ReplyLength && !Crc8Sealed(reply.Frame, got);
  } else {
    TDcsRecord request{}, reply{};
    PrepareDcsProbe(DcsProbeTemplate(), request);
    port.ExchangeDcs(request, reply);
    accepted = CheckDcsProbe(reply, request, value);
  }
  if (!accepted) {
    if (miss)
      *miss = got == 0 ? TProbeMiss::Silent : checksumOnly ? TProbeMiss::Checksum : TProbeMiss::Garbled;
    return false;
  }
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

#pragma once
// The address scan behind the module search: the probe of each address with the port's
// protocol, the model found, and the pause after every address. No window and no tree: the
// search window and the command-line tool each drive it with their own callbacks.
#include <cstdint>
#include <functional>

class TprPort;

struct TScanHit {
  int Address = 0;
  int ModelIndex = 0;  // 0: a module of no known model
  uint8_t Code = 0;    // the probe value the module reported
};

// The pause after every probed address, answered or not.
inline constexpr int kScanAddressPauseMs = 30;

// Probes addresses from..to of the port in ascending order. Before each address `next` is
// called with it and may stop the scan by returning false; every accepted reply goes to
// `found`. Line errors pass through as EComPort. Returns the number of modules found.
int ScanBus(TprPort& port, int from, int to, const std::function<bool(int address)>& next,
            const std::function<void(const TScanHit&)>& found);

// Why a probe found no module: nothing came back, a reply whose checksum is wrong, or bytes
// that are no reply to the probe (another address, a cut frame, an exception).
enum class TProbeMiss { Silent, Checksum, Garbled };

// One probe of one address: true with the hit filled when a module answered acceptably; on
// false, `miss` (when given) tells what came back.
bool ProbeAddress(TprPort& port, uint8_t address, TScanHit& hit, TProbeMiss* miss = nullptr);

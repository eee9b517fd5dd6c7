#pragma once
// A bus of simulated modules served on a pseudo-terminal by a background thread: any program
// opens the slave device like a serial adapter and talks Vela or Modbus RTU to the modules.
// Started with StartTcp it stands in for a serial-to-Ethernet gateway instead: the frames come
// and go through a TCP connection unchanged, one client at a time.
//
// Requests are framed by their headers (a complete frame with a right checksum is served at
// once) or, for anything else, by a pause on the line; replies go out after the bus's
// turnaround and, with PaceReplies, one character at a time at the baud rate and character
// format the program set on its side (read back from the pty's master).
//
// The modules' time is the monotonic clock since Start. Lock bus->Mutex() to look at or change
// a module while the bus runs.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimBus.h"

struct TPtyLineSettings;

class TPtyBus {
 public:
  explicit TPtyBus(std::shared_ptr<TSimBus> bus);
  ~TPtyBus();
  TPtyBus(const TPtyBus&) = delete;
  TPtyBus& operator=(const TPtyBus&) = delete;

  // Creates the pty and starts serving; false with the reason in error on failure.
  bool Start(std::string* error = nullptr);
  // Listens on address:port (port 0: one the system picks) and serves the client connected
  // there, as a gateway in transparent mode does; a second client is turned away while one is
  // served. false with the reason in error on failure.
  bool StartTcp(const std::string& address, int port, std::string* error = nullptr);
  // The port listened on; 0 unless started with StartTcp.
  int TcpPort() const { return ListenPort; }
  // Stops the thread, closes the pty or the listener and removes the link, if one was made.
  void Stop();
  bool Running() const { return Thread.joinable(); }
  // The slave device path (/dev/pts/N) to open; empty before Start.
  const std::string& DevicePath() const { return Path; }
  // A symbolic link to the device path (replacing an older link of that name).
  bool MakeLink(const std::string& linkPath, std::string* error = nullptr);

  std::shared_ptr<TSimBus> Bus() const { return SimBus; }

  // Pace replies at the line's character time (off: write each reply at once).
  bool PaceReplies = true;
  // The rate of the gateway's serial side: a TCP client cannot set it, so replies to it are
  // paced at this rate when it is given (0: written at once). Set before StartTcp.
  int TcpBaud = 0;
  // A gateway that loses its network in the middle of a reply: the connection is closed after
  // so many bytes of the next reply (-1: never). Lock Mutex() of the bus to change it while
  // the bus runs.
  int DropAfterReplyBytes = -1;
  // Called from the bus thread for every request and reply (orbis-sim --verbose).
  std::function<void(const std::string&)> Log;

 private:
  void Run();
  void Serve(const std::vector<uint8_t>& frame, double firstByteMs);
  // The character format replies are paced at: the pty's, or the gateway's serial side.
  TPtyLineSettings LineSettings() const;
  bool SendToLine(const uint8_t* bytes, size_t count);
  // Takes a waiting client; true when it is the one served from now on.
  bool AcceptClient();
  void DropClient();
  bool StartThread(std::string* error);
  // Waits until the monotonic time ms; false when Stop asked to end.
  bool WaitUntil(double ms);
  double NowMs() const;

  std::shared_ptr<TSimBus> SimBus;
  std::string Path;
  std::string Link;
  int Master = -1;  // the pty's master, or the TCP client's connection (-1 while none)
  int Slave = -1;  // kept open so that the master never sees a hang-up between clients
  int Listener = -1;
  int ListenPort = 0;
  int WakeRead = -1, WakeWrite = -1;
  double OriginMs = 0;
  std::atomic<bool> Stopping{false};
  std::thread Thread;
};

// The line settings the slave side of a pty applied, read from its master.
struct TPtyLineSettings {
  int Baud = 9600;
  int DataBits = 8;
  int ParityBits = 0;  // 0 or 1
  int StopBits = 1;
  double CharTimeMs() const { return (1 + DataBits + ParityBits + StopBits) * 1000.0 / Baud; }
};
bool ReadPtyLineSettings(int masterFd, TPtyLineSettings& settings);

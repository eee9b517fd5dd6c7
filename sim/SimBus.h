#pragma once
// A bus of simulated modules on one RS-485 line: every module hears every frame, the one at the
// frame's address answers, faults spoil replies, and two modules at one address garble each
// other's replies as they would on a real line.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "sim/SimModule.h"

// A reply as the line carries it.
struct TSimReply {
  std::vector<uint8_t> Bytes;
  double DelayMs = 0;  // from the end of the request to the start of the first reply byte
};

class TSimBus {
 public:
  explicit TSimBus(TSimProtocol protocol = TSimProtocol::Auto) : Protocol(protocol) {}

  TSimModule& Add(TSimModule module);
  // A module of a model index (1..5; others give an unrecognised module) at an address.
  TSimModule& AddModel(int modelIndex, uint8_t address, bool initMode = false);
  std::vector<std::unique_ptr<TSimModule>>& Modules() { return Items; }
  TSimModule& Module(size_t i) { return *Items.at(i); }
  // The first module that answers at the address (INIT-mode modules answer at 1); nullptr if
  // none does.
  TSimModule* At(uint8_t address);

  // The protocols the bus understands: Auto tells them apart by frame.
  TSimProtocol Protocol;
  // Time a module takes between the end of a request and the start of its reply.
  double TurnaroundMs = 2.0;

  // Serves one complete request frame that ended at nowMs (bus clock, ms). Every module runs
  // its behaviour up to nowMs; nothing when no module answers.
  std::optional<TSimReply> Serve(const uint8_t* frame, int n, int64_t nowMs,
                                 const TSimLine& line = {});

  // Guards the modules while a pty bus serves them from its thread: lock it before touching a
  // module from another thread.
  std::mutex& Mutex() { return Lock; }

  int64_t FramesReceived = 0;
  int64_t RepliesSent = 0;

 private:
  std::vector<std::unique_ptr<TSimModule>> Items;
  std::mutex Lock;
};

// Bytes of two replies that overlap on the line: the later one starts half a character
// after the first, so the bits mix out of step (RS-485 receivers see the dominant level).
std::vector<uint8_t> CollideReplies(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

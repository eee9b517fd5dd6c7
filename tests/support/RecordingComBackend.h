#pragma once
// A serial line backend that records what the line does with the device (opens with their
// port names, closes) and can be made to refuse opening, as for a port in use. Reads return
// nothing, so every exchange over it fails as with a silent bus.
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"

class TRecordingComBackend : public TComBackend {
 public:
  void Open(const std::string& port) override {
    if (FailOpen) throw EComPort(CError_OpenFailed, 16);
    Log.push_back("open " + port);
  }
  void Close() override { Log.push_back("close"); }
  void ApplyBuffer(const TComBuffer&) override {}
  void ApplyLine(const TComLineSettings&) override {}
  void ApplyTimeouts(const TComTimeouts&) override {}
  void Purge(bool, bool) override {}
  int Write(const uint8_t*, int count) override { return count; }
  int Read(uint8_t*, int) override { return 0; }

  std::vector<std::string> Log;
  bool FailOpen = false;
};

// A line on a recording backend; Rec stays valid while the line lives.
struct TRecordingComLine {
  TRecordingComLine() {
    auto backend = std::make_unique<TRecordingComBackend>();
    Rec = backend.get();
    Line = std::make_unique<TComPort>(std::move(backend));
  }
  TRecordingComBackend* Rec;
  std::unique_ptr<TComPort> Line;
};

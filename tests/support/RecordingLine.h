#pragma once
// A serial line backend for tests that records everything pushed to the device as text, and
// answers each written frame through an optional responder. It can fail a chosen write.
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/CPort.h"

class TRecordingBackend : public TComBackend {
 public:
  using TResponder = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& request)>;

  void Open(const std::string& port) override { Log.push_back("open " + port); }
  void Close() override { Log.push_back("close"); }
  void ApplyBuffer(const TComBuffer&) override {}
  void ApplyLine(const TComLineSettings& s) override {
    Log.push_back("line baud=" + std::to_string(s.BaudRate) + " stop=" +
                  std::to_string(s.StopBits) + " parity=" + std::to_string(s.Parity.Bits) +
                  (s.Parity.Check ? "+check" : "") + " event=" + std::to_string(int(s.EventChar)));
  }
  void ApplyTimeouts(const TComTimeouts& t) override {
    Log.push_back("timeouts " + std::to_string(t.ReadInterval) + "," +
                  std::to_string(t.ReadTotalMultiplier) + "," +
                  std::to_string(t.ReadTotalConstant) + "," +
                  std::to_string(t.WriteTotalMultiplier) + "," +
                  std::to_string(t.WriteTotalConstant));
  }
  void Purge(bool, bool) override { Pending.clear(); }
  int Write(const uint8_t* bytes, int count) override {
    ++Writes;
    if (FailOnWrite > 0 && Writes == FailOnWrite) throw EComPort(CError_WriteFailed, 5);
    std::vector<uint8_t> frame(bytes, bytes + count);
    Frames.push_back(frame);
    if (Responder) Pending = Responder(frame);
    return count;
  }
  int Read(uint8_t* buffer, int count) override {
    const int n = std::min<int>(count, static_cast<int>(Pending.size()));
    if (n > 0) std::memcpy(buffer, Pending.data(), static_cast<size_t>(n));
    Pending.erase(Pending.begin(), Pending.begin() + n);
    return n;
  }

  // Log entries of the line settings and time-outs pushed, without opens and closes.
  std::vector<std::string> SettingsLog() const {
    std::vector<std::string> out;
    for (const auto& e : Log)
      if (e.rfind("line ", 0) == 0 || e.rfind("timeouts ", 0) == 0) out.push_back(e);
    return out;
  }

  std::vector<std::string> Log;
  std::vector<std::vector<uint8_t>> Frames;
  TResponder Responder;
  int Writes = 0;
  int FailOnWrite = 0;  // 1-based number of the write that raises; 0 never

 private:
  std::vector<uint8_t> Pending;
};

// A line on a recording backend; Rec stays valid while the line lives.
struct TRecordingLine {
  TRecordingLine() {
    auto backend = std::make_unique<TRecordingBackend>();
    Rec = backend.get();
    Line = std::make_unique<TComPort>(std::move(backend));
  }
  TRecordingBackend* Rec;
  std::unique_ptr<TComPort> Line;
};

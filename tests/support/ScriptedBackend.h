#pragma once
// A serial line backend for tests: records what is written and applied, and answers each
// written frame with what a responder returns. Bytes can be left waiting before an exchange
// to stand for a late reply of an earlier one.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "comm/CPort.h"

class TScriptedBackend : public TComBackend {
 public:
  using Bytes = std::vector<uint8_t>;

  void Open(const std::string& port) override {
    if (FailOpen) throw EComPort(CError_OpenFailed, 16);
    OpenedPorts.push_back(port);
    Log.push_back("open " + port);
  }
  void Close() override {
    ++CloseCount;
    Log.push_back("close");
  }
  void ApplyBuffer(const TComBuffer&) override {}
  void ApplyLine(const TComLineSettings& settings) override { Lines.push_back(settings); }
  void ApplyTimeouts(const TComTimeouts& timeouts) override { Timeouts.push_back(timeouts); }
  void Purge(bool input, bool) override {
    ++PurgeCount;
    if (input) Input.clear();
  }
  int Write(const uint8_t* bytes, int count) override {
    Sent.emplace_back(bytes, bytes + count);
    if (Responder) {
      Bytes reply = Responder(Sent.back());
      Input.insert(Input.end(), reply.begin(), reply.end());
    }
    return count;
  }
  int Read(uint8_t* buffer, int count) override {
    int n = 0;
    while (n < count && !Input.empty()) {
      buffer[n++] = Input.front();
      Input.pop_front();
    }
    return n;
  }

  std::function<Bytes(const Bytes&)> Responder;
  std::deque<uint8_t> Input;
  std::vector<Bytes> Sent;
  std::vector<std::string> OpenedPorts;
  // Opens and closes in order: "open <port>", "close".
  std::vector<std::string> Log;
  std::vector<TComLineSettings> Lines;
  std::vector<TComTimeouts> Timeouts;
  int CloseCount = 0;
  int PurgeCount = 0;
  bool FailOpen = false;
};

#pragma once
// A pseudo-terminal for tests of the real serial line: the test plays the far end of the
// line on the master side while the line under test opens the slave by its path.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class TPtyPair {
 public:
  TPtyPair() {
    int slave = -1;
    char name[128] = {};
    if (openpty(&Master, &slave, name, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    SlavePath = name;
    // Only the line under test holds the slave open, as with a real device.
    ::close(slave);
  }
  ~TPtyPair() { CloseMaster(); }
  TPtyPair(const TPtyPair&) = delete;
  TPtyPair& operator=(const TPtyPair&) = delete;

  void CloseMaster() {
    if (Master >= 0) ::close(Master);
    Master = -1;
  }

  void Send(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(Master, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("pty master write failed");
      done += size_t(n);
    }
  }

  // Collects what the line sent, until `count` bytes came or `timeoutMs` passed.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs = 1000) const {
    std::vector<uint8_t> out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{Master, POLLIN, 0};
      if (poll(&p, 1, int(left.count()) + 1) <= 0) continue;
      uint8_t buf[4096];
      ssize_t n = ::read(Master, buf, std::min(sizeof buf, count - out.size()));
      if (n <= 0) break;
      out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

  int Master = -1;
  std::string SlavePath;
};

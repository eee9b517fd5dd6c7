#pragma once
// Two pseudo-terminals joined back to back: whatever is written to one slave device comes out
// of the other, as over a null-modem cable. Lets two programs that each open a device path
// (our serial line and a libmodbus peer) talk to each other.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

class TPtyBridge {
 public:
  TPtyBridge() {
    for (int i = 0; i < 2; ++i) {
      char name[128];
      termios raw{};
      cfmakeraw(&raw);
      if (openpty(&Master[i], &Slave[i], name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
      Path[i] = name;
      fcntl(Master[i], F_SETFL, O_NONBLOCK);
    }
    if (pipe(StopPipe) != 0) throw std::runtime_error("pipe failed");
    Relay = std::thread([this] { Run(); });
  }
  ~TPtyBridge() {
    (void)!write(StopPipe[1], "x", 1);
    Relay.join();
    for (int fd : {Master[0], Master[1], Slave[0], Slave[1], StopPipe[0], StopPipe[1]}) close(fd);
  }
  TPtyBridge(const TPtyBridge&) = delete;
  TPtyBridge& operator=(const TPtyBridge&) = delete;

  // Device paths of the two ends.
  const std::string& PathA() const { return Path[0]; }
  const std::string& PathB() const { return Path[1]; }

 private:
  void Run() {
    pollfd fds[3] = {{Master[0], POLLIN, 0}, {Master[1], POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
    for (;;) {
      if (poll(fds, 3, -1) < 0) continue;
      if (fds[2].revents) return;
      for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        unsigned char buffer[512];
        const ssize_t n = read(Master[i], buffer, sizeof buffer);
        for (ssize_t done = 0; n > 0 && done < n;) {
          const ssize_t w = write(Master[1 - i], buffer + done, size_t(n - done));
          if (w > 0) done += w;
          else {
            pollfd out{Master[1 - i], POLLOUT, 0};
            poll(&out, 1, 100);
          }
        }
      }
    }
  }

  int Master[2] = {-1, -1};
  int Slave[2] = {-1, -1};
  int StopPipe[2] = {-1, -1};
  std::string Path[2];
  std::thread Relay;
};

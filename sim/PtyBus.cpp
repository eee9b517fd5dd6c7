#include "sim/PtyBus.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "comm/Codecs.h"

namespace {

int VelaBytes(int type) {
  static constexpr int sizes[9] = {1, 1, 1, 2, 2, 4, 4, 4, 8};
  return type >= 0 && type < 9 ? sizes[type] : 0;
}

// The length of the complete frame at the start of the buffer, judged by its header and
// confirmed by its checksum; 0 while no such frame is there (more bytes, or a pause, will
// tell).
size_t CompleteFrameLength(const std::vector<uint8_t>& rx, TSimProtocol protocol) {
  const size_t n = rx.size();
  if (n < 4) return 0;
  if (protocol != TSimProtocol::Vela) {
    size_t length = 0;
    if (rx[1] == 0x03) length = 8;
    else if (rx[1] == 0x10 && n >= 7) length = 9 + size_t(rx[6]);
    if (length > 0 && n >= length && Crc16Sealed(rx.data(), int(length))) return length;
  }
  if (protocol != TSimProtocol::Modbus && rx[1] <= 1) {
    size_t length = 0;
    if (rx[3] == 0) {
      length = 5;
    } else if (rx[3] == 1 && n >= 5) {
      const int type = rx[4] & 0x0F;
      if (type <= 8) {
        length = size_t(VelaBytes(type)) + 6;
      } else if (type == 9) {
        const auto nul = std::find(rx.begin() + 5, rx.end(), uint8_t(0));
        if (nul != rx.end()) length = size_t(nul - rx.begin()) + 2;
      }
    }
    if (length > 0 && n >= length && Crc8Sealed(rx.data(), int(length))) return length;
  }
  return 0;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (uint8_t b : bytes) {
    if (!s.empty()) s.push_back(' ');
    s.push_back(digits[b >> 4]);
    s.push_back(digits[b & 15]);
  }
  return s;
}

void SetError(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
}

}  // namespace

TPtyBus::TPtyBus(std::shared_ptr<TSimBus> bus) : SimBus(std::move(bus)) {}

TPtyBus::~TPtyBus() { Stop(); }

double TPtyBus::NowMs() const {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

bool TPtyBus::Start(std::string* error) {
  if (Running()) return true;
  char name[128] = {};
  if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0) {
    SetError(error, "openpty");
    return false;
  }
  Path = name;
  // Until a program sets the line up, the pty passes bytes through untouched.
  termios raw{};
  if (tcgetattr(Slave, &raw) == 0) {
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    tcsetattr(Slave, TCSANOW, &raw);
  }
  fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
  fcntl(Master, F_SETFD, FD_CLOEXEC);
  fcntl(Slave, F_SETFD, FD_CLOEXEC);
  return StartThread(error);
}

bool TPtyBus::StartThread(std::string* error) {
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    SetError(error, "pipe");
    for (int* fd : {&Master, &Slave, &Listener}) {
      if (*fd >= 0) close(*fd);
      *fd = -1;
    }
    return false;
  }
  WakeRead = wake[0];
  WakeWrite = wake[1];
  OriginMs = NowMs();
  Stopping = false;
  Thread = std::thread([this] { Run(); });
  return true;
}

bool TPtyBus::StartTcp(const std::string& address, int port, std::string* error) {
  if (Running()) return true;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc =
          getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
      rc != 0) {
    if (error) *error = address + ": " + gai_strerror(rc);
    return false;
  }
  for (addrinfo* a = found; a && Listener < 0; a = a->ai_next) {
    const int fd =
        socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 1) == 0) {
      Listener = fd;
    } else {
      SetError(error, "listen on " + address + ":" + service);
      close(fd);
    }
  }
  freeaddrinfo(found);
  if (Listener < 0) return false;
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  getsockname(Listener, reinterpret_cast<sockaddr*>(&bound), &size);
  ListenPort =
      ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                        : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return StartThread(error);
}

bool TPtyBus::AcceptClient() {
  const int fd = accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return false;
  // The client served may have gone without this loop having seen it yet.
  uint8_t peek = 0;
  if (Master >= 0) {
    const ssize_t n = recv(Master, &peek, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) DropClient();
  }
  if (Master >= 0) {
    // A gateway serves one client; the next one is reset at once rather than left waiting.
    const linger reset{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close(fd);
    return false;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  Master = fd;
  return true;
}

void TPtyBus::DropClient() {
  if (Listener < 0 || Master < 0) return;
  close(Master);
  Master = -1;
}

TPtyLineSettings TPtyBus::LineSettings() const {
  TPtyLineSettings settings;
  if (Listener < 0) {
    ReadPtyLineSettings(Master, settings);
  } else if (TcpBaud > 0) {
    settings.Baud = TcpBaud;
  }
  return settings;
}

bool TPtyBus::SendToLine(const uint8_t* bytes, size_t count) {
  if (Master < 0) return false;
  // A client that went away must not end the simulator with SIGPIPE.
  const ssize_t n =
      Listener >= 0 ? send(Master, bytes, count, MSG_NOSIGNAL) : write(Master, bytes, count);
  return n >= 0;
}

void TPtyBus::Stop() {
  if (Thread.joinable()) {
    Stopping = true;
    const char byte = 1;
    if (write(WakeWrite, &byte, 1) < 0) {
      // The pipe is never full with one byte; the flag ends the loop at its next wake-up.
    }
    Thread.join();
  }
  for (int* fd : {&Master, &Slave, &Listener, &WakeRead, &WakeWrite}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  ListenPort = 0;
  if (!Link.empty()) {
    unlink(Link.c_str());
    Link.clear();
  }
}

bool TPtyBus::MakeLink(const std::string& linkPath, std::string* error) {
  struct stat st {};
  if (lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      if (error) *error = linkPath + ": exists and is not a symbolic link";
      return false;
    }
    unlink(linkPath.c_str());
  }
  if (symlink(Path.c_str(), linkPath.c_str()) != 0) {
    SetError(error, "symlink " + linkPath);
    return false;
  }
  Link = linkPath;
  return true;
}

bool TPtyBus::WaitUntil(double ms) {
  for (;;) {
    if (Stopping) return false;
    const double remaining = ms - NowMs();
    if (remaining <= 0) return true;
    timespec ts{time_t(remaining / 1000), long(std::fmod(remaining, 1000.0) * 1e6)};
    pollfd wake{WakeRead, POLLIN, 0};
    if (ppoll(&wake, 1, &ts, nullptr) > 0) return false;
  }
}

void TPtyBus::Serve(const std::vector<uint8_t>& frame, double firstByteMs) {
  const TPtyLineSettings settings = LineSettings();
  const double c = settings.CharTimeMs();
  // Without a rate of its serial side the gateway stand-in has no wire time to keep.
  const bool pace = PaceReplies && (Listener < 0 || TcpBaud > 0);
  // On a real line the request is complete only once its last character has arrived.
  const double requestEnd = firstByteMs + double(frame.size()) * c;
  if (pace && !WaitUntil(requestEnd)) return;

  TSimLine line;
  line.Known = Listener < 0 || TcpBaud > 0;
  line.Baud = settings.Baud;
  line.ParityKnown = false;  // a pty forces "no parity" whatever the program asked for
  std::optional<TSimReply> reply;
  {
    std::lock_guard<std::mutex> lock(SimBus->Mutex());
    reply = SimBus->Serve(frame.data(), int(frame.size()), int64_t(NowMs() - OriginMs), line);
  }
  if (Log) Log("<- " + Hex(frame) + (reply ? "" : "  (no answer)"));
  if (!reply) return;
  const double start = std::max(NowMs(), requestEnd) + reply->DelayMs;
  if (!WaitUntil(start)) return;
  if (Log) Log("-> " + Hex(reply->Bytes));
  size_t length = reply->Bytes.size();
  int dropAfter = -1;
  {
    std::lock_guard<std::mutex> lock(SimBus->Mutex());
    std::swap(dropAfter, DropAfterReplyBytes);
  }
  if (dropAfter >= 0) length = std::min(length, size_t(dropAfter));
  if (!pace) {
    // Nobody reads the line (its buffer is full): the reply is lost, as on a real line.
    SendToLine(reply->Bytes.data(), length);
  } else {
    for (size_t i = 0; i < length; ++i)
      if (!WaitUntil(start + double(i + 1) * c) || !SendToLine(&reply->Bytes[i], 1)) return;
  }
  if (dropAfter >= 0) DropClient();
}

namespace {
constexpr double kIdleTickMs = 200;
}  // namespace

void TPtyBus::Run() {
  std::vector<uint8_t> rx;
  double first = 0, last = 0;
  uint8_t buffer[512];
  while (!Stopping) {
    double gap = 5.0;
    if (!rx.empty()) gap = std::max(3.5 * LineSettings().CharTimeMs(), 5.0);
    // A negative descriptor (no TCP client, or no listener) is passed over by ppoll.
    pollfd fds[3] = {{Master, POLLIN, 0}, {WakeRead, POLLIN, 0}, {Listener, POLLIN, 0}};
    timespec ts{};
    if (!rx.empty()) {
      const double remaining = std::max(0.0, last + gap - NowMs());
      ts = {time_t(remaining / 1000), long(std::fmod(remaining, 1000.0) * 1e6)};
    } else {
      // An idle line still wakes now and then so that the modules live on in step with the
      // clock: otherwise the first request after a long quiet spell would wait for seconds of
      // behaviour to be caught up, and miss its master's time-out.
      ts = {0, long(kIdleTickMs * 1e6)};
    }
    const int ready = ppoll(fds, 3, &ts, nullptr);
    if (ready < 0 && errno != EINTR) break;
    if (fds[1].revents) break;
    // A new client starts on a quiet line.
    if ((fds[2].revents & POLLIN) && AcceptClient()) rx.clear();
    if (ready == 0 && rx.empty()) {
      std::lock_guard<std::mutex> lock(SimBus->Mutex());
      const auto now = int64_t(NowMs() - OriginMs);
      for (auto& module : SimBus->Modules()) module->Update(now);
      continue;
    }
    if (fds[0].revents & POLLIN) {
      for (;;) {
        const ssize_t n = read(Master, buffer, sizeof buffer);
        if (n <= 0) {
          // The TCP client closed or reset its connection: the next one starts afresh.
          if (Listener >= 0 && (n == 0 || (errno != EAGAIN && errno != EINTR))) {
            DropClient();
            rx.clear();
          }
          break;
        }
        const double now = NowMs();
        if (rx.empty()) first = now;
        last = now;
        rx.insert(rx.end(), buffer, buffer + n);
      }
    } else if (Listener >= 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
      DropClient();
      rx.clear();
      continue;
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      // No program on the other side: wait for one without spinning.
      if (!WaitUntil(NowMs() + 20)) break;
      continue;
    }
    for (size_t length; !rx.empty() && (length = CompleteFrameLength(rx, SimBus->Protocol)) > 0;) {
      const std::vector<uint8_t> frame(rx.begin(), rx.begin() + std::ptrdiff_t(length));
      rx.erase(rx.begin(), rx.begin() + std::ptrdiff_t(length));
      Serve(frame, first);
      first = NowMs();
    }
    if (!rx.empty() && NowMs() - last >= gap) {
      // A pause ends whatever came: a frame of another kind, or noise (ignored by the modules).
      Serve(rx, first);
      rx.clear();
    }
  }
}

// The line through a TCP connection to a serial-to-Ethernet gateway. Its reads and writes keep
// the serial line's time-out rules (total deadline, interval after the last byte), waiting
// with poll() against CLOCK_MONOTONIC deadlines; TCP may split a reply into any number of
// segments, and the read simply collects them until its rule ends it.
#include "comm/ComPortTcp.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "comm/Codecs.h"
#include "comm/LineTime.h"
#include "comm/Resources.h"

namespace {

// Waits until fd is ready for `events` or the deadline passes; the revents, 0 on time-out.
// A signal only shortens one round.
short WaitReady(int fd, short events, TNanos deadline, int errorCode) {
  for (;;) {
    const TNanos left = deadline - MonotonicNow();
    if (left <= 0) return 0;
    pollfd p{fd, events, 0};
    const timespec ts{static_cast<time_t>(left / 1'000'000'000),
                      static_cast<long>(left % 1'000'000'000)};
    const int rc = ppoll(&p, 1, &ts, nullptr);
    if (rc > 0) return p.revents;
    if (rc < 0 && errno != EINTR) throw EComPort(errorCode, errno);
  }
}

// Why a connection could not be made, in the user's words where we have them.
std::string ConnectReason(int err, int timeoutMs) {
  switch (err) {
    case ETIMEDOUT:
      return CPortFormat("шлюз не ответил за %s мс", {std::to_string(timeoutMs)});
    case ECONNREFUSED:
      return CPortStr("соединение отклонено (на этом порту никто не слушает)");
    case EHOSTUNREACH:
    case ENETUNREACH:
      return CPortStr("узел недоступен");
    default:
      return std::strerror(err);
  }
}

class TTcpBackend : public TComBackend {
 public:
  explicit TTcpBackend(int connectTimeoutMs) : ConnectTimeoutMs(connectTimeoutMs) {}
  ~TTcpBackend() override { Close(); }

  void Open(const std::string& port) override {
    if (Fd >= 0) return;
    std::string host;
    int number = 0;
    if (!ParseTcpPortName(port, host, number))
      throw EComPort(CError_OpenFailed, EINVAL,
                     CPortFormat("%s: сетевой порт задается как tcp://УЗЕЛ:ПОРТ", {port}));
    Label = TcpPortLabel(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(number);
    if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
      const int err = rc == EAI_SYSTEM ? errno : EHOSTUNREACH;
      throw EComPort(CError_OpenFailed, err,
                     CPortFormat("нет соединения с %s: %s",
                                 {Label, rc == EAI_NONAME || rc == EAI_AGAIN || rc == EAI_FAIL
                                             ? CPortStr("имя узла не найдено")
                                             : std::string(gai_strerror(rc))}));
    }
    // Every address of the host in turn, all within the one connect time-out.
    const TNanos deadline = MonotonicNow() + TNanos(ConnectTimeoutMs) * kMs;
    int err = ETIMEDOUT;
    for (addrinfo* a = found; a && Fd < 0; a = a->ai_next) err = Connect(*a, deadline);
    freeaddrinfo(found);
    if (Fd < 0)
      throw EComPort(
          CError_OpenFailed, err,
          CPortFormat("нет соединения с %s: %s", {Label, ConnectReason(err, ConnectTimeoutMs)}));
    Dropped = 0;
  }

  void Close() override {
    if (Fd < 0) return;
    ::close(Fd);
    Fd = -1;
  }

  // The gateway's serial side is set up on the gateway; nothing crosses the connection.
  void ApplyBuffer(const TComBuffer&) override {}
  void ApplyLine(const TComLineSettings&) override {}
  void ApplyTimeouts(const TComTimeouts& timeouts) override { Times = timeouts; }

  // Bytes already handed to the connection cannot be called back; received ones are read
  // and dropped.
  void Purge(bool input, bool) override {
    RequireOpen(CError_PurgeFailed);
    if (!input || Dropped) return;
    uint8_t scratch[512];
    bool hungUp = false;
    while (Drain(scratch, int(sizeof scratch), hungUp) > 0) {
    }
  }

  int Write(const uint8_t* bytes, int count) override {
    RequireOpen(CError_WriteFailed);
    if (Dropped) throw Lost(CError_WriteFailed);
    if (count <= 0) return 0;
    const TNanos deadline =
        MonotonicNow() + (int64_t(std::max(0, Times.WriteTotalMultiplier)) * count +
                          std::max(0, Times.WriteTotalConstant)) *
                             kMs;
    int written = 0;
    while (written < count) {
      const ssize_t n =
          ::send(Fd, bytes + written, size_t(count - written), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        written += int(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) {
        Dropped = errno;
        throw Lost(CError_WriteFailed);
      }
      if (WaitReady(Fd, POLLOUT, deadline, CError_WriteFailed) == 0) break;
    }
    return written;
  }

  int Read(uint8_t* buffer, int count) override {
    RequireOpen(CError_ReadFailed);
    if (Dropped) throw Lost(CError_ReadFailed);
    if (count <= 0) return 0;
    const TNanos start = MonotonicNow();
    const TNanos deadline = start + (int64_t(std::max(0, Times.ReadTotalMultiplier)) * count +
                                     std::max(0, Times.ReadTotalConstant)) *
                                        kMs;
    const TNanos interval = Times.ReadInterval > 0 ? Times.ReadInterval * kMs : 0;
    int got = 0;
    TNanos lastByte = start;
    for (;;) {
      bool hungUp = false;
      const int before = got;
      got += Drain(buffer + got, count - got, hungUp);
      if (got > before) lastByte = MonotonicNow();
      if (got == count) return got;
      if (hungUp) {
        // What arrived before the gateway went away is still the reply's; the next
        // operation reports the loss.
        if (got > 0) return got;
        throw Lost(CError_ReadFailed);
      }
      if (Times.ReadInterval < 0) return got;
      TNanos until = deadline;
      if (interval > 0 && got > 0) until = std::min(until, lastByte + interval);
      if (MonotonicNow() >= until) return got;
      WaitReady(Fd, POLLIN, until, CError_ReadFailed);
    }
  }

  int InputCount() override {
    RequireOpen(CError_ClearComFailed);
    int queued = 0;
    if (ioctl(Fd, FIONREAD, &queued) != 0) throw EComPort(CError_ClearComFailed, errno);
    return queued;
  }

 private:
  // One address: the error that kept it from connecting, 0 when connected (Fd is set).
  int Connect(const addrinfo& a, TNanos deadline) {
    const int fd =
        ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0) return errno;
    int err = 0;
    if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
      err = errno;
      if (err == EINPROGRESS || err == EINTR) {
        err = ETIMEDOUT;
        short ready = 0;
        try {
          ready = WaitReady(fd, POLLOUT, deadline, CError_OpenFailed);
        } catch (...) {
          ::close(fd);
          throw;
        }
        if (ready != 0) {
          socklen_t size = sizeof err;
          if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0) err = errno;
        }
      }
    }
    if (err != 0) {
      ::close(fd);
      return err;
    }
    // A request is one small write: it must leave at once, not wait for more to come.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // A gateway that loses power sends no goodbye. Probes on an idle connection and a limit on
    // unacknowledged requests turn that into a lost connection within seconds, instead of
    // modules that merely look silent for the quarter of an hour TCP would keep trying.
    const int idleS = 5, probeS = 2, probes = 3, unackedMs = 10000;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleS, sizeof idleS);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &probeS, sizeof probeS);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unackedMs, sizeof unackedMs);
    Fd = fd;
    return 0;
  }

  // Takes what has already arrived, without waiting. hungUp: the connection is gone.
  int Drain(uint8_t* buffer, int count, bool& hungUp) {
    int got = 0;
    while (got < count) {
      const ssize_t n = ::recv(Fd, buffer + got, size_t(count - got), MSG_DONTWAIT);
      if (n > 0) {
        got += int(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      Dropped = n == 0 ? ECONNRESET : errno;
      hungUp = true;
      break;
    }
    return got;
  }

  EComPort Lost(int code) const {
    return EComPort(code, Dropped, CPortFormat("соединение с %s разорвано", {Label}));
  }

  void RequireOpen(int code) const {
    if (Fd < 0) throw EComPort(code, EBADF);
  }

  int ConnectTimeoutMs;
  int Fd = -1;
  int Dropped = 0;  // the error that ended the connection; 0 while it stands
  std::string Label;
  TComTimeouts Times;
};

// Modbus RTU frames through a Modbus TCP gateway. The ADU's header carries a transaction
// number, so a reply is known for its request's.
class TModbusTcpBackend : public TComBackend {
 public:
  explicit TModbusTcpBackend(int connectTimeoutMs) : Link(MakeTcpBackend(connectTimeoutMs)) {}

  void Open(const std::string& port) override {
    Label = TcpPortLabel(port);
    // The connection itself is the plain TCP line's (its name checks and its errors).
    Link->Open(IsModbusTcpPortName(port) ? kTcpPortPrefix + Label : port);
  }
  void Close() override { Link->Close(); }
  void ApplyBuffer(const TComBuffer& buffer) override { Link->ApplyBuffer(buffer); }
  void ApplyLine(const TComLineSettings& settings) override { Link->ApplyLine(settings); }
  void ApplyTimeouts(const TComTimeouts& timeouts) override { Link->ApplyTimeouts(timeouts); }
  void Purge(bool input, bool output) override { Link->Purge(input, output); }
  int InputCount() override { return Link->InputCount(); }

  // An RTU frame: unit (bus address), PDU, CRC-16. The ADU: transaction, protocol 0, length of
  // what follows, unit, PDU.
  int Write(const uint8_t* bytes, int count) override {
    if (count < 4 || count > kMaxFrame || !Crc16Sealed(bytes, count))
      throw EComPort(CError_WriteFailed, EINVAL,
                     CPortFormat("%s: шлюз Modbus TCP передает только протокол Modbus", {Label}));
    ++Transaction;
    const int length = count - 2;
    uint8_t adu[kHeader + kMaxFrame];
    const uint8_t header[kHeader] = {uint8_t(Transaction >> 8), uint8_t(Transaction), 0, 0,
                                     uint8_t(length >> 8),      uint8_t(length)};
    std::memcpy(adu, header, kHeader);
    std::memcpy(adu + kHeader, bytes, size_t(length));
    return Link->Write(adu, kHeader + length) == kHeader + length ? count : 0;
  }

  // Asked for an RTU reply of count bytes: reads the ADU of the same unit and PDU (four bytes
  // longer), and hands back its unit and PDU sealed with the CRC-16 a module would have sent.
  int Read(uint8_t* buffer, int count) override {
    if (count <= 0) return 0;
    const int wanted = std::min(count, kMaxFrame) - 2 + kHeader;
    uint8_t adu[kHeader + kMaxFrame];
    // Replies to earlier transactions (late ones) are passed over, a few at most.
    for (int frames = 0; frames < 4; ++frames) {
      const int got = Link->Read(adu, wanted);
      if (got < kHeader + 2) return 0;
      const int tid = adu[0] << 8 | adu[1];
      const int length = std::min(adu[4] << 8 | adu[5], got - kHeader);
      if (tid != (Transaction & 0xFFFF) || adu[2] != 0 || adu[3] != 0) continue;
      uint8_t rtu[kMaxFrame + 2];
      std::memcpy(rtu, adu + kHeader, size_t(length));
      SealCrc16(rtu, length + 2);
      const int handed = std::min(count, length + 2);
      std::memcpy(buffer, rtu, size_t(handed));
      return handed;
    }
    return 0;
  }

 private:
  static constexpr int kHeader = 6;
  static constexpr int kMaxFrame = 256;
  std::unique_ptr<TComBackend> Link;
  std::string Label;
  uint16_t Transaction = 0;
};

// The serial device or the connection, by the name each open is given.
class TLineBackend : public TComBackend {
 public:
  void Open(const std::string& port) override {
    Active = IsModbusTcpPortName(port) ? ModbusTcp.get()
             : IsTcpPortName(port)     ? Network.get()
                                       : Serial.get();
    Active->Open(port);
  }
  void Close() override { Active->Close(); }
  void ApplyBuffer(const TComBuffer& buffer) override { Active->ApplyBuffer(buffer); }
  void ApplyLine(const TComLineSettings& settings) override { Active->ApplyLine(settings); }
  void ApplyTimeouts(const TComTimeouts& timeouts) override { Active->ApplyTimeouts(timeouts); }
  void Purge(bool input, bool output) override { Active->Purge(input, output); }
  int Write(const uint8_t* bytes, int count) override { return Active->Write(bytes, count); }
  int Read(uint8_t* buffer, int count) override { return Active->Read(buffer, count); }
  int InputCount() override { return Active->InputCount(); }
  int ReceivedWhileSending() override { return Active->ReceivedWhileSending(); }

 private:
  std::unique_ptr<TComBackend> Serial = MakeTermiosBackend();
  std::unique_ptr<TComBackend> Network = MakeTcpBackend();
  std::unique_ptr<TComBackend> ModbusTcp = MakeModbusTcpBackend();
  TComBackend* Active = Serial.get();
};

bool ValidPort(const std::string& digits, int& port) {
  if (digits.empty() || digits.size() > 5) return false;
  port = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535;
}

bool ValidHost(const std::string& host) {
  if (host.empty()) return false;
  for (unsigned char c : host)
    if (c <= ' ' || c == '/' || c == '[' || c == ']' || c == '@' || c == 0x7F) return false;
  return true;
}

}  // namespace

namespace {
// The length of the name's network prefix, 0 for a serial device.
size_t PrefixLength(const std::string& name) {
  for (const char* prefix : {kTcpPortPrefix, kModbusTcpPortPrefix})
    if (strncasecmp(name.c_str(), prefix, std::strlen(prefix)) == 0) return std::strlen(prefix);
  return 0;
}
}  // namespace

bool IsTcpPortName(const std::string& name) { return PrefixLength(name) > 0; }

bool IsModbusTcpPortName(const std::string& name) {
  return strncasecmp(name.c_str(), kModbusTcpPortPrefix, std::strlen(kModbusTcpPortPrefix)) == 0;
}

bool ParseTcpPortName(const std::string& name, std::string& host, int& port) {
  if (!IsTcpPortName(name)) return false;
  const std::string rest = name.substr(PrefixLength(name));
  size_t colon;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
      return false;
    host = rest.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = rest.find(':');
    if (colon == std::string::npos || rest.find(':', colon + 1) != std::string::npos) return false;
    host = rest.substr(0, colon);
  }
  return ValidHost(host) && ValidPort(rest.substr(colon + 1), port);
}

std::string TcpPortLabel(const std::string& name) { return name.substr(PrefixLength(name)); }

std::string MakeTcpPortName(const std::string& host, int port) {
  std::string h = host;
  while (!h.empty() && h.front() == ' ') h.erase(h.begin());
  while (!h.empty() && h.back() == ' ') h.pop_back();
  // An IPv6 address is bracketed so that its colons are not taken for the port's.
  if (h.find(':') != std::string::npos && h.front() != '[') h = "[" + h + "]";
  const std::string name = kTcpPortPrefix + h + ":" + std::to_string(port);
  std::string parsedHost;
  int parsedPort = 0;
  return ParseTcpPortName(name, parsedHost, parsedPort) ? name : std::string();
}

std::unique_ptr<TComBackend> MakeTcpBackend(int connectTimeoutMs) {
  return std::make_unique<TTcpBackend>(connectTimeoutMs);
}

std::unique_ptr<TComBackend> MakeModbusTcpBackend(int connectTimeoutMs) {
  return std::make_unique<TModbusTcpBackend>(connectTimeoutMs);
}

std::unique_ptr<TComBackend> MakeLineBackend() { return std::make_unique<TLineBackend>(); }

// The serial line on Linux terminal devices. Time-outs are our own: every wait is a poll()
// against a CLOCK_MONOTONIC deadline, so a signal, a slow USB adapter or a pty never makes a
// read end early or late, and nothing spins.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "comm/CPort.h"
#include "comm/ComPortTermios.h"
#include "comm/LineTime.h"
#include "comm/Resources.h"

namespace {

timespec ToTimespec(TNanos ns) {
  if (ns < 0) ns = 0;
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// Waits until fd is ready for `events` or the deadline passes. Returns the revents (0 on
// time-out); a signal only shortens one round, the deadline stays where it was.
short WaitReady(int fd, short events, TNanos deadline, int errorCode) {
  for (;;) {
    TNanos left = deadline - MonotonicNow();
    if (left <= 0) return 0;
    pollfd p{fd, events, 0};
    timespec ts = ToTimespec(left);
    int rc = ppoll(&p, 1, &ts, nullptr);
    if (rc > 0) return p.revents;
    if (rc == 0) continue;  // re-check against the clock: ppoll may round down
    if (errno != EINTR) throw EComPort(errorCode, errno);
  }
}

void SleepUntil(TNanos deadline) {
  timespec ts = ToTimespec(deadline);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

}  // namespace

std::string AccessAdvice(const std::string& port, unsigned mode, const std::string& owner,
                         const std::string& group) {
  // Joining the group helps only where the group may both read and write the device.
  if ((mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP))
    return CPortFormat("нет доступа к %s: пользователь должен входить в группу %s", {port, group});
  return CPortFormat(
      "нет доступа к %s: открыть его может только владелец (%s); доступ другим даёт правило "
      "udev (см. README)",
      {port, owner});
}

std::string LineErrorHint(int err, const std::string& port) {
  switch (err) {
    case EACCES:
    case EPERM: {
      std::string owner = "root", group = "dialout";
      unsigned mode = 0660;
      struct stat st{};
      if (stat(port.c_str(), &st) == 0) {
        mode = st.st_mode;
        std::vector<char> buffer(4096);
        struct passwd user{};
        struct passwd* foundUser = nullptr;
        owner = std::to_string(st.st_uid);
        if (getpwuid_r(st.st_uid, &user, buffer.data(), buffer.size(), &foundUser) == 0 && foundUser)
          owner = foundUser->pw_name;
        struct group entry{};
        struct group* foundGroup = nullptr;
        group = std::to_string(st.st_gid);
        if (getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &foundGroup) == 0 && foundGroup)
          group = foundGroup->gr_name;
      }
      return AccessAdvice(port, mode, owner, group);
    }
    case EBUSY:
    case EWOULDBLOCK:
      return CPortFormat("порт %s занят другой программой", {port});
    case ENOENT:
      return CPortFormat("порта %s нет в системе: адаптер не подключен или назван иначе", {port});
    case EIO:
    case ENXIO:
    case ENODEV:
    case EPIPE:
      return CPortFormat(
          "устройство %s отключено (адаптер вынут или потерял питание): подключите его и "
          "выберите порт снова",
          {port});
    case ETIMEDOUT:
      return CPortFormat("драйвер порта %s не ответил вовремя: переподключите адаптер", {port});
    default:
      return {};
  }
}

namespace {

// A line error with the cause and the remedy on a line of its own.
EComPort LineError(int code, int err, const std::string& port) {
  return EComPort(code, err, LineErrorHint(err, port));
}

// Modem-line and serial-driver requests that a pty or a plain USB gadget does not know.
bool NotSupported(int err) { return err == ENOTTY || err == EINVAL || err == ENOSYS; }

class TTermiosBackend : public TComBackend {
 public:
  ~TTermiosBackend() override { Close(); }

  void Open(const std::string& port) override {
    if (Fd >= 0) return;
    int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw LineError(CError_OpenFailed, errno, port);
    // The advisory lock comes first: it holds off every cooperating program, root included,
    // before we touch a setting that the current holder relies on.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) Fail(fd, errno, port);
    TTermiosSnapshot saved;
    if (int err = TermiosSnapshotTake(fd, saved)) Fail(fd, err, port);  // not a terminal
    // TIOCEXCL keeps out programs that do not lock (except those with CAP_SYS_ADMIN).
    if (ioctl(fd, TIOCEXCL) != 0) Fail(fd, errno, port);
    SetLowLatency(fd);
    Fd = fd;
    Port = port;
    Saved = saved;
    ModemLinesSupported = true;
    LsrSupported = true;
  }

  void Close() override {
    if (Fd < 0) return;
    // Best effort: the device may already be gone, and the descriptor must go regardless.
    TermiosSnapshotRestore(Fd, Saved);
    ioctl(Fd, TIOCNXCL);
    ::close(Fd);
    Fd = -1;
    Saved = TTermiosSnapshot{};
  }

  // Linux terminal queues have a fixed size; there is nothing to set up.
  void ApplyBuffer(const TComBuffer&) override {}

  void ApplyLine(const TComLineSettings& settings) override {
    RequireOpen(CError_SetStateFailed);
    TTermiosLine line;
    long rate = settings.BaudRate == brCustom ? settings.CustomBaudRate
                                              : BaudRateValue(settings.BaudRate);
    if (rate <= 0) throw EComPort(CError_SetStateFailed, EINVAL);
    line.Rate = static_cast<uint32_t>(rate);
    line.DataBits = 5 + static_cast<int>(settings.DataBits);
    // Linux has no 1.5 stop bits; two is the nearest that keeps the receiver in step.
    line.TwoStopBits = settings.StopBits != sbOneStopBit;
    line.Parity = static_cast<int>(settings.Parity.Bits);
    const TComFlowControl& flow = settings.FlowControl;
    line.RtsCtsFlow = flow.OutCTSFlow || flow.ControlRTS == rtsHandshake;
    line.XonXoffIn = flow.XonXoffIn;
    line.XonXoffOut = flow.XonXoffOut;
    if (int err = TermiosApplyLine(Fd, line)) throw LineError(CError_SetStateFailed, err, Port);
    CharNanos = CharTime(line);
    // The event character drives only line events, which nobody listens to; the terminal
    // has no use for it in raw mode.
    SetModemLine(TIOCM_DTR, flow.ControlDTR != dtrDisable);
    if (flow.ControlRTS != rtsHandshake) SetModemLine(TIOCM_RTS, flow.ControlRTS == rtsEnable);
  }

  void ApplyTimeouts(const TComTimeouts& timeouts) override { Times = timeouts; }

  void Purge(bool input, bool output) override {
    RequireOpen(CError_PurgeFailed);
    if (!input && !output) return;
    int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    if (tcflush(Fd, queue) != 0) throw LineError(CError_PurgeFailed, errno, Port);
  }

  int Write(const uint8_t* bytes, int count) override {
    RequireOpen(CError_WriteFailed);
    WhileSending = 0;
    if (count <= 0) return 0;
    const TNanos start = MonotonicNow();
    const TNanos deadline =
        start + (int64_t(std::max(0, Times.WriteTotalMultiplier)) * count +
                 std::max(0, Times.WriteTotalConstant)) * kMs;
    int written = 0;
    while (written < count) {
      ssize_t n = ::write(Fd, bytes + written, size_t(count - written));
      if (n > 0) {
        written += int(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) throw LineError(CError_WriteFailed, errno, Port);
      short ev = WaitReady(Fd, POLLOUT, deadline, CError_WriteFailed);
      if (ev == 0) break;  // time-out: what is queued so far is all that goes
      if (ev & (POLLHUP | POLLERR | POLLNVAL)) throw LineError(CError_WriteFailed, EIO, Port);
    }
    return written - WaitSent(deadline, written);
  }

  int Read(uint8_t* buffer, int count) override {
    RequireOpen(CError_ReadFailed);
    if (count <= 0) return 0;
    const TNanos start = MonotonicNow();
    const TNanos total = (int64_t(std::max(0, Times.ReadTotalMultiplier)) * count +
                          std::max(0, Times.ReadTotalConstant)) * kMs;
    const TNanos deadline = start + total;
    const TNanos interval = Times.ReadInterval > 0 ? Times.ReadInterval * kMs : 0;
    int got = 0;
    TNanos lastByte = start;
    ReadStart = start;
    FirstByte = LastByte = -1;
    for (;;) {
      bool hungUp = false;
      int before = got;
      got += Drain(buffer + got, count - got, hungUp);
      if (got > before) {
        lastByte = MonotonicNow();
        if (before == 0) FirstByte = lastByte;
        LastByte = lastByte;
      }
      if (got == count) return got;
      if (hungUp) {
        // Bytes that made it before the device went away are still the reply's; the next
        // read reports the loss.
        if (got > 0) return got;
        throw LineError(CError_ReadFailed, EIO, Port);
      }
      if (Times.ReadInterval < 0) return got;
      TNanos until = deadline;
      if (interval > 0 && got > 0) until = std::min(until, lastByte + interval);
      if (MonotonicNow() >= until) return got;
      short ev = WaitReady(Fd, POLLIN, until, CError_ReadFailed);
      if (ev & POLLNVAL) throw EComPort(CError_ReadFailed, EBADF);
      // POLLHUP or POLLERR with nothing left to read is reported by the next Drain.
    }
  }

  int InputCount() override {
    RequireOpen(CError_ClearComFailed);
    int queued = 0;
    if (ioctl(Fd, FIONREAD, &queued) != 0) throw LineError(CError_ClearComFailed, errno, Port);
    return queued;
  }

  int ReceivedWhileSending() override { return WhileSending; }

  // Seen when the bytes were taken from the driver, which is as close as a terminal tells.
  void LastReadTimes(double& firstMs, double& lastMs) override {
    firstMs = FirstByte < 0 ? -1 : double(FirstByte - ReadStart) / kMs;
    lastMs = LastByte < 0 ? -1 : double(LastByte - ReadStart) / kMs;
  }

 private:
  // The lock held by another program shows as EWOULDBLOCK, its TIOCEXCL as EBUSY.
  [[noreturn]] static void Fail(int fd, int err, const std::string& port) {
    ::close(fd);
    throw LineError(CError_OpenFailed, err, port);
  }

  void RequireOpen(int code) const {
    if (Fd < 0) throw EComPort(code, EBADF);
  }

  // Takes what has already arrived, without waiting. hungUp: the device is gone (a pty
  // whose master closed reads EIO, a hung-up terminal reads end of file).
  int Drain(uint8_t* buffer, int count, bool& hungUp) {
    int got = 0;
    while (got < count) {
      ssize_t n = ::read(Fd, buffer + got, size_t(count - got));
      if (n > 0) {
        got += int(n);
        continue;
      }
      if (n == 0) {
        hungUp = true;
        break;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN) break;
      if (errno == EIO) {
        hungUp = true;
        break;
      }
      throw LineError(CError_ReadFailed, errno, Port);
    }
    return got;
  }

  // Waits, bounded by the deadline, until the output queue and the transmitter are empty.
  // Returns how many of the written bytes were still unsent at the deadline; those are
  // discarded so that they cannot trail into the next exchange.
  int WaitSent(TNanos deadline, int written) {
    for (;;) {
      int queued = 0;
      if (ioctl(Fd, TIOCOUTQ, &queued) != 0) throw LineError(CError_WriteFailed, errno, Port);
      if (queued == 0 && !TransmitterBusy()) return 0;
      // Part of the request is still to go out, so nothing received yet answers it.
      WhileSending = std::max(WhileSending, InputCount());
      TNanos now = MonotonicNow();
      if (now >= deadline) {
        tcflush(Fd, TCOFLUSH);
        return std::min(queued, written);
      }
      // Sleep for roughly the time the queue takes on the wire; never less than a tenth of
      // a millisecond so that a queue that does not move cannot make us spin.
      TNanos wait = std::max<TNanos>(std::max(queued, 1) * CharNanos, 100'000);
      SleepUntil(std::min(deadline, now + wait));
    }
  }

  // The UART's shift register, where the driver can tell (8250 family); others say no.
  bool TransmitterBusy() {
    if (!LsrSupported) return false;
    unsigned int lsr = 0;
    if (ioctl(Fd, TIOCSERGETLSR, &lsr) != 0) {
      LsrSupported = false;
      return false;
    }
    return !(lsr & TIOCSER_TEMT);
  }

  void SetModemLine(int bit, bool on) {
    if (!ModemLinesSupported) return;
    if (ioctl(Fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0) return;
    if (NotSupported(errno)) {
      ModemLinesSupported = false;  // a pty has no modem lines
      return;
    }
    throw LineError(CError_SetStateFailed, errno, Port);
  }

  // Holding bytes back until the adapter's latency timer expires would stretch every
  // exchange; drivers that refuse are simply left as they are.
  static void SetLowLatency(int fd) {
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return;
    if (ss.flags & ASYNC_LOW_LATENCY) return;
    ss.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &ss);
  }

  static TNanos CharTime(const TTermiosLine& line) {
    int bits = 1 + line.DataBits + (line.Parity ? 1 : 0) + (line.TwoStopBits ? 2 : 1);
    return TNanos(bits) * 1'000'000'000 / std::max<uint32_t>(line.Rate, 1);
  }

  int Fd = -1;
  std::string Port;  // for the advice under an error
  int WhileSending = 0;
  TNanos ReadStart = 0, FirstByte = -1, LastByte = -1;
  TTermiosSnapshot Saved;
  TComTimeouts Times;
  TNanos CharNanos = 1'041'667;  // 9600 8N1
  bool ModemLinesSupported = true;
  bool LsrSupported = true;
};

bool Exists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

// A ttyS entry without a UART behind it reports type 0 (unknown).
bool PhantomUart(const std::string& entry) {
  std::ifstream in(entry + "/type");
  if (!in) return false;
  long type = -1;
  in >> type;
  return in && type == 0;
}

}  // namespace

std::unique_ptr<TComBackend> MakeTermiosBackend() { return std::make_unique<TTermiosBackend>(); }

void EnumComPortsFrom(const std::string& sysClassTty, const std::string& devDir,
                      std::vector<std::string>& ports) {
  ports.clear();
  DIR* dir = opendir(sysClassTty.c_str());
  if (!dir) throw EComPort(CError_RegError, errno);
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string entry = sysClassTty + "/" + name;
    // Virtual terminals, ptmx and the console have no device behind them.
    if (!Exists(entry + "/device") || PhantomUart(entry)) continue;
    std::string path = devDir + "/" + name;
    if (!Exists(path)) continue;  // no node to open (a container without it)
    ports.push_back(path);
  }
  closedir(dir);
  std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
    int c = strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
  });
}

void EnumComPorts(std::vector<std::string>& ports) {
  EnumComPortsFrom("/sys/class/tty", "/dev", ports);
}

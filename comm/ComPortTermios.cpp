// Only the kernel's own terminal header may appear here: the C library's <termios.h> and
// <sys/ioctl.h> would redefine struct termios and the ioctl request types.
#include "comm/ComPortTermios.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

static_assert(sizeof(termios2) <= sizeof(TTermiosSnapshot::Raw));
static_assert(kTermiosArbitraryRate == BOTHER);

namespace {

// Rates with a classic Bnnn code keep it, so that drivers without arbitrary-rate support
// still get them; every other rate goes through BOTHER.
struct TRateCode {
  uint32_t Rate;
  tcflag_t Code;
};
constexpr TRateCode kRateCodes[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

tcflag_t RateCode(uint32_t rate) {
  for (const TRateCode& rc : kRateCodes)
    if (rc.Rate == rate) return rc.Code;
  return BOTHER;
}

int IoctlRetry(int fd, unsigned long request, void* arg) {
  for (;;) {
    if (ioctl(fd, request, arg) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

TTermiosFlags FromKernel(const termios2& t) {
  TTermiosFlags f;
  f.IFlag = t.c_iflag;
  f.OFlag = t.c_oflag;
  f.CFlag = t.c_cflag;
  f.LFlag = t.c_lflag;
  f.VMin = t.c_cc[VMIN];
  f.VTime = t.c_cc[VTIME];
  f.ISpeed = t.c_ispeed;
  f.OSpeed = t.c_ospeed;
  return f;
}

}  // namespace

TTermiosFlags MakeRawLineFlags(const TTermiosFlags& current, const TTermiosLine& line) {
  TTermiosFlags f = current;
  // Input: nothing stripped, mapped, ignored or marked. Parity checking (INPCK) is never
  // turned on: the kernel would then replace a byte with a parity or framing error by 0, drop
  // it (IGNPAR) or mark it (PARMRK), and the line must deliver every byte as received; the
  // frames carry their own checksum. A break is not a byte, so it is ignored rather than
  // read as a spurious 0.
  f.IFlag &= ~(BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXANY |
               IXOFF | IMAXBEL | INPCK | IGNPAR | IUTF8);
  f.IFlag |= IGNBRK;
  if (line.XonXoffIn) f.IFlag |= IXOFF;
  if (line.XonXoffOut) f.IFlag |= IXON;
  f.OFlag &= ~OPOST;
  f.LFlag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP |
               XCASE | ECHOCTL | ECHOPRT | ECHOKE | FLUSHO | PENDIN);

  f.CFlag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CBAUD | CIBAUD);
  switch (line.DataBits) {
    case 5: f.CFlag |= CS5; break;
    case 6: f.CFlag |= CS6; break;
    case 7: f.CFlag |= CS7; break;
    default: f.CFlag |= CS8; break;
  }
  if (line.TwoStopBits) f.CFlag |= CSTOPB;
  switch (line.Parity) {
    case 1: f.CFlag |= PARENB | PARODD; break;           // odd
    case 2: f.CFlag |= PARENB; break;                    // even
    case 3: f.CFlag |= PARENB | CMSPAR | PARODD; break;  // mark: parity bit always 1
    case 4: f.CFlag |= PARENB | CMSPAR; break;           // space: parity bit always 0
    default: break;
  }
  if (line.RtsCtsFlow) f.CFlag |= CRTSCTS;
  f.CFlag |= CLOCAL | CREAD;
  // Input speed code 0 in CIBAUD means "same as output".
  f.CFlag |= RateCode(line.Rate);
  f.ISpeed = line.Rate;
  f.OSpeed = line.Rate;

  // One byte satisfies the kernel's read and VTIME stays off: waiting is done with poll()
  // against our own deadlines, and a read of 0 then means the line was hung up.
  f.VMin = 1;
  f.VTime = 0;
  return f;
}

int TermiosSnapshotTake(int fd, TTermiosSnapshot& snapshot) {
  termios2 t{};
  int rc = IoctlRetry(fd, TCGETS2, &t);
  if (rc != 0) return rc;
  std::memcpy(snapshot.Raw, &t, sizeof t);
  snapshot.Valid = true;
  return 0;
}

int TermiosSnapshotRestore(int fd, const TTermiosSnapshot& snapshot) {
  if (!snapshot.Valid) return 0;
  termios2 t{};
  std::memcpy(&t, snapshot.Raw, sizeof t);
  return IoctlRetry(fd, TCSETS2, &t);
}

int TermiosApplyLine(int fd, const TTermiosLine& line) {
  if (line.Rate == 0 || line.DataBits < 5 || line.DataBits > 8) return EINVAL;
  termios2 t{};
  int rc = IoctlRetry(fd, TCGETS2, &t);
  if (rc != 0) return rc;
  TTermiosFlags f = MakeRawLineFlags(FromKernel(t), line);
  t.c_iflag = f.IFlag;
  t.c_oflag = f.OFlag;
  t.c_cflag = f.CFlag;
  t.c_lflag = f.LFlag;
  t.c_cc[VMIN] = f.VMin;
  t.c_cc[VTIME] = f.VTime;
  t.c_ispeed = f.ISpeed;
  t.c_ospeed = f.OSpeed;
  return IoctlRetry(fd, TCSETS2, &t);
}

int TermiosReadFlags(int fd, TTermiosFlags& flags) {
  termios2 t{};
  int rc = IoctlRetry(fd, TCGETS2, &t);
  if (rc != 0) return rc;
  flags = FromKernel(t);
  return 0;
}

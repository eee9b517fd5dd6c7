// Reading the line settings of a pty from its master. termios2 gives the rate in bits per
// second also for rates without a Bxxx constant; its header cannot live with <termios.h>,
// hence this file of its own.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "sim/PtyBus.h"

bool ReadPtyLineSettings(int masterFd, TPtyLineSettings& settings) {
  struct termios2 t {};
  if (ioctl(masterFd, TCGETS2, &t) != 0) return false;
  settings.Baud = t.c_ospeed > 0 ? int(t.c_ospeed) : 9600;
  switch (t.c_cflag & CSIZE) {
    case CS5: settings.DataBits = 5; break;
    case CS6: settings.DataBits = 6; break;
    case CS7: settings.DataBits = 7; break;
    default: settings.DataBits = 8; break;
  }
  settings.ParityBits = (t.c_cflag & PARENB) ? 1 : 0;
  settings.StopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  return true;
}

#pragma once
// The kernel's termios2 interface, used for every line setting because only it carries an
// arbitrary bit rate (BOTHER). <asm/termbits.h> defines its own struct termios, which clashes
// with the C library's <termios.h>, so it is confined to ComPortTermios.cpp; this header
// exposes the settings in plain integers. The flag values are the same in both headers.
#include <cstdint>

// The kernel's speed code for "rate in c_ispeed/c_ospeed" (BOTHER), unknown to <termios.h>.
constexpr uint32_t kTermiosArbitraryRate = 0010000;

// What the line asks of the terminal.
struct TTermiosLine {
  uint32_t Rate = 9600;     // bits per second
  int DataBits = 8;         // 5..8
  bool TwoStopBits = false;
  int Parity = 0;           // TParityBits: none, odd, even, mark, space
  bool RtsCtsFlow = false;  // hardware flow control on the CTS/RTS pair
  bool XonXoffIn = false;   // we send XOFF when our input fills
  bool XonXoffOut = false;  // we stop sending on the peer's XOFF
};

// The flags of a termios2 record, as read back or as built for a line.
struct TTermiosFlags {
  uint32_t IFlag = 0, OFlag = 0, CFlag = 0, LFlag = 0;
  uint8_t VMin = 0, VTime = 0;
  uint32_t ISpeed = 0, OSpeed = 0;
};

// The terminal's settings before we touched them, restored on close.
struct TTermiosSnapshot {
  alignas(8) unsigned char Raw[64];
  bool Valid = false;
};

// Turns the current flags of a terminal into the raw binary line asked for: no byte is
// translated, dropped, replaced or marked; the receiver is on, modem lines are ignored.
// Pure, so that the mapping can be checked where a pseudo-terminal would hide it.
TTermiosFlags MakeRawLineFlags(const TTermiosFlags& current, const TTermiosLine& line);

// Each returns 0 or the errno of the failing call.
int TermiosSnapshotTake(int fd, TTermiosSnapshot& snapshot);
int TermiosSnapshotRestore(int fd, const TTermiosSnapshot& snapshot);
int TermiosApplyLine(int fd, const TTermiosLine& line);
int TermiosReadFlags(int fd, TTermiosFlags& flags);

#pragma once
// The baud rates and parities of the line, as a module's NETBDRT and MDBFMT registers code
// them and as the lists of the port page and the "RS-485" tab show them.
#include <cstdint>

inline constexpr const char* BaudRateItems[] = {"1200",  "2400",  "4800",  "9600",
                                                "19200", "38400", "57600", "115200"};
// The NETBDRT code of each baud rate.
inline constexpr int32_t BaudRateCodes[] = {3, 4, 5, 6, 7, 8, 9, 10};
// The MDBFMT code of a parity is its index.
inline constexpr const char* ParityItems[] = {"Нет", "Нечетность", "Четность"};

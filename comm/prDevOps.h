#pragma once
// Reading and writing one register of a module through its port: the one implementation
// behind the register operations of every device class.
#include <string>

#include "comm/prDevReg.h"

class TprPort;

// Chooses the protocol by the port's Protocol, runs one exchange and checks the reply, then
// pauses 10 ms (read) or 200 ms (write) through the clock. A value text that is no number
// raises EConvertError before anything is sent; line errors raise EComPort.
bool ReadRegister(TprPort& port, TprDevReg& reg);
bool WriteRegister(TprPort& port, TprDevReg& reg, const std::string& text);
// The two halves of each: the exchange with its check, and the pause after it.
bool ReadExchange(TprPort& port, TprDevReg& reg);
bool WriteExchange(TprPort& port, TprDevReg& reg, const std::string& text);
void PauseAfterRead();
void PauseAfterWrite();

bool ReadVela(TprPort& port, TprDevReg& reg);
bool WriteVela(TprPort& port, TprDevReg& reg, const std::string& text);
bool ReadModbus(TprPort& port, TprDevReg& reg);
bool WriteModbus(TprPort& port, TprDevReg& reg, const std::string& text);
bool ReadDcs(TprPort& port, TprDevReg& reg);
bool WriteDcs(TprPort& port, TprDevReg& reg, const std::string& text);

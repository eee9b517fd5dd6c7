#pragma once
// The register operations for logic on the GUI thread: each runs on the port's line executor
// and resumes the waiting task with its result. The exchange works on a copy of the
// register's request records, so that the GUI thread may read the register (its value last
// read) while the exchange runs; the value read is taken over when the task resumes.
#include <string>

#include "comm/LineTask.h"

class TprPort;
class TprDevReg;

// The executor the port's exchanges run on.
TLineExecutor& LineOf(const TprPort* port);
// False for a null port or register, like the device register operations.
TTask<bool> ReadOnLine(TprPort* port, TprDevReg* reg);
TTask<bool> WriteOnLine(TprPort* port, TprDevReg* reg, std::string text);

// Runs on the line: closes the lost line (its error ignored) and opens it again with the
// port's settings, on the port's name or else on byId, the stable name of its adapter (a USB
// adapter plugged in again may get another device name). False while neither opens; no error
// is raised.
bool ReopenLine(TprPort& port, const std::string& byId);

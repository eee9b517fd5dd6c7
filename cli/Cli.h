#pragma once
// orbis-cli as a function of its arguments, so that tests run it in the process: the exit
// code, standard output and standard error.
#include <iosfwd>
#include <string>
#include <vector>

enum TCliExit : int {
  ceDone = 0,
  ceFailed = 1,      // a module failed to answer, a value did not hold, or A and B differ
  ceUsage = 2,
  ceNoLine = 3,      // the serial line could not be opened
  ceInterrupted = 130,
};

struct TCliStreams {
  std::ostream& Out;
  std::ostream& Err;
  bool ErrIsTerminal = false;  // the progress bar is drawn only on a terminal
};

int RunCli(const std::vector<std::string>& args, TCliStreams streams);

#pragma once
// What an exchange on the line meant: the register it read or wrote, found in the register
// maps by its bank and number (Vela) or its word address (Modbus), the value that went by,
// the outcome in words, and the one-line form the trace and the terminal's log use.
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "comm/ExchangeTap.h"
#include "models/prDevice.h"

// The model index of the module at a bus address of a port (0: not known).
using TModelLookup = std::function<int(const std::string& port, int address)>;

struct TExchangeMeaning {
  // The register's name; "код модели" for the search probe; empty when no map has it.
  std::string Register;
  bool Write = false;
  // The value read (from an accepted reply) or written (from the request); empty when none.
  std::string Value;
};

// modelIndex 0: the module's model is not known; a register then has a name only when every
// model that has a register there calls it the same.
TExchangeMeaning DecodeExchange(const TExchangeRecord& record, int modelIndex);

// The length of the reply a request frame asks for: from its function (Modbus) or from the
// register it reads (Vela); the longest reply of the protocol where the frame does not tell.
int ExpectedReplyLength(uint8_t protocol, const std::vector<uint8_t>& frame, int modelIndex = 0);

// The outcome in words (looked up).
std::string OutcomeText(TExchangeOutcome outcome);
// "12:03:04.567"
std::string TimeOfDayText(const TExchangeRecord& record);
// "4.2" ms from the request to the reply's last byte; empty when nothing came.
std::string ResponseText(const TExchangeRecord& record);

// The model each module reported to the search probe, to name the registers of its later
// exchanges where nothing else tells the model.
class TModelMemory {
 public:
  // Learns from an answered probe; returns the model of the record's module (0: not known).
  int Learn(const TExchangeRecord& record);
  int Model(const std::string& port, int address) const;

 private:
  std::map<std::pair<std::string, int>, int> Models;
};

// English keys of the outcomes, for machine-read output.
const char* OutcomeKey(TExchangeOutcome outcome);

// One exchange on one line: time, port, address, model, register, value, outcome, response
// time, and both frames in hex.
std::string TraceLine(const TExchangeRecord& record, int modelIndex);

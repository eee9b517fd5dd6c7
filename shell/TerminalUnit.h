#pragma once
// What the terminal window needs of the main window's logic: the model of a module in the
// tree, the port a hand-made frame goes through, and the sending of that frame.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class TMainForm;
class TprPort;

// The model index of the module the tree holds at an address of a port (0: none known).
int TreeModelAt(const TMainForm& form, const std::string& port, int address);
// The port node of the selected node (the port itself or a module's port); nullptr for the
// computer or no selection. Its line is open exactly then.
TprPort* SelectedPort(const TMainForm& form);

// Sends a hand-made frame (its checksum already appended) through the port's exchange and
// returns the number of bytes of the reply; the tap reports the exchange like any other.
// modelIndex: the addressed module's model, which tells the length of a Vela reply (0: not
// known). Line errors raise EComPort. Runs where the port's exchanges run (a job on its line).
int SendHandFrame(TprPort& port, const std::vector<uint8_t>& frame, int modelIndex = 0);
// Queues the frame on the port's line, so that it goes between two of the pages' exchanges,
// never into one; seal: append the protocol's checksum first. done runs on the GUI thread
// after the exchange with its error (null when it went).
void PostHandFrame(TprPort& port, std::vector<uint8_t> frame, bool seal, int modelIndex,
                   std::function<void(std::exception_ptr)> done);

// What the terminal shows of a port's line: whether it is open and the protocol it speaks.
struct TLineFacts {
  bool Open = false;
  uint8_t Protocol = 0;
};
// Asks the port's line, behind its queued work; answer runs on the GUI thread (not at all when
// the line fails to tell).
void AskLineFacts(TprPort& port, std::function<void(const TLineFacts&)> answer);

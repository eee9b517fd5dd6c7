#pragma once
// Configuration files, in XML. A module file holds one module's configuration: the model, its
// firmware version and the value text of every configuration register. A bus file holds the
// line settings of a port and, per bus address, the configuration of the module found there.
// Both carry a format version. Reading is a plain function of the text so that it can be fed
// anything (a damaged file, a file of another program) and only ever yields a result.
//
//   <module-configuration format="1" model="KAPPA-01" firmware="1.02">
//     <register name="FILTER1" value="3"/>
//   </module-configuration>
//
//   <bus-configuration format="1" protocol="modbus" baud="9600" parity="none" timeout="0">
//     <module address="1" model="KAPPA-01" firmware="1.02">
//       <register name="FILTER1" value="3"/>
//     </module>
//   </bus-configuration>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comm/LineCodes.h"

// The format this program writes; a file of a later format is refused (older ones are read).
inline constexpr int kConfigFormat = 1;

struct TModuleConfig {
  std::string Model;     // the model name ("KAPPA-01")
  std::string Firmware;  // MVERSION as read; may be empty
  // Register name and value text, in the order of the model's map.
  std::vector<std::pair<std::string, std::string>> Values;

  // The value of a register (names compared ignoring case); nullptr when the file lacks it.
  const std::string* Find(const std::string& name) const;
};

struct TBusModule {
  int Address = 0;
  TModuleConfig Config;
};

// A port's line settings as the port page sets them, and the modules found on the line.
struct TBusConfig {
  uint8_t Protocol = 0;  // ptModbus or ptVela
  int32_t Baud = 9600;   // bits per second, one of BaudRates
  TLineParity Parity = TLineParity::None;
  int32_t Timeout = 0;              // ms; 0 automatic
  std::vector<TBusModule> Modules;  // in ascending address order

  const TBusModule* Find(int address) const;
};

std::string WriteConfigXml(const TModuleConfig& config);
std::string WriteBusXml(const TBusConfig& bus);

enum class TConfigKind { Module, Bus };

// Why a text is no configuration this program reads.
enum class TConfigFault {
  None,
  NotXml,       // not a well-formed XML document
  Foreign,      // XML, but not a configuration file of this program
  NewerFormat,  // a configuration of a format this program does not know yet
  Damaged,      // a configuration file whose content is broken (Line tells where)
};

struct TConfigParseResult {
  bool Ok = false;
  TConfigFault Fault = TConfigFault::None;
  int Line = 0;       // the line of the fault, where one is known
  std::string Error;  // why the text is not a configuration file
  TConfigKind Kind = TConfigKind::Module;
  TModuleConfig Config;  // a module file
  TBusConfig Bus;        // a bus file
};

// Accepts a well-formed document of either kind: a model per module, register elements that
// each carry a name and a value, no name twice in a module; in a bus file known line settings
// and addresses 1..247, none twice. Whether the names belong to the model's map is the
// caller's check (it knows the map).
TConfigParseResult ParseConfigXml(std::string_view text);

// The line settings as the files and the command-line tool spell them.
const char* ProtocolWord(uint8_t protocol);
const char* ParityWord(TLineParity parity);

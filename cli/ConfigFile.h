#pragma once
// A module's configuration as a file: the model, its firmware version and the value text of
// every configuration register, in XML. Reading is a plain function of the text so that it can
// be fed anything (a damaged file, a file of another program) and only ever yields a result.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TModuleConfig {
  std::string Model;     // the model name ("KAPPA-01")
  std::string Firmware;  // MVERSION as read; may be empty
  // Register name and value text, in the order of the model's map.
  std::vector<std::pair<std::string, std::string>> Values;

  // The value of a register (names compared ignoring case); nullptr when the file lacks it.
  const std::string* Find(const std::string& name) const;
};

std::string WriteConfigXml(const TModuleConfig& config);

struct TConfigParseResult {
  bool Ok = false;
  std::string Error;  // why the text is not a configuration file
  TModuleConfig Config;
};

// Accepts only a well-formed document with the root element, a model, and register elements
// that each carry a name and a value, no name twice. Whether the names belong to the model's
// map is the caller's check (it knows the map).
TConfigParseResult ParseConfigXml(std::string_view text);

// The configuration file reader, fed any text. Beyond "no crash":
// - an accepted file (module or bus) names a model per module and gives every register once,
//   each with a name; a bus file's modules have addresses;
// - what was read, written out again, reads back the same.
#include <strings.h>

#include <string>

#include "models/ConfigFile.h"
#include "fuzz/FuzzInput.h"

namespace {

bool Same(const TModuleConfig& a, const TModuleConfig& b) {
  return a.Model == b.Model && a.Firmware == b.Firmware && a.Values == b.Values;
}

bool Same(const TBusConfig& a, const TBusConfig& b) {
  if (a.Protocol != b.Protocol || a.Baud != b.Baud || a.Parity != b.Parity ||
      a.Timeout != b.Timeout || a.Modules.size() != b.Modules.size())
    return false;
  for (size_t i = 0; i < a.Modules.size(); ++i)
    if (a.Modules[i].Address != b.Modules[i].Address ||
        !Same(a.Modules[i].Config, b.Modules[i].Config))
      return false;
  return true;
}

void CheckModule(const TModuleConfig& config, const fuzz::TDetail& detail) {
  FUZZ_CHECK(!config.Model.empty(), "a file accepted without a model", detail);
  for (size_t i = 0; i < config.Values.size(); ++i) {
    FUZZ_CHECK(!config.Values[i].first.empty(), "a register without a name", detail);
    for (size_t j = 0; j < i; ++j)
      FUZZ_CHECK(strcasecmp(config.Values[i].first.c_str(), config.Values[j].first.c_str()) != 0,
                 "a register given twice", detail);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const fuzz::TDetail detail([&] { return "file " + fuzz::Hex(data, int(size)); });
  const TConfigParseResult read = ParseConfigXml(text);
  if (!read.Ok) {
    FUZZ_CHECK(!read.Error.empty(), "a file refused without a reason", detail);
    return 0;
  }
  if (read.Kind == TConfigKind::Bus) {
    for (const TBusModule& m : read.Bus.Modules) {
      FUZZ_CHECK(m.Address >= 1 && m.Address <= 247, "a module without a bus address", detail);
      CheckModule(m.Config, detail);
    }
    const std::string written = WriteBusXml(read.Bus);
    const TConfigParseResult again = ParseConfigXml(written);
    FUZZ_CHECK(again.Ok && again.Kind == TConfigKind::Bus && Same(again.Bus, read.Bus),
               "a bus configuration written out reads back otherwise",
               detail + " written " + written + " error " + again.Error);
    return 0;
  }
  const TModuleConfig& config = read.Config;
  CheckModule(config, detail);
  const std::string written = WriteConfigXml(config);
  const TConfigParseResult again = ParseConfigXml(written);
  FUZZ_CHECK(again.Ok, "a configuration written out is refused",
             detail + " written " + written + " error " + again.Error);
  FUZZ_CHECK(Same(again.Config, config), "a configuration written out reads back otherwise",
             detail + " written " + written);
  return 0;
}

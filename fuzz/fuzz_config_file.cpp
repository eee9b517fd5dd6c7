// The configuration file reader, fed any text. Beyond "no crash":
// - an accepted file names a model and gives every register once, each with a name;
// - what was read, written out again, reads back the same.
#include <strings.h>

#include <string>

#include "cli/ConfigFile.h"
#include "fuzz/FuzzInput.h"

namespace {

bool Same(const TModuleConfig& a, const TModuleConfig& b) {
  return a.Model == b.Model && a.Firmware == b.Firmware && a.Values == b.Values;
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
  const TModuleConfig& config = read.Config;
  FUZZ_CHECK(!config.Model.empty(), "a file accepted without a model", detail);
  for (size_t i = 0; i < config.Values.size(); ++i) {
    FUZZ_CHECK(!config.Values[i].first.empty(), "a register without a name", detail);
    for (size_t j = 0; j < i; ++j)
      FUZZ_CHECK(strcasecmp(config.Values[i].first.c_str(), config.Values[j].first.c_str()) != 0,
                 "a register given twice", detail);
  }
  const std::string written = WriteConfigXml(config);
  const TConfigParseResult again = ParseConfigXml(written);
  FUZZ_CHECK(again.Ok, "a configuration written out is refused",
             detail + " written " + written + " error " + again.Error);
  FUZZ_CHECK(Same(again.Config, config), "a configuration written out reads back otherwise",
             detail + " written " + written);
  return 0;
}

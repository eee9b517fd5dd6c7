// Program start: the command line and the long time format taken from Qt's locale.
#include <gtest/gtest.h>

#include "app/Program.h"

namespace {

TEST(CommandLine, OptionsDevicesAndErrors) {
  struct TCase {
    QStringList Args;
    std::vector<std::string> Devices;
    bool Demo, Help, Version;
    const char* ErrorNames;  // the option a refusal must name (nullptr: accepted)
  };
  const TCase cases[] = {
      {{}, {}, false, false, false, nullptr},
      {{"--demo"}, {}, true, false, false, nullptr},
      {{"/dev/ttyUSB3", "--demo", "/dev/pts/4"}, {"/dev/ttyUSB3", "/dev/pts/4"}, true, false, false, nullptr},
      {{"/dev/ttyUSB3", ""}, {"/dev/ttyUSB3"}, false, false, false, nullptr},
      {{"--help"}, {}, false, true, false, nullptr},
      {{"-h", "--demo"}, {}, true, true, false, nullptr},
      {{"--version"}, {}, false, false, true, nullptr},
      {{"-v"}, {}, false, false, true, nullptr},
      // Qt's own options and their values are Qt's, not devices.
      {{"-platform", "offscreen", "/dev/ttyS1", "-reverse"}, {"/dev/ttyS1"}, false, false, false, nullptr},
      {{"--", "-odd-name"}, {"-odd-name"}, false, false, false, nullptr},
      {{"--demo", "--no-such"}, {}, false, false, false, "--no-such"},
      {{"-x", "/dev/ttyS0"}, {}, false, false, false, "-x"},
      {{"--demo=1"}, {}, false, false, false, "--demo"},
      {{"-platform"}, {}, false, false, false, "platform"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args.join(' ').toStdString());
    const TProgramOptions options = ParseCommandLine(c.Args);
    if (c.ErrorNames) {
      // The first line names the option, the second points to the help.
      EXPECT_NE(options.Error.find(c.ErrorNames), std::string::npos) << options.Error;
      EXPECT_EQ(options.Error.rfind("orbis-utility: ", 0), 0u) << options.Error;
      EXPECT_NE(options.Error.find("\n"), std::string::npos);
      EXPECT_NE(options.Error.find("--help"), std::string::npos);
      continue;
    }
    EXPECT_EQ(options.Error, "");
    EXPECT_EQ(options.Devices, c.Devices);
    EXPECT_EQ(options.Demo, c.Demo);
    EXPECT_EQ(options.Help, c.Help);
    EXPECT_EQ(options.Version, c.Version);
  }
}

TEST(CommandLine, WithoutTheDemoOnlyTheNamedDevices) {
  TProgramOptions options;
  options.Devices = {"/dev/ttyACM0"};
  std::string error;
  EXPECT_EQ(ExtraPortsFor(options, &error), options.Devices);
  EXPECT_TRUE(error.empty());
}

TEST(TimePattern, QtLongFormatsLoseTheZoneAndKeepTheRest) {
  const std::pair<const char*, const char*> cases[] = {
      {"HH:mm:ss t", "HH:mm:ss"},
      {"h:mm:ss AP t", "h:mm:ss AP"},
      {"h:mm:ss ap", "h:mm:ss AP"},
      {"HH:mm:ss", "HH:mm:ss"},
      {"HH.mm.ss.zzz", "HH.mm.ss"},
      {"'kl'. HH:mm:ss", "kl. HH:mm:ss"},
      {"t", "hh:mm:ss"},
  };
  for (const auto& [qt, expected] : cases) EXPECT_EQ(TimePatternFromQt(qt), expected) << qt;
}

}  // namespace

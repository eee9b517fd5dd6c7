// Program start: the command line and the long time format taken from Qt's locale.
#include <gtest/gtest.h>

#include "app/Program.h"

namespace {

TEST(CommandLine, DevicesAndTheDemoSwitch) {
  struct TCase {
    QStringList Args;
    std::vector<std::string> Devices;
    bool Demo;
  };
  const TCase cases[] = {
      {{}, {}, false},
      {{"--demo"}, {}, true},
      {{"/dev/ttyUSB3", "--demo", "/dev/pts/4"}, {"/dev/ttyUSB3", "/dev/pts/4"}, true},
      {{"/dev/ttyUSB3", ""}, {"/dev/ttyUSB3"}, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args.join(' ').toStdString());
    const TProgramOptions options = ParseCommandLine(c.Args);
    EXPECT_EQ(options.Devices, c.Devices);
    EXPECT_EQ(options.Demo, c.Demo);
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

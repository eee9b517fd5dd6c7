// The stable by-id name of a serial device, from a folder of links as udev makes them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "comm/SerialById.h"

namespace fs = std::filesystem;

TEST(SerialById, FindsTheLinkThatResolvesToTheDevice) {
  const fs::path root = fs::path(::testing::TempDir()) / "orbis-by-id";
  fs::remove_all(root);
  fs::create_directories(root / "dev" / "serial" / "by-id");
  for (const char* tty : {"ttyUSB0", "ttyUSB1"}) std::ofstream(root / "dev" / tty).put('x');
  const fs::path byId = root / "dev" / "serial" / "by-id";
  // Relative links, as udev writes them; two names for ttyUSB1 (two interfaces).
  fs::create_symlink("../../ttyUSB0", byId / "usb-FTDI_FT232R_A50285BI-if00-port0");
  fs::create_symlink("../../ttyUSB1", byId / "usb-Maker_RS485_2-if01-port0");
  fs::create_symlink("../../ttyUSB1", byId / "usb-Maker_RS485_2-if00-port0");
  fs::create_symlink("../../ttyUSB9", byId / "usb-gone-if00-port0");  // dangling

  struct Case {
    fs::path Device;
    std::string Expected;
  };
  const Case cases[] = {
      {root / "dev" / "ttyUSB0", (byId / "usb-FTDI_FT232R_A50285BI-if00-port0").string()},
      {root / "dev" / "ttyUSB1", (byId / "usb-Maker_RS485_2-if00-port0").string()},
      {root / "dev" / "." / "ttyUSB0", (byId / "usb-FTDI_FT232R_A50285BI-if00-port0").string()},
      {root / "dev" / "ttyS0", ""},  // no such device
  };
  for (const Case& c : cases)
    EXPECT_EQ(SerialByIdName(c.Device.string(), byId.string()), c.Expected) << c.Device;
  EXPECT_EQ(SerialByIdName((root / "dev" / "ttyUSB0").string(), (root / "none").string()), "");
  fs::remove_all(root);
}

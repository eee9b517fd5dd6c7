#include <gtest/gtest.h>

#include "comm/Codecs.h"

TEST(Crc, CheckValues) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(text, 9, 0xFFFF), 0x4B37);
  EXPECT_EQ(Crc8(text, 9, 0xFF), 0x0B);
}

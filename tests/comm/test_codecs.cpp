#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "comm/prDevReg.h"
#include "support/CodecCases.h"

namespace {

using codec_cases::ModbusReply;
using codec_cases::VelaReply;

std::vector<uint8_t> Bytes(const uint8_t* frame, int n) { return {frame, frame + n}; }

}  // namespace

TEST(Checksums, CheckValuesOfTheStandardText) {
  const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc16(text, 9, 0xFFFF), 0x4B37);
  EXPECT_EQ(Crc8(text, 9, 0xFF), 0x0B);
  // A running CRC continues where the first part stopped.
  EXPECT_EQ(Crc16(text + 4, 5, Crc16(text, 4, 0xFFFF)), 0x4B37);
  EXPECT_EQ(Crc8(text + 4, 5, Crc8(text, 4, 0xFF)), 0x0B);
}

TEST(Frames, WorkedExamplesByteForByte) {
  TprDevReg reg;
  reg.Setup(1, 0, 10, 10, 0, dtUInt16);
  reg.SealVelaRead();
  EXPECT_EQ(Bytes(reg.VelaRead.Frame, reg.VelaRead.RequestLength),
            (std::vector<uint8_t>{0x01, 0x00, 0x0A, 0x00, 0x83}));
  reg.SealModbusRead();
  EXPECT_EQ(Bytes(reg.ModbusRead.Frame, reg.ModbusRead.RequestLength),
            (std::vector<uint8_t>{0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08}));

  TprDevReg w;
  w.Setup(1, 1, 1, 257, 0, dtUInt16);
  w.EncodeVelaWrite("1000");
  EXPECT_EQ(Bytes(w.VelaWrite.Frame, w.VelaWrite.RequestLength),
            (std::vector<uint8_t>{0x01, 0x01, 0x01, 0x01, 0xC3, 0xE8, 0x03, 0x18}));
}

struct SetupCase {
  uint8_t Type;
  int32_t StrLength;
  int VelaReply, ReadCount, ModbusReply, WriteCount, ByteCount, WriteRequest;
};

TEST(Setup, RecordLengthsAndCounts) {
  const SetupCase cases[] = {
      {dtUInt8, 0, 7, 1, 7, 1, 2, 11},
      {dtUInt16, 0, 8, 1, 7, 1, 2, 11},
      {dtSingle, 0, 10, 2, 9, 2, 4, 13},
      {dtString, 14, 38, 8, 21, 7, 14, 23},
      {dtString, 6, 38, 4, 13, 3, 6, 15},
      {dtString, 8, 38, 5, 15, 4, 8, 17},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << int(c.Type) << " length " << c.StrLength);
    TprDevReg r;
    r.Setup(3, 0, 29, 36, c.StrLength, c.Type);
    EXPECT_EQ(r.VelaRead.RequestLength, 5);
    EXPECT_EQ(r.VelaRead.ReplyLength, c.VelaReply);
    EXPECT_EQ(r.VelaWrite.ReplyLength, 5);
    EXPECT_EQ(r.VelaWrite.Frame[4], c.Type | 0xC0);
    EXPECT_EQ(r.ModbusRead.RequestLength, 8);
    EXPECT_EQ(r.ModbusRead.Frame[4] << 8 | r.ModbusRead.Frame[5], c.ReadCount);
    EXPECT_EQ(r.ModbusRead.ReplyLength, c.ModbusReply);
    EXPECT_EQ(r.ModbusWrite.Frame[4] << 8 | r.ModbusWrite.Frame[5], c.WriteCount);
    EXPECT_EQ(r.ModbusWrite.Frame[6], c.ByteCount);
    EXPECT_EQ(r.ModbusWrite.RequestLength, c.WriteRequest);
    EXPECT_EQ(r.ModbusWrite.ReplyLength, 8);
    EXPECT_EQ(r.ModbusRead.DataType, c.Type);
    EXPECT_EQ(r.ModbusWrite.StrLength, c.StrLength);
  }
}

TEST(Setup, SecondCallLeavesNothingOfTheFirst) {
  TprDevReg once, twice;
  twice.Setup(200, 1, 99, 0xBEEF, 14, dtString);
  twice.EncodeVelaWrite("A long module name");
  twice.EncodeModbusWrite("A long name");
  twice.Setup(7, 0, 10, 10, 0, dtUInt8);
  once.Setup(7, 0, 10, 10, 0, dtUInt8);
  EXPECT_EQ(std::memcmp(&once.VelaRead, &twice.VelaRead, sizeof once.VelaRead), 0);
  EXPECT_EQ(std::memcmp(&once.VelaWrite, &twice.VelaWrite, sizeof once.VelaWrite), 0);
  EXPECT_EQ(std::memcmp(&once.ModbusRead, &twice.ModbusRead, sizeof once.ModbusRead), 0);
  EXPECT_EQ(std::memcmp(&once.ModbusWrite, &twice.ModbusWrite, sizeof once.ModbusWrite), 0);
}

TEST(SwapWordsTest, SwapsWholeWordsOnly) {
  uint8_t b[] = {1, 2, 3, 4};
  SwapWords(b, 3);
  EXPECT_EQ(Bytes(b, 4), (std::vector<uint8_t>{2, 1, 3, 4}));
  SwapWords(b, 1);
  EXPECT_EQ(Bytes(b, 4), (std::vector<uint8_t>{2, 1, 3, 4}));
  SwapWords(b, 4);
  EXPECT_EQ(Bytes(b, 4), (std::vector<uint8_t>{1, 2, 4, 3}));
}

TEST(Helpers, IntToHexCharsAndSingleRange) {
  char d[4] = {'x', 'x', 'x', 'x'};
  IntToHexChars(d, "1", 2);
  EXPECT_EQ(std::string(d, 4), "01xx");
  IntToHexChars(d, "255", 3);
  EXPECT_EQ(std::string(d, 4), "0FFx");
  EXPECT_TRUE(CheckSingleRange("abc"));
  EXPECT_TRUE(CheckSingleRange("1e38"));
  EXPECT_TRUE(CheckSingleRange("1e39"));
  EXPECT_FALSE(CheckSingleRange("3.3e37"));
  EXPECT_FALSE(CheckSingleRange("-5"));
}

TEST(Conversion, NotANumberRaisesTheExactMessage) {
  TprDevReg r;
  r.Setup(1, 0, 16, 16, 0, dtUInt8);
  try {
    r.EncodeModbusWrite("abc");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
  }
  r.Setup(1, 1, 5, 300, 0, dtSingle);
  try {
    r.EncodeVelaWrite("1.2.3");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'1.2.3' is not a valid floating point value");
  }
  // A number beyond single precision is no more a single than one beyond double precision,
  // and neither encoder touches its frame; the largest single itself still goes.
  TprDevReg f;
  f.Setup(1, 1, 5, 300, 0, dtSingle);
  for (const char* big : {"1e39", "-1e39", "3.5e38", "1e400"}) {
    const TVelaRecord vela = f.VelaWrite;
    const TModbusRecord modbus = f.ModbusWrite;
    const std::string message = "'" + std::string(big) + "' is not a valid floating point value";
    for (bool overVela : {true, false}) {
      try {
        overVela ? f.EncodeVelaWrite(big) : f.EncodeModbusWrite(big);
        ADD_FAILURE() << big << " was encoded";
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.what(), message);
      }
    }
    EXPECT_EQ(std::memcmp(&vela, &f.VelaWrite, sizeof vela), 0) << big;
    EXPECT_EQ(std::memcmp(&modbus, &f.ModbusWrite, sizeof modbus), 0) << big;
  }
  EXPECT_NO_THROW(f.EncodeModbusWrite("3.4028234e38"));
  EXPECT_EQ(Bytes(f.ModbusWrite.Frame + 7, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0x7F, 0x7F}));
  for (const char* bad : {"", " ", "12a", "1 2", "+", "99999999999", "0x10"})
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
  EXPECT_EQ(StrToInt(" -12"), -12);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

class LocaleSeparator : public testing::TestWithParam<char> {};

TEST_P(LocaleSeparator, FormatAndParseAgree) {
  TFormatGuard guard(GetParam());
  const std::string sep(1, GetParam());
  const std::string other = GetParam() == ',' ? "." : ",";
  EXPECT_DOUBLE_EQ(StrToFloat("0" + sep + "5"), 0.5);
  EXPECT_DOUBLE_EQ(StrToFloat("0" + other + "5"), 0.5);  // typed either way
  EXPECT_DOUBLE_EQ(StrToFloat("-1" + sep + "25e2"), -125.0);

  // A value read can be written back unchanged.
  TprDevReg r;
  r.Setup(1, 1, 5, 300, 0, dtSingle);
  r.SealModbusRead();
  TModbusRecord reply = ModbusReply({0x01, 0x03, 0x04, 0x00, 0x00, 0x3F, 0xC0});
  ASSERT_TRUE(r.DecodeModbusReply(reply));
  EXPECT_EQ(r.ValueText, "1" + sep + "50000");
  r.EncodeModbusWrite(r.ValueText);
  EXPECT_EQ(Bytes(r.ModbusWrite.Frame + 7, 4), (std::vector<uint8_t>{0x00, 0x00, 0x3F, 0xC0}));

  // Bool over Vela: 0.5 or more is true.
  TprDevReg b;
  b.Setup(1, 1, 2, 258, 0, dtBool);
  b.EncodeVelaWrite("0" + sep + "7");
  EXPECT_EQ(b.VelaWrite.Frame[5], 0xFF);
  b.EncodeVelaWrite("0" + sep + "4");
  EXPECT_EQ(b.VelaWrite.Frame[5], 0x00);
  EXPECT_EQ(b.VelaWrite.RequestLength, 7);
}

INSTANTIATE_TEST_SUITE_P(CommaAndPoint, LocaleSeparator, testing::Values(',', '.'));

// A decimal typed with either separator is taken in both locales; no text with two of them
// (a thousands separator) is, and the locale's separator is the one shown.
TEST(RoughEdgesDecimals, EitherSeparatorOnEntryTheLocalesOnShow) {
  const struct {
    const char* Text;
    bool Ok;
    double Value;
  } cases[] = {{"2,5", true, 2.5},       {"2.5", true, 2.5},      {"-0,125e2", true, -12.5},
               {",5", true, 0.5},        {"5,", true, 5.0},       {"1.000,5", false, 0},
               {"1,000.5", false, 0},    {"1,000,000", false, 0}, {"2,,5", false, 0},
               {",", false, 0}};
  for (char locale : {'.', ','}) {
    TFormatGuard guard(locale);
    for (const auto& c : cases) {
      double v = 0;
      EXPECT_EQ(TryStrToFloat(c.Text, v), c.Ok) << locale << " " << c.Text;
      if (c.Ok) {
        EXPECT_DOUBLE_EQ(v, c.Value) << locale << " " << c.Text;
      }
    }
    std::string shown;
    ASSERT_TRUE(FormatFixed(2.5, 1, shown));
    EXPECT_EQ(shown, std::string("2") + locale + "5");
  }
}

TEST(VelaDecode, TypeComesFromTheReply) {
  TprDevReg r;
  r.Setup(1, 1, 5, 300, 0, dtSingle);  // ReplyLength 10, but the module answers a uint16
  ASSERT_TRUE(r.DecodeVelaReply(VelaReply({0x01, 0x01, 0x05, 0x00, 0xC3, 0xE8, 0x03})));
  EXPECT_EQ(r.ValueText, "1000");

  TprDevReg b;
  b.Setup(1, 1, 2, 258, 0, dtBool);
  ASSERT_TRUE(b.DecodeVelaReply(VelaReply({0x01, 0x01, 0x02, 0x00, 0xC0, 0x01})));
  EXPECT_EQ(b.ValueText, "1");
}

TEST(VelaDecode, RejectedRepliesLeaveTheTextEmpty) {
  TprDevReg r;
  r.Setup(1, 0, 29, 36, 14, dtString);
  ASSERT_TRUE(r.DecodeVelaReply(VelaReply({0x01, 0x00, 0x1D, 0x00, 0xC9, 'E', 'T', 'A', 0})));
  EXPECT_EQ(r.ValueText, "ETA");
  for (const auto& c : codec_cases::BrokenVelaReplies()) {
    c.Reg.SetUp(r);
    r.ValueText = "stale";
    EXPECT_FALSE(r.DecodeVelaReply(VelaReply(c))) << c.What;
    EXPECT_EQ(r.ValueText, "") << c.What;
  }
}

TEST(VelaWrite, StringAndLowBytesOfIntegers) {
  TprDevReg r;
  r.Setup(2, 0, 29, 36, 14, dtString);
  r.EncodeVelaWrite("AB");
  EXPECT_EQ(r.VelaWrite.RequestLength, 9);
  EXPECT_EQ(Bytes(r.VelaWrite.Frame, 8),
            (std::vector<uint8_t>{0x02, 0x00, 0x1D, 0x01, 0xC9, 'A', 'B', 0x00}));
  EXPECT_EQ(r.VelaWrite.Frame[8], Crc8(r.VelaWrite.Frame, 8, 0xFF));

  TprDevReg u8;
  u8.Setup(1, 0, 16, 16, 0, dtUInt8);
  u8.EncodeVelaWrite("300");
  EXPECT_EQ(u8.VelaWrite.Frame[5], 0x2C);
  u8.EncodeVelaWrite("-1");
  EXPECT_EQ(u8.VelaWrite.Frame[5], 0xFF);

  // A text longer than the value buffer is cut to fit the frame.
  r.EncodeVelaWrite(std::string(60, 'x'));
  EXPECT_EQ(r.VelaWrite.RequestLength, 38);
  EXPECT_EQ(r.VelaWrite.Frame[36], 0x00);
}

TEST(VelaWrite, AcknowledgementChecks) {
  TprDevReg r;
  r.Setup(1, 1, 1, 257, 0, dtUInt16);
  r.EncodeVelaWrite("1000");
  EXPECT_TRUE(r.CheckVelaWriteReply(VelaReply({0x01, 0x01, 0x01, 0x01})));
  EXPECT_FALSE(r.CheckVelaWriteReply(VelaReply({0x01, 0x01, 0x01, 0x00})));
  EXPECT_FALSE(r.CheckVelaWriteReply(VelaReply({0x01, 0x01, 0x01, 0x01, 0x00})));
  EXPECT_FALSE(r.CheckVelaWriteReply(TVelaRecord{}));
}

TEST(ModbusCodec, EightBitValuesTakeAWholeRegister) {
  TprDevReg r;
  r.Setup(1, 0, 16, 16, 0, dtUInt8);
  ASSERT_TRUE(r.DecodeModbusReply(ModbusReply({0x01, 0x03, 0x02, 0x01, 0x01})));
  EXPECT_EQ(r.ValueText, "257");
  r.EncodeModbusWrite("-1");
  EXPECT_EQ(Bytes(r.ModbusWrite.Frame + 7, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
  EXPECT_EQ(r.ModbusWrite.RequestLength, 11);

  TprDevReg s8;
  s8.Setup(1, 0, 16, 16, 0, dtInt8);
  ASSERT_TRUE(s8.DecodeModbusReply(ModbusReply({0x01, 0x03, 0x02, 0x00, 0xFE})));
  EXPECT_EQ(s8.ValueText, "-2");
}

TEST(ModbusCodec, WordOrderOfThirtyTwoBitValues) {
  TprDevReg r;
  r.Setup(1, 1, 3, 300, 0, dtUInt32);
  r.EncodeModbusWrite(std::to_string(0x12345678));
  EXPECT_EQ(Bytes(r.ModbusWrite.Frame + 7, 4), (std::vector<uint8_t>{0x56, 0x78, 0x12, 0x34}));
  ASSERT_TRUE(r.DecodeModbusReply(ModbusReply({0x01, 0x03, 0x04, 0x56, 0x78, 0x12, 0x34})));
  EXPECT_EQ(r.ValueText, std::to_string(0x12345678));
  // Every value an unsigned register shows can be written back, over both protocols.
  ASSERT_TRUE(r.DecodeModbusReply(ModbusReply({0x01, 0x03, 0x04, 0xFF, 0xF3, 0xFF, 0xFF})));
  EXPECT_EQ(r.ValueText, "4294967283");
  r.EncodeModbusWrite(r.ValueText);
  EXPECT_EQ(Bytes(r.ModbusWrite.Frame + 7, 4), (std::vector<uint8_t>{0xFF, 0xF3, 0xFF, 0xFF}));
  r.EncodeVelaWrite("4294967295");
  EXPECT_EQ(Bytes(r.VelaWrite.Frame + 5, 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_THROW(r.EncodeVelaWrite("4294967296"), EConvertError);
  TprDevReg s32;
  s32.Setup(1, 1, 3, 300, 0, dtInt32);
  EXPECT_THROW(s32.EncodeModbusWrite("4294967295"), EConvertError);

  TprDevReg f;
  f.Setup(1, 1, 3, 300, 0, dtSingle);
  f.EncodeModbusWrite("1");
  EXPECT_EQ(Bytes(f.ModbusWrite.Frame + 7, 4), (std::vector<uint8_t>{0x00, 0x00, 0x3F, 0x80}));
  EXPECT_EQ(f.ModbusWrite.Frame[f.ModbusWrite.RequestLength - 2],
            uint8_t(Crc16(f.ModbusWrite.Frame, f.ModbusWrite.RequestLength - 2, 0xFFFF)));
  // NaN cannot be shown: the read fails.
  EXPECT_FALSE(f.DecodeModbusReply(ModbusReply({0x01, 0x03, 0x04, 0x00, 0x00, 0x7F, 0xC0})));
  EXPECT_EQ(f.ValueText, "");
}

TEST(ModbusCodec, StringByteOrder) {
  TprDevReg r;
  r.Setup(1, 0, 28, 32, 6, dtString);
  r.EncodeModbusWrite("ABC");
  EXPECT_EQ(Bytes(r.ModbusWrite.Frame + 7, 6),
            (std::vector<uint8_t>{0x42, 0x41, 0x00, 0x43, 0x00, 0x00}));
  EXPECT_EQ(r.ModbusWrite.RequestLength, 15);
  ASSERT_TRUE(r.DecodeModbusReply(
      ModbusReply({0x01, 0x03, 0x08, 0x42, 0x41, 0x00, 0x43, 0x00, 0x00, 0x00, 0x00})));
  EXPECT_EQ(r.ValueText, "ABC");
  // A module that fills the extra register shows no more than the register holds, which a
  // write carries back unchanged.
  ASSERT_TRUE(r.DecodeModbusReply(
      ModbusReply({0x01, 0x03, 0x08, '.', '2', '1', '3', 0x10, 0x07, 0x1B, 0x01})));
  EXPECT_EQ(r.ValueText, "2.31\x07\x10");
  // A longer text is cut to the declared length.
  r.EncodeModbusWrite("ABCDEFGH");
  EXPECT_EQ(Bytes(r.ModbusWrite.Frame + 7, 6),
            (std::vector<uint8_t>{'B', 'A', 'D', 'C', 'F', 'E'}));
}

TEST(ModbusCodec, RejectedRepliesLeaveTheTextEmpty) {
  TprDevReg r;
  r.Setup(1, 0, 25, 25, 0, dtUInt16);
  for (const auto& c : codec_cases::BrokenModbusReplies()) {
    c.Reg.SetUp(r);
    r.ValueText = "stale";
    EXPECT_FALSE(r.DecodeModbusReply(ModbusReply(c))) << c.What;
    EXPECT_EQ(r.ValueText, "") << c.What;
  }
  r.EncodeModbusWrite("5");
  EXPECT_TRUE(r.CheckModbusWriteReply(ModbusReply({0x01, 0x10, 0x00, 0x19, 0x00, 0x01})));
  EXPECT_FALSE(r.CheckModbusWriteReply(ModbusReply({0x01, 0x10, 0x00, 0x1A, 0x00, 0x01})));
  EXPECT_FALSE(r.CheckModbusWriteReply(ModbusReply({0x01, 0x90, 0x02})));
}

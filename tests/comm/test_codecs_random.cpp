// Randomised robustness run of every codec: replies of any length within their record, with
// any bytes, often with a matching header and a correct checksum so the deep paths are taken,
// and value texts of any shape. The sanitizer build turns any stray access into a failure.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "comm/prDevReg.h"
#include "comm/prPort.h"

namespace {

constexpr int Iterations = 1'000'000;
const uint8_t Types[] = {dtBool, dtUInt8, dtInt8, dtUInt16, dtInt16, dtUInt32,
                         dtInt32, dtSingle, dtDouble, dtString};

class RandomCodecs : public testing::Test {
 protected:
  std::mt19937 Rng{20261208};
  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(Rng); }

  void RandomSetup(TprDevReg& r) {
    const uint8_t type = Uniform(0, 12) < 10 ? Types[Uniform(0, 9)] : uint8_t(Uniform(0, 255));
    const int32_t length = type == dtString ? Uniform(-4, 300) : Uniform(0, 3) ? 0 : Uniform(-9, 9);
    r.Setup(uint8_t(Uniform(0, 255)), uint8_t(Uniform(0, 1)), uint8_t(Uniform(0, 255)),
            uint16_t(Uniform(0, 65535)), length, type);
  }

  template <size_t N>
  int FillFrame(uint8_t (&frame)[N], const uint8_t* header, int headerLength) {
    for (auto& b : frame) b = uint8_t(Uniform(0, 255));
    const int n = Uniform(0, int(N));
    if (Uniform(0, 1)) std::memcpy(frame, header, size_t(std::min(n, headerLength)));
    return n;
  }

  std::string RandomText() {
    static const char alphabet[] = "0123456789+-.,eE xA\t";
    std::string text(size_t(Uniform(0, 80)), ' ');
    for (char& c : text) c = Uniform(0, 30) ? alphabet[Uniform(0, sizeof alphabet - 2)] : char(Uniform(1, 255));
    return text;
  }
};

}  // namespace

TEST_F(RandomCodecs, VelaRepliesAndProbes) {
  TprDevReg r;
  TVelaRecord probe;
  PrepareVelaProbe(VelaProbeTemplate(), 1, probe);
  for (int i = 0; i < Iterations; ++i) {
    if (i % 64 == 0) RandomSetup(r);
    TVelaRecord reply{};
    const int n = FillFrame(reply.Frame, r.VelaRead.Frame, 4);
    if (n >= 1 && Uniform(0, 1)) reply.Frame[n - 1] = Crc8(reply.Frame, n - 1, 0xFF);
    if (n >= 2 && Uniform(0, 3) == 0) reply.Frame[n - 2] = 0;
    reply.RequestLength = Uniform(0, 20) ? n : Uniform(-100, 100);
    const bool ok = r.DecodeVelaReply(reply);
    if (!ok) {
      ASSERT_TRUE(r.ValueText.empty());
    }
    r.CheckVelaWriteReply(reply);
    uint8_t value;
    CheckVelaProbe(reply, probe, value);
  }
}

TEST_F(RandomCodecs, ModbusRepliesAndProbes) {
  TprDevReg r;
  TModbusRecord probe;
  PrepareModbusProbe(ModbusProbeTemplate(), 1, probe);
  for (int i = 0; i < Iterations; ++i) {
    if (i % 64 == 0) RandomSetup(r);
    TModbusRecord reply{};
    uint8_t header[3] = {r.ModbusRead.Frame[0], 0x03,
                         uint8_t(2 * (r.ModbusRead.Frame[4] << 8 | r.ModbusRead.Frame[5]))};
    int n = FillFrame(reply.Frame, header, 3);
    if (Uniform(0, 2) == 0) n = std::min<int>(header[2] + 5, sizeof reply.Frame);
    if (n >= 2 && Uniform(0, 1)) {
      const uint16_t crc = Crc16(reply.Frame, n - 2, 0xFFFF);
      reply.Frame[n - 2] = uint8_t(crc);
      reply.Frame[n - 1] = uint8_t(crc >> 8);
    }
    reply.RequestLength = Uniform(0, 20) ? n : Uniform(-300, 300);
    const bool ok = r.DecodeModbusReply(reply);
    if (!ok) {
      ASSERT_TRUE(r.ValueText.empty());
    }
    r.CheckModbusWriteReply(reply);
    uint8_t value;
    CheckModbusProbe(reply, probe, value);
  }
}

TEST_F(RandomCodecs, EncodersWithAnyText) {
  TprDevReg r;
  for (int sep = 0; sep < 2; ++sep) {
    TFormatGuard guard(sep ? ',' : '.');
    for (int i = 0; i < Iterations / 2; ++i) {
      if (i % 16 == 0) RandomSetup(r);
      if (Uniform(0, 40) == 0) r.VelaWrite.Frame[4] = uint8_t(Uniform(0, 255));
      const std::string text = RandomText();
      try {
        r.EncodeVelaWrite(text);
        ASSERT_GE(r.VelaWrite.RequestLength, 1);
        ASSERT_LE(r.VelaWrite.RequestLength, int(sizeof r.VelaWrite.Frame));
      } catch (const EConvertError&) {
      }
      try {
        r.EncodeModbusWrite(text);
        ASSERT_LE(r.ModbusWrite.RequestLength, int(sizeof r.ModbusWrite.Frame));
      } catch (const EConvertError&) {
      }
      CheckSingleRange(text);
      r.SealVelaRead();
      r.SealModbusRead();
    }
  }
}

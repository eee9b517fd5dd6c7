// Vela read replies and write acknowledgements for a register of any type, as a noisy line
// delivers them. Beyond "no crash":
// - a reply is accepted only when its CRC-8 is right, it echoes the request and its length is
//   the one its type code calls for; a rejected reply leaves no value;
// - an accepted value text, encoded into a write of the reply's type and answered back, decodes
//   to the same text;
// - an acknowledgement is accepted only when it is the 5-byte echo of the write request.
#include <string>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TReader in(data, size);
  const fuzz::TRegisterPick pick = fuzz::ReadRegister(in);
  TFormatGuard guard(fuzz::ReadSeparator(in));
  const TVelaRecord reply = fuzz::ReadReply<TVelaRecord>(in);
  const int n = reply.RequestLength;
  const fuzz::TDetail detail([&] {
    return std::string(pick.Describe() + ", reply of " + std::to_string(n) + ": " +
                       fuzz::Hex(reply.Frame, std::min(n, int(sizeof reply.Frame))));
  });

  TprDevReg reg;
  pick.SetUp(reg);
  reg.SealVelaRead();
  reg.ValueText = "stale";
  const bool accepted = reg.DecodeVelaReply(reply);
  if (!accepted) {
    FUZZ_CHECK(reg.ValueText.empty(), "a rejected reply leaves no value", detail);
  } else {
    FUZZ_CHECK(n >= 6 && n <= 38, "accepted length within header, 32 data bytes and CRC", detail);
    FUZZ_CHECK(fuzz::Crc8Right(reply.Frame, n), "accepted with a wrong CRC-8", detail);
    FUZZ_CHECK(std::memcmp(reply.Frame, reg.VelaRead.Frame, 4) == 0,
               "accepted without the echo of the request", detail);
    const int type = reply.Frame[4] & 0x0F;
    FUZZ_CHECK(type <= dtString, "accepted an unknown type code", detail);
    if (type == dtString)
      FUZZ_CHECK(reply.Frame[n - 2] == 0, "accepted a text without its NUL", detail);
    else
      FUZZ_CHECK(n == fuzz::VelaValueBytes(type) + 6, "accepted a length its type does not have",
                 detail);

    // A value that cannot be shown leaves the text empty; anything shown can be written back.
    if ((!reg.ValueText.empty() || type == dtString) &&
        (type != dtString || fuzz::WireEncodable(reg.ValueText))) {
      TprDevReg echo;
      pick.SetUp(echo, type);
      fuzz::CheckWritesBack(echo, reg.ValueText, true, detail);
    }
  }

  if (reg.CheckVelaWriteReply(reply)) {
    FUZZ_CHECK(n == 5, "acknowledgement of another length", detail);
    FUZZ_CHECK(fuzz::Crc8Right(reply.Frame, n), "acknowledgement with a wrong CRC-8", detail);
    FUZZ_CHECK(std::memcmp(reply.Frame, reg.VelaWrite.Frame, 4) == 0,
               "acknowledgement of another request", detail);
  }
  return 0;
}

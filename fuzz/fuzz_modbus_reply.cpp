// Modbus function-3 replies and function-16 acknowledgements for a register of any type, as a
// noisy line delivers them. Beyond "no crash":
// - a reply is accepted only when its CRC-16 is right, it comes from the request's address
//   with function 3, and its byte count and length are the ones the request's register count
//   calls for; a rejected reply leaves no value;
// - an accepted value text, encoded into the register's write and answered back as the module
//   would, decodes to the same text;
// - an acknowledgement is accepted only when it is the 8-byte echo of the write request.
#include <string>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TReader in(data, size);
  const fuzz::TRegisterPick pick = fuzz::ReadRegister(in);
  TFormatGuard guard(fuzz::ReadSeparator(in));
  const TModbusRecord reply = fuzz::ReadReply<TModbusRecord>(in);
  const int n = reply.RequestLength;
  const fuzz::TDetail detail([&] {
    return std::string(pick.Describe() + ", reply of " + std::to_string(n) + ": " +
                       fuzz::Hex(reply.Frame, std::min(n, int(sizeof reply.Frame))));
  });

  TprDevReg reg;
  pick.SetUp(reg);
  reg.SealModbusRead();
  reg.ValueText = "stale";
  const bool accepted = reg.DecodeModbusReply(reply);
  if (!accepted) {
    FUZZ_CHECK(reg.ValueText.empty(), "a rejected reply leaves no value", detail);
  } else {
    FUZZ_CHECK(n >= 5 && n <= int(sizeof reply.Frame), "accepted length out of the frame", detail);
    FUZZ_CHECK(fuzz::Crc16Right(reply.Frame, n), "accepted with a wrong CRC-16", detail);
    FUZZ_CHECK(reply.Frame[0] == pick.Address && reply.Frame[1] == 0x03,
               "accepted from another address or function", detail);
    FUZZ_CHECK(reply.Frame[2] == 2 * fuzz::ReadCount(reg) && n == 2 * fuzz::ReadCount(reg) + 5,
               "accepted a byte count or length the request does not call for", detail);

    // A write carries the register's own byte count only where it fills whole registers and
    // the type has a Modbus encoding.
    const bool writable = pick.DataType != dtBool && pick.DataType != dtDouble &&
                          pick.DataType <= dtString &&
                          (pick.DataType != dtString || pick.StrLength % 2 == 0);
    if (writable && (!reg.ValueText.empty() || pick.DataType == dtString) &&
        (pick.DataType != dtString || fuzz::WireEncodable(reg.ValueText))) {
      TprDevReg echo;
      pick.SetUp(echo);
      fuzz::CheckWritesBack(echo, reg.ValueText, false, detail);
    }
  }

  if (reg.CheckModbusWriteReply(reply)) {
    FUZZ_CHECK(n == 8, "acknowledgement of another length", detail);
    FUZZ_CHECK(fuzz::Crc16Right(reply.Frame, n), "acknowledgement with a wrong CRC-16", detail);
    FUZZ_CHECK(std::memcmp(reply.Frame, reg.ModbusWrite.Frame, 6) == 0,
               "acknowledgement of another request", detail);
  }
  return 0;
}

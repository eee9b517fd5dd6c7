// The search probe checks of both protocols against any reply. Beyond "no crash":
// - a probe reply is accepted exactly when the register decoder accepts it for the register the
//   probe reads (bank 1, register 0 over Vela; holding register 256 over Modbus, one register);
// - an accepted reply has a right checksum and the length its request calls for;
// - the value is the first data byte (Vela) or the low byte of the first register (Modbus),
//   delivered whether or not the reply is accepted.
#include <string>

#include "comm/prPort.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TReader in(data, size);
  const bool vela = in.Byte() & 1;
  const uint8_t address = in.Byte();
  uint8_t value = 0x5A;
  if (vela) {
    const TVelaRecord reply = fuzz::ReadReply<TVelaRecord>(in);
    const int n = reply.RequestLength;
    const fuzz::TDetail detail([&] {
      return std::string("Vela probe of " + std::to_string(address) + ", reply of " +
                         std::to_string(n) + ": " + fuzz::Hex(reply.Frame, std::min(n, 40)));
    });
    TVelaRecord request;
    PrepareVelaProbe(VelaProbeTemplate(), address, request);
    FUZZ_CHECK(request.RequestLength == 5 && fuzz::Crc8Right(request.Frame, 5),
               "the probe request is sealed", detail);
    const bool accepted = CheckVelaProbe(reply, request, value);
    FUZZ_CHECK(value == reply.Frame[5], "the value is the first data byte", detail);
    TprDevReg model;
    model.Setup(address, 1, 0, 256, 0, dtUInt8);
    model.SealVelaRead();
    FUZZ_CHECK(accepted == model.DecodeVelaReply(reply),
               "the probe and the register decoder disagree", detail);
    if (accepted) {
      FUZZ_CHECK(fuzz::Crc8Right(reply.Frame, n), "accepted with a wrong CRC-8", detail);
      FUZZ_CHECK(std::memcmp(reply.Frame, request.Frame, 4) == 0, "accepted another echo", detail);
    }
  } else {
    const TModbusRecord reply = fuzz::ReadReply<TModbusRecord>(in);
    const int n = reply.RequestLength;
    const fuzz::TDetail detail([&] {
      return std::string("Modbus probe of " + std::to_string(address) + ", reply of " +
                         std::to_string(n) + ": " + fuzz::Hex(reply.Frame, std::min(n, 256)));
    });
    TModbusRecord request;
    PrepareModbusProbe(ModbusProbeTemplate(), address, request);
    FUZZ_CHECK(request.RequestLength == 8 && fuzz::Crc16Right(request.Frame, 8),
               "the probe request is sealed", detail);
    const bool accepted = CheckModbusProbe(reply, request, value);
    FUZZ_CHECK(value == reply.Frame[4], "the value is the low byte of the first register", detail);
    TprDevReg model;
    model.Setup(address, 1, 0, 256, 0, dtUInt8);
    model.SealModbusRead();
    FUZZ_CHECK(accepted == model.DecodeModbusReply(reply),
               "the probe and the register decoder disagree", detail);
    if (accepted) {
      FUZZ_CHECK(n == 7 && fuzz::Crc16Right(reply.Frame, n),
                 "accepted with a wrong CRC-16 or length", detail);
      FUZZ_CHECK(reply.Frame[0] == address && reply.Frame[1] == 0x03 && reply.Frame[2] == 2,
                 "accepted another header", detail);
    }
  }
  return 0;
}

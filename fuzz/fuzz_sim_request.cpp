// The simulated module's request decoder (the slave side of both protocols), fed a run of
// frames as a master or a noisy line would send them, writes included, so that the module's
// state moves on between them. Beyond "no crash":
// - the module answers only a frame whose checksum is right, at its own address;
// - every reply carries a right checksum and echoes the request: a Vela reply its first four
//   bytes, a Modbus reply its address and function (an exception with the high bit set);
// - a read reply has the length the request calls for, and the master's reply checks accept
//   the reply to a read of one of the module's registers and to the search probe.
#include <string>

#include "comm/prPort.h"
#include "fuzz/FuzzInput.h"
#include "sim/SimModule.h"

namespace {

void CheckVelaReply(const TSimModule& module, const uint8_t* f, int n,
                    const std::vector<uint8_t>& reply, const fuzz::TDetail& detail) {
  const int size = int(reply.size());
  FUZZ_CHECK(fuzz::Crc8Right(f, n) && f[1] <= 1, "answered a frame that is not Vela", detail);
  FUZZ_CHECK(size >= 5 && size <= 38, "a reply longer than a Vela record", detail);
  FUZZ_CHECK(fuzz::Crc8Right(reply.data(), size), "a reply with a wrong CRC-8", detail);
  FUZZ_CHECK(std::memcmp(reply.data(), f, 4) == 0, "a reply without the echo", detail);
  if (f[3] != 0) {
    FUZZ_CHECK(size == 5, "a write acknowledgement of another length", detail);
    return;
  }
  TVelaRecord record{};
  std::memcpy(record.Frame, reply.data(), reply.size());
  record.RequestLength = size;
  const TRegisterDef* def = nullptr;
  for (const TRegisterDef& d : module.Map())
    if (d.Bank == f[1] && d.RegNo == f[2]) {
      def = &d;
      break;
    }
  if (def) {
    TprDevReg reg;
    reg.Setup(f[0], def->Bank, def->RegNo, def->ModbusAddress, def->StrLength, def->DataType);
    FUZZ_CHECK(size <= reg.VelaRead.ReplyLength, "a reply longer than the register's record",
               detail);
    FUZZ_CHECK(VelaReplyAccepted(record, reg.VelaRead), "the master rejects the reply", detail);
  } else {
    TVelaRecord probe;
    PrepareVelaProbe(VelaProbeTemplate(), f[0], probe);
    uint8_t value = 0;
    FUZZ_CHECK(CheckVelaProbe(record, probe, value) && value == module.ModelCode(),
               "the master's probe check rejects the reply", detail);
  }
}

void CheckModbusReply(const TSimModule& module, const uint8_t* f, int n,
                      const std::vector<uint8_t>& reply, const fuzz::TDetail& detail) {
  const int size = int(reply.size());
  FUZZ_CHECK(fuzz::Crc16Right(f, n), "answered a frame with a wrong CRC-16", detail);
  FUZZ_CHECK(size >= 5 && size <= 256, "a reply longer than a Modbus record", detail);
  FUZZ_CHECK(fuzz::Crc16Right(reply.data(), size), "a reply with a wrong CRC-16", detail);
  FUZZ_CHECK(reply[0] == f[0], "a reply from another address", detail);
  if (reply[1] == (f[1] | 0x80)) {
    FUZZ_CHECK(size == 5, "an exception of another length", detail);
    return;
  }
  FUZZ_CHECK(reply[1] == f[1], "a reply of another function", detail);
  const int start = f[2] << 8 | f[3], count = f[4] << 8 | f[5];
  if (f[1] == 0x10) {
    FUZZ_CHECK(size == 8 && std::memcmp(reply.data(), f, 6) == 0,
               "an acknowledgement that is not the echo", detail);
    return;
  }
  FUZZ_CHECK(f[1] == 0x03 && reply[2] == 2 * count && size == 2 * count + 5,
             "a read reply of another length", detail);
  TModbusRecord record{};
  std::memcpy(record.Frame, reply.data(), reply.size());
  record.RequestLength = size;
  for (const TRegisterDef& d : module.Map()) {
    if (d.ModbusAddress != start) continue;
    TprDevReg reg;
    reg.Setup(f[0], d.Bank, d.RegNo, d.ModbusAddress, d.StrLength, d.DataType);
    if ((reg.ModbusRead.Frame[4] << 8 | reg.ModbusRead.Frame[5]) == count)
      FUZZ_CHECK(ModbusReplyAccepted(record, reg.ModbusRead), "the master rejects the reply",
                 detail + " for " + d.Name);
  }
  if (start == 256 && count == 1) {
    TModbusRecord probe;
    PrepareModbusProbe(ModbusProbeTemplate(), f[0], probe);
    uint8_t value = 0;
    FUZZ_CHECK(CheckModbusProbe(record, probe, value) && value == module.ModelCode(),
               "the master's probe check rejects the reply", detail);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TReader in(data, size);
  // [model][address][flags: protocol and INIT mode], then frames: [length][bytes]. The bus
  // clock stands still: the module's behaviour over time is not what is tried here.
  const int model = in.Byte() % ModelCount;
  const uint8_t address = in.Byte();
  const uint8_t flags = in.Byte();
  const TSimProtocol protocol = (flags & 3) == 1   ? TSimProtocol::Modbus
                                : (flags & 3) == 2 ? TSimProtocol::Vela
                                                   : TSimProtocol::Auto;
  TSimModule module = TSimModule::ForModel(model, address);
  module.Protocol = protocol;
  module.RandomInputs = false;
  module.SetInitMode(flags & 4);
  while (in.Left() > 0) {
    const std::vector<uint8_t> frame = in.Take(in.Byte());
    const int n = int(frame.size());
    const uint8_t answerAt = module.AnswerAddress();
    const auto reply = module.Serve(frame.data(), n, 0);
    if (!reply) continue;
    const fuzz::TDetail detail([&] {
      return std::string("module " + std::to_string(module.ModelCode()) + " at " +
                         std::to_string(answerAt) + ", request " + fuzz::Hex(frame.data(), n) +
                         "-> reply " + fuzz::Hex(reply->data(), int(reply->size())));
    });
    FUZZ_CHECK(n >= 4 && frame[0] == answerAt, "answered another address", detail);
    const bool velaCrc =
        n >= 5 && fuzz::Crc8Right(frame.data(), n) && frame[1] <= 1 && frame[3] <= 1;
    const bool vela = protocol != TSimProtocol::Modbus && velaCrc;
    if (vela)
      CheckVelaReply(module, frame.data(), n, *reply, detail);
    else
      CheckModbusReply(module, frame.data(), n, *reply, detail);
  }
  return 0;
}

// The value-text encoders of both protocols, for a register of any type (and a Vela write whose
// type byte is anything at all), with any text, in both decimal separators. Beyond "no crash":
// - an encoder never writes past its frame: the register sits between guard bytes, every other
//   record of it stays as it was, and the request length stays within the frame;
// - a text that is no number raises the conversion error and leaves the write record as it was;
// - an encoded frame carries a right checksum, its header and the length its type calls for;
// - the value it carries, read back and written again, reads back the same.
#include <string>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "fuzz/FuzzInput.h"

namespace {

// The register between guard bytes that a stray write would overwrite.
struct TGuarded {
  uint8_t Before[64];
  TprDevReg Reg;
  uint8_t After[64];
  TGuarded() {
    std::memset(Before, 0xA5, sizeof Before);
    std::memset(After, 0x5A, sizeof After);
  }
  bool Intact() const {
    for (size_t i = 0; i < sizeof Before; ++i)
      if (Before[i] != 0xA5 || After[i] != 0x5A) return false;
    return true;
  }
};

template <class T>
std::vector<uint8_t> Image(const T& record) {
  const auto* b = reinterpret_cast<const uint8_t*>(&record);
  return {b, b + sizeof record};
}

// Every record but the one an encoder fills.
std::vector<uint8_t> OtherRecords(const TprDevReg& r, bool vela) {
  std::vector<uint8_t> all = Image(r.VelaRead);
  for (const auto& part : {vela ? Image(r.ModbusWrite) : Image(r.VelaWrite), Image(r.ModbusRead),
                           Image(r.DcsRead), Image(r.DcsWrite)})
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string TextDetail(const fuzz::TRegisterPick& pick, const std::string& text, char sep) {
  return pick.Describe() + ", separator '" + sep + "', text " +
         fuzz::Hex(reinterpret_cast<const uint8_t*>(text.data()), int(text.size()));
}

// Encodes into the Vela write and checks the frame; true when the text was a value.
bool CheckVela(TprDevReg& r, const std::string& text, const fuzz::TDetail& detail) {
  const std::vector<uint8_t> others = OtherRecords(r, true);
  const TVelaRecord before = r.VelaWrite;
  const int type = r.VelaWrite.Frame[4] & 0x0F;
  try {
    r.EncodeVelaWrite(text);
  } catch (const EConvertError&) {
    FUZZ_CHECK(Image(before) == Image(r.VelaWrite), "a raising encoder changed the frame", detail);
    FUZZ_CHECK(type != dtString || !fuzz::WireEncodable(text), "a text raised", detail);
    return false;
  }
  FUZZ_CHECK(others == OtherRecords(r, true), "the Vela encoder wrote into another record", detail);
  const int n = r.VelaWrite.RequestLength;
  FUZZ_CHECK(n >= 6 && n <= int(sizeof r.VelaWrite.Frame), "request length out of the frame",
             detail);
  FUZZ_CHECK(std::memcmp(r.VelaWrite.Frame, before.Frame, 5) == 0, "the header changed", detail);
  FUZZ_CHECK(r.VelaWrite.ReplyLength == 5, "the acknowledgement length changed", detail);
  if (type < dtString)
    FUZZ_CHECK(n == fuzz::VelaValueBytes(type) + 6, "length of another type", detail);
  else if (type == dtString)
    FUZZ_CHECK(n == int(std::min<size_t>(fuzz::WireLength(text), 31)) + 7 && r.VelaWrite.Frame[n - 2] == 0,
               "a text of another length or without its NUL", detail);
  else
    FUZZ_CHECK(n == before.RequestLength, "an unknown type changed the length", detail);
  FUZZ_CHECK(fuzz::Crc8Right(r.VelaWrite.Frame, n), "the CRC-8 is wrong", detail);
  return true;
}

bool CheckModbus(TprDevReg& r, const std::string& text, const fuzz::TDetail& detail) {
  const std::vector<uint8_t> others = OtherRecords(r, false);
  const TModbusRecord before = r.ModbusWrite;
  const int type = r.ModbusWrite.DataType;
  try {
    r.EncodeModbusWrite(text);
  } catch (const EConvertError&) {
    FUZZ_CHECK(Image(before) == Image(r.ModbusWrite), "a raising encoder changed the frame",
               detail);
    FUZZ_CHECK(type != dtString || !fuzz::WireEncodable(text), "a text raised", detail);
    return false;
  }
  FUZZ_CHECK(others == OtherRecords(r, false), "the Modbus encoder wrote into another record",
             detail);
  const int n = r.ModbusWrite.RequestLength;
  FUZZ_CHECK(n >= 9 && n <= int(sizeof r.ModbusWrite.Frame), "request length out of the frame",
             detail);
  FUZZ_CHECK(std::memcmp(r.ModbusWrite.Frame, before.Frame, 4) == 0, "the header changed", detail);
  if (type == dtString) {
    const int length = std::clamp<int>(r.ModbusWrite.StrLength, 0, 247);
    FUZZ_CHECK(n == length + 9 && r.ModbusWrite.Frame[6] == length &&
                   (r.ModbusWrite.Frame[4] << 8 | r.ModbusWrite.Frame[5]) == length / 2,
               "a text of another length or count", detail);
  } else {
    FUZZ_CHECK(
        std::memcmp(r.ModbusWrite.Frame + 4, before.Frame + 4, 3) == 0 && n == before.RequestLength,
        "a value changed the register count or length", detail);
  }
  FUZZ_CHECK(fuzz::Crc16Right(r.ModbusWrite.Frame, n), "the CRC-16 is wrong", detail);
  return true;
}

// The value a Vela write carries, as a read of it shows it.
std::string VelaReadBack(const TprDevReg& w) {
  TprDevReg r;
  std::memcpy(&r.VelaRead, &w.VelaRead, sizeof r.VelaRead);
  r.DecodeVelaReply(fuzz::VelaReplyOfWrite(w));
  return r.ValueText;
}

// The value a Modbus write carries, as a read of it shows it.
std::string ModbusReadBack(const TprDevReg& w) {
  TprDevReg r;
  std::memcpy(&r.ModbusRead, &w.ModbusRead, sizeof r.ModbusRead);
  r.DecodeModbusReply(fuzz::ModbusReplyOfWrite(w));
  return r.ValueText;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TReader in(data, size);
  const fuzz::TRegisterPick pick = fuzz::ReadRegister(in);
  const char sep = fuzz::ReadSeparator(in);
  TFormatGuard guard(sep);
  // [0xA5][type byte] writes any type byte into the Vela write frame.
  const bool anyTypeByte = in.Byte() == fuzz::RawLengthMode;
  const uint8_t typeByte = anyTypeByte ? in.Byte() : 0;
  const std::vector<uint8_t> textBytes = in.Rest();
  const std::string text(textBytes.begin(), textBytes.end());
  const fuzz::TDetail detail([&] { return std::string(TextDetail(pick, text, sep)); });

  auto* guarded = new TGuarded;
  TprDevReg& r = guarded->Reg;
  pick.SetUp(r);
  if (anyTypeByte) r.VelaWrite.Frame[4] = typeByte;
  r.SealVelaRead();
  r.SealModbusRead();

  if (CheckVela(r, text, detail)) {
    const int type = r.VelaWrite.Frame[4] & 0x0F;
    const std::string shown = type <= dtString ? VelaReadBack(r) : std::string();
    if (type < dtString || (type == dtString && fuzz::WireEncodable(shown))) {
      // The value read back, written again, reads back the same.
      TprDevReg again;
      pick.SetUp(again, type);
      FUZZ_CHECK(CheckVela(again, shown, detail), "the value read back is no value",
                 detail + " shown '" + shown + "'");
      const std::string shownAgain = VelaReadBack(again);
      FUZZ_CHECK(shownAgain == shown, "the value read back is written otherwise",
                 detail + " shown '" + shown + "' then '" + shownAgain + "'");
    }
  }
  // Over Modbus the same, for the types it encodes and strings that fill whole registers.
  const bool modbusValue = pick.DataType != dtBool && pick.DataType != dtDouble &&
                           pick.DataType <= dtString &&
                           (pick.DataType != dtString || pick.StrLength % 2 == 0);
  if (CheckModbus(r, text, detail) && modbusValue && fuzz::ReadCount(r) <= 125 &&
      (pick.DataType != dtString || fuzz::WireEncodable(ModbusReadBack(r)))) {
    const std::string shown = ModbusReadBack(r);
    TprDevReg again;
    pick.SetUp(again);
    FUZZ_CHECK(CheckModbus(again, shown, detail), "the value read back is no value",
               detail + " shown '" + shown + "'");
    const std::string shownAgain = ModbusReadBack(again);
    FUZZ_CHECK(shownAgain == shown, "the value read back is written otherwise",
               detail + " shown '" + shown + "' then '" + shownAgain + "'");
  }
  // Once more on the record just filled: a second encoding starts from a used frame.
  CheckModbus(r, text.substr(0, text.size() / 2), detail);
  FUZZ_CHECK(guarded->Intact(), "an encoder wrote past the register", detail);

  CheckSingleRange(text);
  const int digits = int(size % 9);
  std::vector<char> hex(size_t(digits) + 1, '#');
  try {
    IntToHexChars(hex.data(), text, digits);
    FUZZ_CHECK(hex[size_t(digits)] == '#', "the hexadecimal digits ran past their count", detail);
  } catch (const EConvertError&) {
  }
  delete guarded;
  return 0;
}

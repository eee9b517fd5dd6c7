#include "sim/SimModule.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "comm/Codecs.h"
#include "comm/Component.h"
#include "comm/LineCodes.h"
#include "comm/WireText.h"
#include "models/ValueRules.h"

namespace {

// Type codes as they travel on the line (kept here rather than taken from the master code).
enum : uint8_t {
  tBool = 0, tUInt8 = 1, tInt8 = 2, tUInt16 = 3, tInt16 = 4,
  tUInt32 = 5, tInt32 = 6, tSingle = 7, tDouble = 8, tString = 9,
};

int VelaBytes(int type) {
  static constexpr int sizes[9] = {1, 1, 1, 2, 2, 4, 4, 4, 8};
  return type >= 0 && type < 9 ? sizes[type] : 0;
}

bool IsIntegerType(int type) { return type >= tBool && type <= tInt32; }
bool IsRealType(int type) { return type == tSingle || type == tDouble; }

uint32_t WidthMask(int type) {
  switch (type) {
    case tBool: case tUInt8: case tInt8: return 0xFF;
    case tUInt16: case tInt16: return 0xFFFF;
    default: return 0xFFFFFFFF;
  }
}

// Signed reading of raw bits of an integer type.
int64_t SignedValue(int type, uint32_t raw) {
  switch (type) {
    case tInt8: return int8_t(raw & 0xFF);
    case tInt16: return int16_t(raw & 0xFFFF);
    case tInt32: return int32_t(raw);
    default: return raw;
  }
}

void AppendCrc16(std::vector<uint8_t>& frame) {
  frame.resize(frame.size() + 2);
  SealCrc16(frame.data(), int(frame.size()));
}

void AppendCrc8(std::vector<uint8_t>& frame) {
  frame.push_back(0);
  SealCrc8(frame.data(), int(frame.size()));
}

constexpr uint16_t ProbeModbusAddress = 256;
constexpr int MaxReadWords = 125;
constexpr int MaxWriteWords = 123;
constexpr int StepMs = 50;
// A long gap of bus time (a test that jumps hours ahead) runs only its last minute of
// behaviour steps; the operating time still counts all of it.
constexpr int MaxStepsPerUpdate = 1200;

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// Channel number at the end of a register name ("SETPOINTCH2" -> 2), 0 when none.
int ChannelOf(const std::string& name) {
  size_t i = name.size();
  while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1]))) --i;
  return i < name.size() ? std::atoi(name.c_str() + i) : 0;
}

struct TRange {
  double Low, High;
};

// Ranges of the input types of the thermocouple/linear input module.
TRange EtaRange(uint32_t type) {
  static constexpr TRange ranges[13] = {
      {0, 50},     {0, 150},    {0, 500},   {0, 1},      {0, 20},     {-200, 1300}, {-200, 800},
      {-50, 1700}, {300, 1700}, {-50, 1700}, {-200, 1300}, {0, 2300}, {-200, 1200}};
  return type < 13 ? ranges[type] : ranges[0];
}

// Output ranges of the output module by output type; 255 is "switched off".
bool OutputRange(uint32_t type, TRange& range, bool& voltage) {
  switch (type) {
    case 0: range = {0, 20}; voltage = false; return true;
    case 1: range = {4, 20}; voltage = false; return true;
    case 2: range = {0, 10}; voltage = true; return true;
    case 3: range = {0, 5}; voltage = true; return true;
    default: return false;
  }
}

// Steps between two measurements of an analog input by its polling priority (the thermocouple
// module knows three levels, the resistance-thermometer module two); 0: not measured.
int ScanPeriod(bool eta, uint32_t priority) {
  if (priority == 0) return 0;
  if (priority >= (eta ? 3u : 2u)) return 1;
  return priority == 1 ? 4 : 2;
}

}  // namespace

std::string SimModelName(uint8_t modelCode) {
  const int index = ModelIndexFromProbe(modelCode);
  return index > 0 ? ModelRow(index).Name : "MODULE";
}

bool SimBehaves(TModelFamily family) {
  switch (family) {
    case TModelFamily::DiscreteIo:
    case TModelFamily::SignalInput:
    case TModelFamily::RtdInput:
    case TModelFamily::AnalogOutput: return true;
    case TModelFamily::None: break;
  }
  return false;
}

TSimModule::TSimModule(uint8_t modelCode, std::span<const TRegisterDef> map, uint8_t address,
                       int64_t nowMs)
    : Code(modelCode),
      Family(ModelRow(ModelIndexFromProbe(modelCode)).Family),
      Channels(ModelRow(ModelIndexFromProbe(modelCode)).Channels),
      Address(address),
      Defs(map.begin(), map.end()),
      Values(map.size()),
      Now(nowMs),
      Random(uint32_t(modelCode) * 7919u + address) {
  LastNetworkMs = nowMs;
  for (size_t i = 0; i < Defs.size(); ++i) {
    const int words = WordCount(int(i));
    const size_t end = size_t(Defs[i].ModbusAddress) + size_t(words);
    if (WordOwner.size() < end) WordOwner.resize(end, {-1, 0});
    for (int w = 0; w < words; ++w) {
      auto& owner = WordOwner[Defs[i].ModbusAddress + w];
      if (owner.first < 0) owner = {int(i), w};
    }
  }
  InitDefaults();
}

int TSimModule::Index(const std::string& name) const {
  for (size_t i = 0; i < Defs.size(); ++i)
    if (SameText(Defs[i].Name, name)) return int(i);
  return -1;
}

int TSimModule::IndexOrThrow(const std::string& name) const {
  const int i = Index(name);
  if (i < 0) throw std::out_of_range("simulated module has no register " + name);
  return i;
}

bool TSimModule::Has(const std::string& name) const { return Index(name) >= 0; }
uint32_t TSimModule::Int(const std::string& name) const {
  return Values[IndexOrThrow(name)].Int;
}
double TSimModule::Real(const std::string& name) const {
  return Values[IndexOrThrow(name)].Real;
}
std::string TSimModule::Text(const std::string& name) const {
  return DecodeWireText(Values[IndexOrThrow(name)].Text);
}
void TSimModule::SetInt(const std::string& name, uint32_t value) {
  StoreInt(IndexOrThrow(name), value);
}
void TSimModule::SetReal(const std::string& name, double value) {
  StoreReal(IndexOrThrow(name), value);
}
void TSimModule::SetText(const std::string& name, const std::string& text) {
  std::string wire;
  if (!EncodeWireText(text, wire))
    throw std::invalid_argument("no Windows-1251 form of the text '" + text + "'");
  StoreText(IndexOrThrow(name), wire);
}

void TSimModule::SetSignal(int channel, std::optional<double> value) {
  if (channel >= 1 && channel <= 8) Signals[channel - 1] = value;
}

double TSimModule::TuningCoefficient(int channel, bool voltage) const {
  return channel >= 1 && channel <= 2 ? Coefficients[channel - 1][voltage] : 1.0;
}

void TSimModule::SetUnreadable(const std::string& name, bool unreadable) {
  UnreadableRegs.resize(Defs.size(), false);
  UnreadableRegs[size_t(IndexOrThrow(name))] = unreadable;
}

bool TSimModule::Unreadable(int index) const {
  return index >= 0 && size_t(index) < UnreadableRegs.size() && UnreadableRegs[size_t(index)];
}

void TSimModule::Report(const char* name, uint32_t condition, uint32_t& last) {
  if (condition == last || !Has(name)) return;
  last = condition;
  SetInt(name, condition);
}

uint8_t TSimModule::AnswerAddress() const { return Init ? 1 : Address; }

void TSimModule::SetInitMode(bool on) {
  Init = on;
  const int i = Index("SLFDGNS");
  if (i >= 0) Values[i].Int = on ? (Values[i].Int | 0x8000u) : (Values[i].Int & 0x7FFFu);
}

void TSimModule::StoreInt(int index, int64_t value) {
  const int type = Defs[index].DataType;
  TValue& v = Values[index];
  if (IsRealType(type)) {
    v.Real = type == tSingle ? double(float(value)) : double(value);
  } else if (type == tString) {
    v.Text = std::to_string(value);
  } else {
    v.Int = uint32_t(value) & WidthMask(type);
  }
}

void TSimModule::StoreReal(int index, double value) {
  const int type = Defs[index].DataType;
  TValue& v = Values[index];
  if (type == tSingle) v.Real = double(float(value));
  else if (type == tDouble) v.Real = value;
  else if (IsIntegerType(type)) StoreInt(index, int64_t(std::llround(value)));
}

void TSimModule::StoreText(int index, const std::string& text) {
  if (Defs[index].DataType != tString) return;
  std::string t = text.substr(0, text.find('\0'));
  if (Defs[index].StrLength > 0 && t.size() > size_t(Defs[index].StrLength))
    t.resize(size_t(Defs[index].StrLength));
  Values[index].Text = t;
}

// ---------------------------------------------------------------------------------------------
// Modbus word image: 16-bit types one word; 32-bit values low word first; strings with the
// first character of each pair in the low byte, one word more than their length holds so that
// the text is always followed by a NUL.

int TSimModule::WordCount(int index) const {
  const TRegisterDef& d = Defs[index];
  if (d.DataType == tString) return (d.StrLength + 2) / 2;
  if (d.DataType == tDouble) return 4;
  if (d.DataType == tUInt32 || d.DataType == tInt32 || d.DataType == tSingle) return 2;
  return 1;
}

std::vector<uint16_t> TSimModule::Words(int index) const {
  const TRegisterDef& d = Defs[index];
  const TValue& v = Values[index];
  std::vector<uint16_t> words(size_t(WordCount(index)), 0);
  switch (d.DataType) {
    case tString:
      for (size_t i = 0; i < v.Text.size() && i / 2 < words.size(); ++i)
        words[i / 2] |= uint16_t(uint8_t(v.Text[i])) << (i % 2 ? 8 : 0);
      break;
    case tSingle: {
      const float f = float(v.Real);
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      words[0] = uint16_t(bits & 0xFFFF);
      words[1] = uint16_t(bits >> 16);
      break;
    }
    case tDouble: {
      uint64_t bits;
      std::memcpy(&bits, &v.Real, 8);
      for (int w = 0; w < 4; ++w) words[size_t(w)] = uint16_t(bits >> (16 * w));
      break;
    }
    case tUInt32: case tInt32:
      words[0] = uint16_t(v.Int & 0xFFFF);
      words[1] = uint16_t(v.Int >> 16);
      break;
    default:
      words[0] = uint16_t(v.Int & 0xFFFF);
  }
  return words;
}

void TSimModule::SetWords(int index, const std::vector<uint16_t>& words) {
  const TRegisterDef& d = Defs[index];
  TValue& v = Values[index];
  switch (d.DataType) {
    case tString: {
      std::string text;
      for (size_t i = 0; i < words.size() * 2; ++i) {
        const char c = char(i % 2 ? words[i / 2] >> 8 : words[i / 2] & 0xFF);
        if (c == '\0') break;
        text.push_back(c);
      }
      StoreText(index, text);
      break;
    }
    case tSingle: {
      const uint32_t bits = uint32_t(words[0]) | uint32_t(words[1]) << 16;
      float f;
      std::memcpy(&f, &bits, 4);
      v.Real = f;
      break;
    }
    case tDouble: {
      uint64_t bits = 0;
      for (int w = 0; w < 4; ++w) bits |= uint64_t(words[size_t(w)]) << (16 * w);
      std::memcpy(&v.Real, &bits, 8);
      break;
    }
    case tUInt32: case tInt32:
      v.Int = uint32_t(words[0]) | uint32_t(words[1]) << 16;
      break;
    default:
      v.Int = words[0] & WidthMask(d.DataType);
  }
}

// ---------------------------------------------------------------------------------------------
// Frames

bool TSimModule::Hears(const TSimLine& line) const {
  if (!line.Known) return true;
  if (Init) return line.Baud == 9600 && (!line.ParityKnown || line.Parity == 0);
  if (!StrictLine) return true;
  const int32_t code = Has("NETBDRT") ? int32_t(Int("NETBDRT")) : 6;
  const int baud = BaudRateOfCode(code).value_or(9600);
  const int parity = Has("MDBFMT") ? int(Int("MDBFMT")) : 0;
  return line.Baud == baud && (!line.ParityKnown || line.Parity == parity);
}

std::optional<std::vector<uint8_t>> TSimModule::Serve(const uint8_t* f, int n, int64_t nowMs,
                                                      const TSimLine& line,
                                                      TSimProtocol busProtocol) {
  Update(nowMs);
  if (n < 4) return std::nullopt;
  const TSimProtocol protocol = busProtocol != TSimProtocol::Auto ? busProtocol : Protocol;
  const bool crc16ok = Crc16Sealed(f, n);
  const bool crc8ok = n >= 5 && Crc8Sealed(f, n);
  const bool velaShape = f[1] <= 1 && f[3] <= 1;
  const bool vela = protocol != TSimProtocol::Modbus && crc8ok && velaShape;
  const bool modbus = !vela && protocol != TSimProtocol::Vela && crc16ok;
  if (!vela && !modbus) return std::nullopt;
  if (f[0] != AnswerAddress() || !Hears(line)) return std::nullopt;
  LastNetworkMs = nowMs;
  WatchdogTripped = false;
  ++FramesServed;
  return vela ? ServeVela(f, n) : ServeModbus(f, n);
}

std::optional<std::vector<uint8_t>> TSimModule::ServeVela(const uint8_t* f, int n) {
  const uint8_t bank = f[1], regNo = f[2];
  int index = -1;
  for (size_t i = 0; i < Defs.size(); ++i)
    if (Defs[i].Bank == bank && Defs[i].RegNo == regNo) { index = int(i); break; }
  const bool probe = bank == 1 && regNo == 0 && index < 0;
  std::vector<uint8_t> reply(f, f + 4);

  if (f[3] == 0) {  // read
    if (n != 5 || (index < 0 && !probe) || Unreadable(index)) return std::nullopt;
    if (probe) {
      reply.push_back(0xC0 | tUInt8);
      reply.push_back(Code);
    } else {
      const TRegisterDef& d = Defs[index];
      const TValue& v = Values[index];
      reply.push_back(uint8_t(0xC0 | d.DataType));
      if (d.DataType == tString) {
        // The master's reply record holds 32 data bytes: at most 31 characters and the NUL.
        const std::string t = v.Text.substr(0, 31);
        reply.insert(reply.end(), t.begin(), t.end());
        reply.push_back(0);
      } else if (IsRealType(d.DataType)) {
        uint8_t bytes[8];
        if (d.DataType == tSingle) {
          const float fl = float(v.Real);
          std::memcpy(bytes, &fl, 4);
        } else {
          std::memcpy(bytes, &v.Real, 8);
        }
        reply.insert(reply.end(), bytes, bytes + VelaBytes(d.DataType));
      } else {
        for (int b = 0; b < VelaBytes(d.DataType); ++b) reply.push_back(uint8_t(v.Int >> (8 * b)));
      }
    }
    AppendCrc8(reply);
    return reply;
  }

  // write
  if (n < 6 || index < 0) return std::nullopt;
  const int type = f[4] & 0x0F;
  const TRegisterDef& d = Defs[index];
  const TValue old = Values[index];
  if (type == tString) {
    if (f[n - 2] != 0 || d.DataType != tString) return std::nullopt;
    StoreText(index, std::string(reinterpret_cast<const char*>(f + 5)));
  } else {
    if (type > tDouble || n != VelaBytes(type) + 6 || d.DataType == tString) return std::nullopt;
    if (IsRealType(type)) {
      double value;
      if (type == tSingle) {
        float fl;
        std::memcpy(&fl, f + 5, 4);
        value = fl;
      } else {
        std::memcpy(&value, f + 5, 8);
      }
      if (!std::isfinite(value) && !IsRealType(d.DataType)) return std::nullopt;
      StoreReal(index, value);
    } else {
      uint32_t raw = 0;
      for (int b = 0; b < VelaBytes(type); ++b) raw |= uint32_t(f[5 + b]) << (8 * b);
      if (type == tBool) raw = raw ? 1 : 0;
      StoreInt(index, SignedValue(type, raw));
    }
  }
  Written(index, old);
  AppendCrc8(reply);
  return reply;
}

std::vector<uint8_t> TSimModule::ModbusException(uint8_t function, uint8_t code) const {
  std::vector<uint8_t> reply{AnswerAddress(), uint8_t(function | 0x80), code};
  AppendCrc16(reply);
  return reply;
}

std::optional<std::vector<uint8_t>> TSimModule::ServeModbus(const uint8_t* f, int n) {
  const uint8_t function = f[1];
  if (function != 0x03 && function != 0x10) return ModbusException(function, 1);
  if (n < 8) return std::nullopt;
  const int start = f[2] << 8 | f[3];
  const int count = f[4] << 8 | f[5];
  auto declared = [&](int address) {
    return address == ProbeModbusAddress ||
           (address < int(WordOwner.size()) && WordOwner[size_t(address)].first >= 0);
  };

  if (function == 0x03) {
    if (n != 8) return std::nullopt;
    if (count < 1 || count > MaxReadWords) return ModbusException(function, 3);
    if (!declared(start) || !declared(start + count - 1)) return ModbusException(function, 2);
    for (int a = start; a < start + count; ++a)
      if (a < int(WordOwner.size()) && Unreadable(WordOwner[size_t(a)].first))
        return ModbusException(function, 2);
    std::vector<uint8_t> reply{f[0], function, uint8_t(2 * count)};
    int cachedIndex = -1;
    std::vector<uint16_t> cachedWords;
    for (int a = start; a < start + count; ++a) {
      uint16_t word = 0;
      if (a == ProbeModbusAddress) {
        word = Code;
      } else if (a < int(WordOwner.size()) && WordOwner[size_t(a)].first >= 0) {
        const auto [index, offset] = WordOwner[size_t(a)];
        if (index != cachedIndex) {
          cachedIndex = index;
          cachedWords = Words(index);
        }
        word = cachedWords[size_t(offset)];
      }
      reply.push_back(uint8_t(word >> 8));
      reply.push_back(uint8_t(word & 0xFF));
    }
    AppendCrc16(reply);
    return reply;
  }

  // function 16
  if (n < 9) return std::nullopt;
  const int byteCount = f[6];
  if (n != 9 + byteCount) return std::nullopt;
  if (count < 1 || count > MaxWriteWords || byteCount != 2 * count)
    return ModbusException(function, 3);
  if (!declared(start) || !declared(start + count - 1)) return ModbusException(function, 2);
  // Gather the new words per register, merge them into the register's present image, and
  // apply each register once, in address order.
  std::vector<std::pair<int, std::vector<uint16_t>>> touched;
  for (int a = start; a < start + count; ++a) {
    if (a >= int(WordOwner.size()) || WordOwner[size_t(a)].first < 0) continue;
    const auto [index, offset] = WordOwner[size_t(a)];
    if (touched.empty() || touched.back().first != index) touched.push_back({index, Words(index)});
    const int k = 7 + 2 * (a - start);
    touched.back().second[size_t(offset)] = uint16_t(f[k] << 8 | f[k + 1]);
  }
  for (auto& [index, words] : touched) {
    const TValue old = Values[size_t(index)];
    SetWords(index, words);
    Written(index, old);
  }
  std::vector<uint8_t> reply(f, f + 6);
  AppendCrc16(reply);
  return reply;
}

// ---------------------------------------------------------------------------------------------
// Behaviour

void TSimModule::Written(int index, const TValue& old) {
  const TRegisterDef& def = Defs[size_t(index)];
  const std::string name = def.Name;
  TValue& v = Values[size_t(index)];
  // A register the module computes itself, or a value the register does not take: the write
  // is acknowledged and has no effect. The module keeps any code its list may show as another.
  const bool refused =
      IsIntegerType(def.DataType) ? CheckNumber(def, SignedValue(def.DataType, v.Int), true) != TValueFault::None
      : IsRealType(def.DataType)  ? CheckSingle(v.Real) != TValueFault::None
                                  : false;
  if (def.Access == raReadOnly || refused) {
    v = old;
    return;
  }
  const bool discrete = Family == TModelFamily::DiscreteIo;
  if (name == "NETADDR") {
    // The acknowledgement goes out from the old address (built from the request); from now on
    // the module answers at the new one.
    Address = uint8_t(v.Int);
  } else if (name == "SECNS") {
    TimeRemainderMs = 0;
  } else if (discrete && name == "RSTLATCH") {
    SetInt("LHDIGINPUT", Int("LHDIGINPUT") & ~v.Int);
    SetInt("LLDIGINPUT", Int("LLDIGINPUT") & ~v.Int);
    v.Int = 0;
  } else if (discrete && name == "COUNTRESET") {
    for (int ch = 1; ch <= 16; ++ch)
      if ((v.Int >> (ch - 1)) & 1) {
        const std::string counter = "COUNTER" + std::to_string(ch);
        if (Has(counter)) SetInt(counter, 0);
      }
    v.Int = 0;
  } else if (discrete && name == "FLAGRESET") {
    SetInt("OVFFLAGS", Int("OVFFLAGS") & ~v.Int);
    v.Int = 0;
  } else if (discrete && name == "DIGOUTPUT") {
    if (Has("SAVOUTPUT")) SetInt("SAVOUTPUT", v.Int);
  } else if (Family == TModelFamily::AnalogOutput && StartsWith(name, "SETPOINTCH")) {
    const std::string saved = "SAVEDOUTPUTCH" + std::to_string(ChannelOf(name));
    if (Has(saved)) SetReal(saved, v.Real);
  } else if (Family == TModelFamily::AnalogOutput && StartsWith(name, "TUNINGCH")) {
    if (v.Int != 0) Calibrate(ChannelOf(name));
    v.Int = 0;
  }
  if (discrete) StepDiscrete(false);
}

void TSimModule::Calibrate(int channel) {
  if (!Has("SMSTS")) return;
  const std::string n = std::to_string(channel);
  TRange range{};
  bool voltage = false;
  bool valid = Has("TUNINGVALUECH" + n) && Has("OUTTYPE" + n) &&
               Int("TUNINGENABLE") == uint32_t(channel) &&
               OutputRange(Int("OUTTYPE" + n), range, voltage);
  if (valid) {
    // In tuning mode the channel drives the top of its range; the coefficient is the ratio of
    // that to the value the user measured, and a real output stage is within a few percent.
    const double measured = Real("TUNINGVALUECH" + n);
    valid = std::isfinite(measured) && measured > 0 &&
            std::fabs(measured / range.High - 1.0) <= 0.1;
    if (valid) Coefficients[channel - 1][voltage] = range.High / measured;
  }
  const uint32_t bit = 1u << (3 + channel);
  SetInt("SMSTS", valid ? (Int("SMSTS") & ~bit) : (Int("SMSTS") | bit));
}

void TSimModule::InitDefaults() {
  auto setInt = [this](const char* name, uint32_t value) {
    if (Has(name)) SetInt(name, value);
  };
  auto setReal = [this](const std::string& name, double value) {
    if (Has(name)) SetReal(name, value);
  };
  auto setText = [this](const char* name, const std::string& text) {
    if (Has(name)) SetText(name, text);
  };
  setInt("SECNS", 5);
  setInt("MINTS", 22);
  setInt("HOURS", 14);
  setInt("DAYS", 37);
  setText("MNAME", SimModelName(Code));
  setText("MVERSION", "2.13");
  setInt("NETWDT", 0);
  setInt("SLFDGNS", 0);
  setInt("RSTSTATUS", 1);  // the module has restarted since the status was last cleared
  setInt("NWDTSTATUS", 0);
  setInt("NETADDR", Address);
  setInt("NETBDRT", 6);
  setInt("MDBFMT", 0);
  setInt("DCSFMT", 0);
  setInt("ICON1", 8);  // show inputs (outputs on the output module)
  setInt("ICON2", 1);
  setText("DISPLAY", "ORBIS");
  setInt("TINDICATION", 3);
  setInt("CHINDICATION", 0xFF);

  switch (Family) {
    case TModelFamily::DiscreteIo: {
      // A bidirectional module works its upper half of channels as outputs.
      const uint32_t all = (1u << Channels) - 1;
      const int firstOutput = Has("DIRECTION") ? Channels / 2 : 0;
      setInt("DIRECTION", all & ~((1u << firstOutput) - 1));
      setInt("DIGOUTPUT", 0x05u << firstOutput);
      setInt("SAVOUTPUT", 0x05u << firstOutput);
      for (const char* f : {"FILTER1", "FILTER2", "FILTER3", "FILTER4"}) setInt(f, 1);
      setInt("COUNTENABLE", 0x0003);
      setInt("COUNTER2", 65500);  // close to overflow, so that a demo shows it
      RawInputs = 0x0025 & all;
      break;
    }
    case TModelFamily::SignalInput: {
      static constexpr uint32_t types[8] = {0, 3, 4, 5, 12, 5, 2, 0};
      for (int ch = 1; ch <= Channels; ++ch) {
        const std::string n = std::to_string(ch);
        setInt(("INPTYPE" + n).c_str(), types[(ch - 1) % 8]);
        setInt(("PRIOR" + n).c_str(), ch == Channels ? 0 : 2);
        setInt(("FILTER" + n).c_str(), 1);
        setInt(("IFCH" + n).c_str(), 0x10);
        setReal("LBS" + n, 0);
        setReal("HBS" + n, 100);
        setReal("LBT" + n, 0);
        setReal("HBT" + n, 100);
      }
      setInt("MAPENABLE", 0);
      SensorBreak = 1u << 5;  // channel 6: a broken thermocouple
      break;
    }
    case TModelFamily::RtdInput:
      for (int ch = 1; ch <= Channels; ++ch) {
        const std::string n = std::to_string(ch);
        setInt(("INPTYPE" + n).c_str(), ch == 1 ? 1 : ch == 2 ? 0 : 4);
        setInt(("PRIOR" + n).c_str(), 2);
        setInt(("FILTER" + n).c_str(), 1);
        setInt(("IFCH" + n).c_str(), 0x20);
      }
      SensorBreak = 1u << 2;  // channel 3: a broken thermometer
      break;
    case TModelFamily::AnalogOutput:  // a 4..20 mA output and a 0..10 V output, slewing to their set-points
      setInt("OUTTYPE1", 1);
      setInt("SLEWRATE1", 5);
      setReal("SETPOINTCH1", 12.0);
      setReal("OUTPUTCH1", 4.0);
      setReal("OUTPUTPUPCH1", 4.0);
      setReal("OUTPUTSAFECH1", 4.0);
      setReal("SAVEDOUTPUTCH1", 12.0);
      setInt("OUTTYPE2", 2);
      setInt("SLEWRATE2", 6);
      setReal("SETPOINTCH2", 7.5);
      setReal("OUTPUTCH2", 0.0);
      setReal("OUTPUTPUPCH2", 0.0);
      setReal("OUTPUTSAFECH2", 0.0);
      setReal("SAVEDOUTPUTCH2", 7.5);
      setInt("IFCH1", 0x20);
      setInt("IFCH2", 0x20);
      setInt("CHINDICATION", 0x03);
      break;
    case TModelFamily::None: break;
  }
  if (Family == TModelFamily::DiscreteIo) StepDiscrete(false);
  if (Family == TModelFamily::SignalInput || Family == TModelFamily::RtdInput)
    StepAnalogInputs(true);
}

void TSimModule::Update(int64_t nowMs) {
  if (nowMs <= Now) return;
  const int64_t dt = nowMs - Now;
  Now = nowMs;

  // Operating time: seconds, minutes, hours and days with their carries.
  TimeRemainderMs += dt;
  const int64_t seconds = TimeRemainderMs / 1000;
  TimeRemainderMs %= 1000;
  if (seconds > 0 && Has("SECNS")) {
    int64_t total = int64_t(Int("SECNS")) + seconds;
    SetInt("SECNS", uint32_t(total % 60));
    if (Has("MINTS")) {
      total = int64_t(Int("MINTS")) + total / 60;
      SetInt("MINTS", uint32_t(total % 60));
      if (Has("HOURS")) {
        total = int64_t(Int("HOURS")) + total / 60;
        SetInt("HOURS", uint32_t(total % 24));
        if (Has("DAYS")) SetInt("DAYS", uint32_t(int64_t(Int("DAYS")) + total / 24));
      }
    }
  }

  StepRemainderMs += dt;
  int64_t steps = StepRemainderMs / StepMs;
  StepRemainderMs %= StepMs;
  if (steps > MaxStepsPerUpdate) {
    Phase += double(steps - MaxStepsPerUpdate) * StepMs / 1000.0;
    steps = MaxStepsPerUpdate;
  }
  for (int64_t s = 0; s < steps; ++s) Step(StepMs);

  // Network watchdog: no frame for this module within NETWDT tenths of a second.
  if (Has("NETWDT") && Int("NETWDT") > 0 && !WatchdogTripped &&
      Now - LastNetworkMs > int64_t(Int("NETWDT")) * 100) {
    WatchdogTripped = true;
    if (Has("NWDTSTATUS")) SetInt("NWDTSTATUS", 1);
    if (Family == TModelFamily::DiscreteIo && (Int("OUTCONTROL") & 2))
      SetInt("DIGOUTPUT", Int("SAFEDIGOUTPUT"));
    if (Family == TModelFamily::AnalogOutput) {
      const uint32_t control = Int("OUTPUTCONTROL");
      if (control & 2) SetReal("SETPOINTCH1", Real("OUTPUTSAFECH1"));
      if (control & 8) SetReal("SETPOINTCH2", Real("OUTPUTSAFECH2"));
    }
  }
}

void TSimModule::Step(int64_t stepMs) {
  const double seconds = double(stepMs) / 1000.0;
  Phase += seconds;
  ++StepCount;
  switch (Family) {
    case TModelFamily::DiscreteIo: StepDiscrete(true); break;
    case TModelFamily::SignalInput:
    case TModelFamily::RtdInput: StepAnalogInputs(false); break;
    case TModelFamily::AnalogOutput: StepOutputs(seconds); break;
    case TModelFamily::None: break;
  }
}

void TSimModule::StepDiscrete(bool randomChanges) {
  const int channels = Channels;
  const uint32_t all = (1u << channels) - 1;
  const uint32_t outputs = Has("DIRECTION") ? Int("DIRECTION") & all : 0;
  if (randomChanges && RandomInputs) {
    // Each input changes about every four seconds on average.
    std::uniform_int_distribution<int> chance(0, 79);
    for (int ch = 0; ch < channels; ++ch)
      if (chance(Random) == 0) RawInputs ^= 1u << ch;
  }
  uint32_t in = (RawInputs ^ Int("INPUTLOGIC")) & all & ~outputs;
  in |= Int("DIGOUTPUT") & outputs;  // a channel that works as an output reads back its state
  const uint32_t rising = in & ~LastInputs;
  const uint32_t falling = ~in & LastInputs & all;
  LastInputs = in;
  SetInt("DIGINPUT", in);
  SetInt("LHDIGINPUT", Int("LHDIGINPUT") | rising);
  SetInt("LLDIGINPUT", Int("LLDIGINPUT") | falling);

  const uint32_t enabled = Int("COUNTENABLE");
  const uint32_t front = Int("COUNTFRONT");
  const uint32_t down = Int("COUNTDIRECTION");
  uint32_t overflow = Int("OVFFLAGS");
  for (int ch = 0; ch < channels; ++ch) {
    const uint32_t bit = 1u << ch;
    if (!(enabled & bit) || !((front & bit ? falling : rising) & bit)) continue;
    const std::string name = "COUNTER" + std::to_string(ch + 1);
    if (!Has(name)) continue;
    uint32_t count = Int(name);
    if (down & bit) {
      if (count == 0) { count = 0xFFFF; overflow |= bit; } else --count;
    } else {
      if (count == 0xFFFF) { count = 0; overflow |= bit; } else ++count;
    }
    SetInt(name, count);
  }
  SetInt("OVFFLAGS", overflow);
}

void TSimModule::StepAnalogInputs(bool everyChannel) {
  const bool eta = Family == TModelFamily::SignalInput;
  const int channels = Channels;
  uint32_t& broken = InputFlags[0];
  uint32_t& over = InputFlags[1];
  uint32_t& under = InputFlags[2];
  std::normal_distribution<double> noise(0.0, 1.0);
  for (int ch = 1; ch <= channels; ++ch) {
    const std::string n = std::to_string(ch);
    const std::string input = "ANALOGINPUT" + n;
    if (!Has(input)) continue;
    const uint32_t bit = 1u << (ch - 1);
    const int period = ScanPeriod(eta, Has("PRIOR" + n) ? Int("PRIOR" + n) : 1);
    if (period == 0) {  // not measured: nothing to report either
      broken &= ~bit;
      over &= ~bit;
      under &= ~bit;
      continue;
    }
    if (!everyChannel && StepCount % period != 0) continue;
    const uint32_t type = Has("INPTYPE" + n) ? Int("INPTYPE" + n) : 0;
    const bool thermocouple = eta && type >= 5;
    broken &= ~bit;
    over &= ~bit;
    under &= ~bit;
    if (SensorBreak & bit) {
      broken |= bit;
      if (thermocouple || !eta) over |= bit;  // an open thermocouple or thermometer reads upscale
      continue;
    }
    const double filter = Has("FILTER" + n) ? double(Int("FILTER" + n)) : 0.0;
    const double wave = MovingInputs ? std::sin(Phase * 2 * M_PI / (40.0 + 7 * ch)) : 0.0;
    const double jitter = MovingInputs ? noise(Random) / (1.0 + filter) : 0.0;
    double value;
    TRange range;
    if (eta) {
      range = EtaRange(type);
      if (thermocouple) {
        // Thermocouples: process temperatures, in degrees Celsius.
        value = 20.0 + 35.0 * ch + 3.0 * wave + 0.05 * jitter;
      } else {
        // Linear inputs: channel 7 runs near the top of its range and crosses it now and then;
        // channel 2 gets a slightly negative signal (wired the wrong way round) and stays
        // below its range.
        const double centre = ch == 7 ? 0.97 : ch == 2 ? -0.012 : 0.3 + 0.05 * ch;
        const double swing = ch == 2 ? 0.004 : 0.06;
        const double span = range.High - range.Low;
        value = range.Low + span * (centre + swing * wave) + span * 0.001 * jitter;
      }
    } else {
      // Resistance thermometers, reported in ohms: nominal resistance at about 20..45 degrees.
      static constexpr double nominal[5] = {50, 100, 200, 500, 1000};
      const double r0 = type < 5 ? nominal[type] : 100;
      const double t = 20.0 + 10.0 * ch + 1.5 * wave + 0.02 * jitter;
      value = r0 * (1.0 + 0.00385 * t);
      range = {r0 * 0.8, r0 * 3.3};
    }
    if (Signals[ch - 1]) value = *Signals[ch - 1];
    if (value > range.High) over |= bit;
    if (value < range.Low) under |= bit;
    if (eta && Has("MAPENABLE") && (Int("MAPENABLE") & bit)) {
      const double lbs = Real("LBS" + n), hbs = Real("HBS" + n);
      const double lbt = Real("LBT" + n), hbt = Real("HBT" + n);
      if (hbs != lbs) value = lbt + (value - lbs) * (hbt - lbt) / (hbs - lbs);
    }
    SetReal(input, value);
  }
  Report("TCOD", broken, Reported[0]);
  Report("OVRD", over, Reported[1]);
  Report("UNRD", under, Reported[2]);
  if (Has("CJT")) SetReal("CJT", 24.0 + (MovingInputs ? 0.5 * std::sin(Phase / 300.0) : 0.0));
}

void TSimModule::StepOutputs(double seconds) {
  const uint32_t tuning = Has("TUNINGENABLE") ? Int("TUNINGENABLE") : 0;
  uint32_t open = OpenLoad, shorted = ShortedLoad;
  if (MovingInputs) {
    // The demo's wiring: channel 1's current loop is open for the first 15 s of every minute,
    // channel 2's load is shorted from second 30 to 45.
    const double second = std::fmod(Phase, 60.0);
    if (second < 15) open |= 1;
    if (second >= 30 && second < 45) shorted |= 2;
  }
  uint32_t diagnostics = 0;
  for (int ch = 1; ch <= 2; ++ch) {
    const std::string n = std::to_string(ch);
    if (!Has("OUTPUTCH" + n) || !Has("OUTTYPE" + n)) continue;
    TRange range{};
    bool voltage = false;
    if (!OutputRange(Int("OUTTYPE" + n), range, voltage)) {
      SetReal("OUTPUTCH" + n, 0.0);
      continue;
    }
    const bool tuningThis = tuning == uint32_t(ch);
    double target = tuningThis ? range.High : Real("SETPOINTCH" + n);
    if (!std::isfinite(target)) target = range.Low;
    target = std::clamp(target, range.Low, range.High);
    double out = Real("OUTPUTCH" + n);
    const uint32_t slew = Has("SLEWRATE" + n) ? Int("SLEWRATE" + n) : 0;
    if (slew == 0 || tuningThis || !std::isfinite(out)) {
      out = target;
    } else {
      // A new output type starts from the nearest value of its range.
      out = std::clamp(out, range.Low, range.High);
      const double rate = (voltage ? 0.0625 : 0.125) * std::ldexp(1.0, int(std::min(slew, 15u)) - 1);
      const double step = rate * seconds;
      out += std::clamp(target - out, -step, step);
    }
    SetReal("OUTPUTCH" + n, out);
    const uint32_t bit = 1u << (ch - 1);
    const int first = 4 * (ch - 1);  // broken load bit 0 or 4, overload bit 2 or 6
    if (!voltage && (open & bit)) diagnostics |= 1u << first;
    if (voltage && (shorted & bit) && out > 0) diagnostics |= 1u << (first + 2);
  }
  Report("OUTPUTDGNS", diagnostics, Reported[3]);
}

#include "models/BusTrace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "comm/prPort.h"

namespace {

// The register the request addresses in one map; nullptr when the map has none there.
const TRegisterDef* FindIn(std::span<const TRegisterDef> map, const TExchangeRecord& r) {
  const auto& q = r.Request;
  for (const TRegisterDef& def : map) {
    if (r.Protocol == ptVela && def.Bank == q[1] && def.RegNo == q[2]) return &def;
    if (r.Protocol == ptModbus && def.ModbusAddress == (q[2] << 8 | q[3])) return &def;
  }
  return nullptr;
}

// The register in the module's map, or the one every model agrees on.
const TRegisterDef* FindRegister(const TExchangeRecord& r, int modelIndex) {
  if (modelIndex > 0) return FindIn(RegisterMap(modelIndex), r);
  const TRegisterDef* found = nullptr;
  for (int i = 1; i < ModelCount; ++i) {
    const TRegisterDef* def = FindIn(RegisterMap(i), r);
    if (!def) continue;
    if (found && std::strcmp(found->Name, def->Name) != 0) return nullptr;
    found = def;
  }
  return found;
}

// The value of a read from its reply, through the register's own decoder.
std::string ReadValue(TprDevReg& reg, const TExchangeRecord& r) {
  const int n = int(r.Reply.size());
  if (r.Protocol == ptVela) {
    TVelaRecord reply{};
    if (n > int(sizeof reply.Frame)) return {};
    std::memcpy(reply.Frame, r.Reply.data(), size_t(n));
    reply.RequestLength = n;
    return reg.DecodeVelaReply(reply) ? reg.ValueText : std::string();
  }
  TModbusRecord reply{};
  if (n > int(sizeof reply.Frame)) return {};
  std::memcpy(reply.Frame, r.Reply.data(), size_t(n));
  reply.RequestLength = n;
  return reg.DecodeModbusReply(reply) ? reg.ValueText : std::string();
}

// The value a write carries: its request recast as the reply to a read of the register.
std::string WrittenValue(TprDevReg& reg, const TExchangeRecord& r) {
  const auto& q = r.Request;
  const int n = int(q.size());
  if (r.Protocol == ptVela) {
    TVelaRecord reply{};
    if (n < 6 || n > int(sizeof reply.Frame)) return {};
    std::memcpy(reply.Frame, q.data(), size_t(n));
    reply.Frame[3] = 0x00;
    reply.Frame[4] &= 0x0F;
    reply.RequestLength = n;
    SealCrc8(reply.Frame, n);
    return reg.DecodeVelaReply(reply) ? reg.ValueText : std::string();
  }
  if (n < 9) return {};
  TModbusRecord reply{};
  // The read takes as many words as its register count says; a text's write one word fewer.
  const int words = (reg.ModbusRead.Frame[4] << 8) | reg.ModbusRead.Frame[5];
  const int bytes = std::min(2 * words, int(sizeof reply.Frame) - 5);
  reply.Frame[0] = q[0];
  reply.Frame[1] = 0x03;
  reply.Frame[2] = uint8_t(bytes);
  std::memcpy(reply.Frame + 3, q.data() + 7, size_t(std::clamp(std::min<int>(q[6], n - 9), 0, bytes)));
  reply.RequestLength = bytes + 5;
  SealCrc16(reply.Frame, bytes + 5);
  return reg.DecodeModbusReply(reply) ? reg.ValueText : std::string();
}

// The search probe reads the model code, which no map lists.
bool IsProbe(const TExchangeRecord& r) {
  const auto& q = r.Request;
  if (r.Protocol == ptVela) return q[1] == 0x01 && q[2] == 0x00 && q[3] == 0x00;
  return q[1] == 0x03 && q[2] == 0x01 && q[3] == 0x00;
}

}  // namespace

TExchangeMeaning DecodeExchange(const TExchangeRecord& r, int modelIndex) {
  TExchangeMeaning m;
  if (r.Request.size() < 5 || (r.Protocol != ptVela && r.Protocol != ptModbus)) return m;
  m.Write = r.Protocol == ptVela ? r.Request[3] == 0x01 : r.Request[1] == 0x10;
  if (!m.Write && IsProbe(r)) {
    m.Register = ResStr("код модели");
    const size_t at = r.Protocol == ptVela ? 5 : 4;
    if (r.Outcome == TExchangeOutcome::Answered && r.Reply.size() > at) {
      const int code = r.Reply[at];
      const int model = ModelIndexFromProbe(uint8_t(code));
      m.Value = std::to_string(code) + (model > 0 ? std::string(" ") + ModelNames[model].Name : "");
    }
    return m;
  }
  const TRegisterDef* def = FindRegister(r, modelIndex);
  if (!def) return m;
  m.Register = def->Name;
  TprDevReg reg;
  reg.Setup(r.Request[0], def->Bank, def->RegNo, def->ModbusAddress, def->StrLength, def->DataType);
  if (m.Write) m.Value = WrittenValue(reg, r);
  else if (r.Outcome == TExchangeOutcome::Answered) m.Value = ReadValue(reg, r);
  return m;
}

int ExpectedReplyLength(uint8_t protocol, const std::vector<uint8_t>& frame, int modelIndex) {
  if (protocol == ptModbus) {
    if (frame.size() >= 6 && frame[1] == 0x03) return 5 + 2 * (frame[4] << 8 | frame[5]);
    if (frame.size() >= 6 && frame[1] == 0x10) return 8;
    return int(sizeof(TModbusRecord::Frame));
  }
  if (frame.size() >= 4 && frame[3] == 0x01) return 5;  // a Vela write's acknowledgement
  if (frame.size() >= 4) {
    TExchangeRecord r;
    r.Protocol = protocol;
    r.Request = frame;
    r.Request.resize(std::max<size_t>(frame.size(), 5));
    if (IsProbe(r)) return VelaProbeTemplate().ReplyLength;
    if (const TRegisterDef* def = FindRegister(r, modelIndex)) {
      TprDevReg reg;
      reg.Setup(frame[0], def->Bank, def->RegNo, def->ModbusAddress, def->StrLength, def->DataType);
      return reg.VelaRead.ReplyLength;
    }
  }
  return int(sizeof(TVelaRecord::Frame));
}

int TModelMemory::Learn(const TExchangeRecord& r) {
  if (r.Outcome == TExchangeOutcome::Answered && r.Request.size() >= 5 && IsProbe(r)) {
    const size_t at = r.Protocol == ptVela ? 5 : 4;
    if (r.Reply.size() > at) Models[{r.Port, r.Address}] = ModelIndexFromProbe(r.Reply[at]);
  }
  return Model(r.Port, r.Address);
}

int TModelMemory::Model(const std::string& port, int address) const {
  const auto it = Models.find({port, address});
  return it == Models.end() ? 0 : it->second;
}

const char* OutcomeKey(TExchangeOutcome outcome) {
  static constexpr const char* keys[ExchangeOutcomeCount] = {
      "answered", "timeout", "checksum", "length", "exception", "late", "while_sending"};
  return keys[size_t(outcome)];
}

std::string OutcomeText(TExchangeOutcome outcome) {
  switch (outcome) {
    case TExchangeOutcome::Answered: return ResStr("ответ");
    case TExchangeOutcome::Timeout: return ResStr("нет ответа");
    case TExchangeOutcome::BadChecksum: return ResStr("ошибка контрольной суммы");
    case TExchangeOutcome::WrongLength: return ResStr("неверная длина");
    case TExchangeOutcome::Exception: return ResStr("исключение");
    case TExchangeOutcome::Late: return ResStr("запоздалые байты");
    case TExchangeOutcome::WhileSending: return ResStr("ответ во время передачи");
  }
  return {};
}

std::string TimeOfDayText(const TExchangeRecord& r) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(r.When.time_since_epoch()).count();
  const time_t seconds = time_t(ms / 1000);
  tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                local.tm_sec, int(ms % 1000));
  return text;
}

std::string ResponseText(const TExchangeRecord& r) {
  if (r.LastByteMs < 0) return {};
  std::string text;
  FormatFixed(r.LastByteMs, 1, text);
  return text;
}

std::string TraceLine(const TExchangeRecord& r, int modelIndex) {
  const TExchangeMeaning m = DecodeExchange(r, modelIndex);
  std::string line = TimeOfDayText(r) + " " + r.Port;
  if (r.Address >= 0) line += " " + std::to_string(r.Address);
  if (modelIndex > 0) line += std::string(" ") + ModelNames[modelIndex].Name;
  if (!m.Register.empty()) line += " " + m.Register;
  if (!m.Value.empty()) line += (m.Write ? " := " : " = ") + m.Value;
  line += ": " + OutcomeText(r.Outcome);
  if (r.Outcome == TExchangeOutcome::Exception) line += " " + std::to_string(r.ExceptionCode);
  if (const std::string ms = ResponseText(r); !ms.empty()) line += ", " + ms + " " + ResStr("мс");
  if (!r.Request.empty()) line += " > " + HexBytes(r.Request);
  if (!r.Reply.empty()) line += " < " + HexBytes(r.Reply);
  return line;
}

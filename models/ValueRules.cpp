#include "models/ValueRules.h"

#include <algorithm>
#include <cmath>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "comm/WireText.h"
#include "comm/prDevReg.h"

namespace {

// The least magnitude that rounds to infinity in single precision.
constexpr double kSingleOverflow = 0x1.ffffff8p+127;

// A string register reads back padded to its length on some modules.
std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

bool IntegerValue(const std::string& text, int64_t& value) {
  int32_t v = 0;
  if (!TryStrToInt(text, v)) return false;
  value = v;
  return true;
}

// Whether a list shows codes beyond its items as an item of their own.
bool OpenList(const TCodeList& list) { return list.Other >= 0; }

bool Listed(const TCodeList& list, int64_t value) {
  for (size_t i = 0; i < list.Items.size(); ++i)
    if (CodeOf(list, i) == value) return true;
  return false;
}

}  // namespace

TValueKind ValueKindOf(const TRegisterDef& def) {
  switch (def.DataType) {
    case dtString: return TValueKind::Text;
    case dtSingle: return TValueKind::Single;
    default: return def.List ? TValueKind::Code : TValueKind::Integer;
  }
}

TValueFault CheckInteger(const std::string& text, int64_t lo, int64_t hi, int64_t& value) {
  if (!IntegerValue(text, value)) return TValueFault::NotANumber;
  return value >= lo && value <= hi ? TValueFault::None : TValueFault::OutOfRange;
}

TValueFault CheckNumber(const TRegisterDef& def, int64_t value, bool force) {
  if (!AcceptsNumber(def, value)) return TValueFault::OutOfRange;
  // A list that shows no item for other codes holds every code the module knows: a code beyond
  // it (a baud rate no module has) would leave the module unreachable or undefined. Another
  // list's codes are the ones it names; a code beyond them only when forced.
  if (def.List && (!OpenList(*def.List) || !force) && !Listed(*def.List, value))
    return TValueFault::NotInList;
  return TValueFault::None;
}

TValueFault CheckSingle(double value) {
  // A register takes magnitudes up to 3.4e37 as single precision holds them.
  if (!std::isfinite(value) || std::fabs(value) >= kSingleOverflow ||
      std::fabs(float(value)) > 3.4e37f)
    return TValueFault::OutOfRange;
  return TValueFault::None;
}

TValueCheck CheckValue(const TRegisterDef& def, const std::string& text, bool force) {
  TValueCheck check;
  switch (ValueKindOf(def)) {
    case TValueKind::Text: {
      // The module holds the text one byte per character in its code page.
      std::string bytes;
      if (!EncodeWireText(text, bytes))
        check.Fault = TValueFault::Unencodable;
      else if (int32_t(bytes.size()) > def.StrLength)
        check.Fault = TValueFault::TooLong;
      break;
    }
    case TValueKind::Single:
      if (CheckSingleRange(text))
        check.Fault = TryStrToFloat(text, check.Real) ? TValueFault::OutOfRange
                                                      : TValueFault::NotANumber;
      else
        TryStrToFloat(text, check.Real);
      break;
    case TValueKind::Integer:
    case TValueKind::Code:
      check.Fault = IntegerValue(text, check.Integer) ? CheckNumber(def, check.Integer, force)
                                                      : TValueFault::NotANumber;
      break;
  }
  return check;
}

std::string ValueExpected(const TRegisterDef& def, TValueFault fault, bool force) {
  switch (ValueKindOf(def)) {
    case TValueKind::Text:
      if (fault == TValueFault::TooLong)
        return "at most " + std::to_string(def.StrLength) + " characters";
      return "a text of Windows-1251 characters";
    case TValueKind::Single: return "a number of magnitude up to 3.4e37";
    case TValueKind::Integer:
    case TValueKind::Code: break;
  }
  if (fault != TValueFault::NotInList) {
    int64_t lo = 0, hi = 0;
    NumberRange(def, lo, hi);
    return "an integer " + std::to_string(lo) + ".." + std::to_string(hi);
  }
  std::string why = "one of";
  for (size_t i = 0; i < def.List->Items.size(); ++i)
    why += (i ? ", " : " ") + std::to_string(CodeOf(*def.List, i));
  if (OpenList(*def.List) && !force) why += " (another code only with --force)";
  return why;
}

bool CheckValueText(const TRegisterDef& def, const std::string& text, std::string& why,
                    bool force) {
  const TValueCheck check = CheckValue(def, text, force);
  if (!check) why = ValueExpected(def, check.Fault, force);
  return bool(check);
}

bool FormatValue(const TprDevReg& reg, int decimals, std::string& shown) {
  if (decimals == kAsRead) {
    shown = reg.ValueText;
    return !shown.empty();
  }
  return reg.HasNumber && FormatFixed(reg.Number, decimals, shown);
}

bool FormatValue(const TprDevReg& reg, std::string& shown) {
  return FormatValue(reg, reg.Def ? reg.Def->Decimals : kAsRead, shown);
}

std::string NoValueText() { return ResStr("Н/Д"); }
std::string BadValueText() { return ResStr("Ошибка"); }

std::string ShownValue(const TprDevReg& reg, bool read, int decimals) {
  if (!read) return NoValueText();
  std::string shown;
  return FormatValue(reg, decimals, shown) ? shown : BadValueText();
}

std::string ShownValue(const TprDevReg& reg, bool read) {
  return ShownValue(reg, read, reg.Def ? reg.Def->Decimals : kAsRead);
}

bool SameValue(const TRegisterDef& def, const std::string& a, const std::string& b) {
  switch (ValueKindOf(def)) {
    case TValueKind::Text: return TrimRight(a) == TrimRight(b);
    case TValueKind::Single: {
      double x = 0, y = 0;
      if (!TryStrToFloat(a, x) || !TryStrToFloat(b, y)) return a == b;
      // The module holds single precision; the text of a read shows five decimals.
      return float(x) == float(y) || std::fabs(x - y) <= 0.5e-5 * std::max(1.0, std::fabs(x));
    }
    case TValueKind::Integer:
    case TValueKind::Code: break;
  }
  int64_t x = 0, y = 0;
  if (!IntegerValue(a, x) || !IntegerValue(b, y)) return a == b;
  return x == y;
}

// What a user types into a number field or the time field, in both decimal separators and under
// the usual long time formats (or any format text at all). Beyond "no crash":
// - an integer is accepted only in the form [blanks][sign]digits and with the value that form
//   spells; its decimal text parses back to it, and the range check passes it exactly when it
//   lies within the bounds;
// - a real number is accepted only when it is finite; its fixed-point text parses back and
//   gives the same text again;
// - an accepted time of day lies within 0:00:00..23:59:59, and under a usual format the text
//   shown for it parses back to the same time.
#include <cmath>
#include <string>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "fuzz/FuzzInput.h"
#include "models/ValueRules.h"
#include "pages/PageRules.h"

namespace {

// Long time formats as locales give them.
const char* const UsualFormats[] = {"hh:mm:ss", "H:mm:ss",       "h:mm:ss AP", "hh:mm:ss ap",
                                    "HH.mm.ss", "H:mm:ss' Uhr'", "h:mm:ss a",  "HH:mm:ss t"};
constexpr int UsualFormatCount = int(sizeof UsualFormats / sizeof UsualFormats[0]);

// The integer a text spells in the entry form, or false.
bool SpelledInteger(const std::string& text, int64_t& value) {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return false;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  if (i == text.size()) return false;
  value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (value > (int64_t(1) << 40)) return false;  // far beyond any 32-bit value
    value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  return true;
}

void CheckNumbers(const std::string& text, int64_t lo, int64_t hi, const fuzz::TDetail& detail) {
  int32_t v = 0;
  int64_t spelled = 0;
  const bool fits = SpelledInteger(text, spelled) && spelled >= INT32_MIN && spelled <= INT32_MAX;
  const bool accepted = TryStrToInt(text, v);
  FUZZ_CHECK(accepted == fits, "an integer text is judged otherwise than it is spelled", detail);
  if (accepted) {
    FUZZ_CHECK(v == spelled, "an integer text gives another value", detail);
    int32_t back = 0;
    FUZZ_CHECK(TryStrToInt(std::to_string(v), back) && back == v, "a value does not parse back",
               detail);
    int64_t checked = 0;
    const bool inRange = CheckInteger(text, lo, hi, checked) == TValueFault::None;
    FUZZ_CHECK(inRange == (v >= lo && v <= hi), "the range check misjudges", detail);
    FUZZ_CHECK(!inRange || checked == v, "the range check gives another value", detail);
  }

  double d = 0;
  if (TryStrToFloat(text, d)) {
    FUZZ_CHECK(std::isfinite(d), "a real number that is not finite", detail);
    for (int decimals : {5, 8}) {
      std::string shown, again;
      FUZZ_CHECK(FormatFixed(d, decimals, shown), "a finite number cannot be shown", detail);
      double back = 0;
      FUZZ_CHECK(TryStrToFloat(shown, back), "a number shown does not parse back",
                 detail + " shown '" + shown + "'");
      FUZZ_CHECK(FormatFixed(back, decimals, again) && again == shown,
                 "a number shown parses back to another", detail + " shown '" + shown + "'");
    }
  }
}

void CheckTime(const std::string& text, bool usual, const fuzz::TDetail& detail) {
  int h = -1, m = -1, s = -1;
  if (ParseTimeOfDay(text, h, m, s)) {
    FUZZ_CHECK(h >= 0 && h <= 23 && m >= 0 && m <= 59 && s >= 0 && s <= 59,
               "a time of day out of its ranges", detail);
    const std::string shown = FormatTimeOfDay(h, m, s);
    int h2 = -1, m2 = -1, s2 = -1;
    if (usual)
      FUZZ_CHECK(ParseTimeOfDay(shown, h2, m2, s2) && h2 == h && m2 == m && s2 == s,
                 "a time shown parses back to another", detail + " shown '" + shown + "'");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TReader in(data, size);
  const char sep = fuzz::ReadSeparator(in);
  TFormatGuard guard(sep);
  // [format]: an index into the usual formats, or 0xFF followed by [length][format text].
  const uint8_t format = in.Byte();
  const bool usual = format != 0xFF;
  if (usual) {
    FormatSettings().LongTimeFormat = UsualFormats[format % UsualFormatCount];
  } else {
    const std::vector<uint8_t> f = in.Take(in.Byte() % 32);
    FormatSettings().LongTimeFormat.assign(f.begin(), f.end());
  }
  const int64_t lo = int16_t(in.Word()), hi = lo + in.Word();
  const std::vector<uint8_t> bytes = in.Rest();
  const std::string text(bytes.begin(), bytes.end());
  const fuzz::TDetail detail([&] {
    return std::string("separator '" + std::string(1, sep) + "', time format '" +
                       FormatSettings().LongTimeFormat + "', text " +
                       fuzz::Hex(bytes.data(), int(bytes.size())));
  });
  CheckNumbers(text, lo, hi, detail);
  CheckTime(text, usual, detail);
  // A time of day shown under the format parses back (the bounds' words pick it).
  if (usual) {
    const int hour = int(uint64_t(lo - INT16_MIN) % 24), minute = int((hi - lo) % 60),
              second = int(uint64_t(lo - INT16_MIN) / 24 % 60);
    int h = -1, m = -1, s = -1;
    const std::string shown = FormatTimeOfDay(hour, minute, second);
    FUZZ_CHECK(ParseTimeOfDay(shown, h, m, s) && h == hour && m == minute && s == second,
               "a time shown does not parse back", detail + " shown '" + shown + "'");
  }
  return 0;
}

#include "pages/PageRules.h"

#include <cctype>
#include <cstdio>

#include "comm/Resources.h"

// ---- time of day

namespace {
enum class TTok { Hour24, Hour12, Minute, Second, Milli, AmPm, Skip, Literal };
struct TToken {
  TTok Kind;
  int Width;  // digits shown (1 or 2, 3 for milliseconds); for AmPm 1 = "A", 2 = "AP"
  bool Lower = false;
  std::string Text;  // literal
};

std::vector<TToken> Tokenize(const std::string& format) {
  std::vector<TToken> tokens;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < format.size() && format[i + n] == c) ++n;
    return n;
  };
  while (i < format.size()) {
    const char c = format[i];
    if (c == '\'') {
      const size_t end = format.find('\'', i + 1);
      const std::string lit = format.substr(i + 1, end == std::string::npos ? std::string::npos
                                                                             : end - i - 1);
      tokens.push_back({TTok::Literal, 0, false, lit.empty() ? "'" : lit});
      i = end == std::string::npos ? format.size() : end + 1;
      continue;
    }
    if (c == 'H' || c == 'h' || c == 'm' || c == 'n' || c == 's' || c == 'z') {
      const size_t n = run(c);
      TTok kind = c == 'H' ? TTok::Hour24
                  : c == 'h' ? TTok::Hour12
                  : (c == 'm' || c == 'n') ? TTok::Minute
                  : c == 's' ? TTok::Second
                             : TTok::Milli;
      const int width = kind == TTok::Milli ? (n >= 3 ? 3 : 1) : (n >= 2 ? 2 : 1);
      tokens.push_back({kind, width, false, {}});
      i += n;
      continue;
    }
    if (c == 'A' || c == 'a') {
      const bool two = i + 1 < format.size() && (format[i + 1] == 'P' || format[i + 1] == 'p');
      tokens.push_back({TTok::AmPm, two ? 2 : 1, c == 'a', {}});
      i += two ? 2 : 1;
      continue;
    }
    if (std::isalpha(static_cast<unsigned char>(c))) {
      // Time zone and other letters the time of day has no value for.
      tokens.push_back({TTok::Skip, 0, false, {}});
      i += run(c);
      continue;
    }
    if (!tokens.empty() && tokens.back().Kind == TTok::Literal)
      tokens.back().Text += c;
    else
      tokens.push_back({TTok::Literal, 0, false, std::string(1, c)});
    ++i;
  }
  // A 12-hour field counts only when an AM/PM marker goes with it.
  bool ampm = false;
  for (const auto& t : tokens) ampm = ampm || t.Kind == TTok::AmPm;
  if (!ampm)
    for (auto& t : tokens)
      if (t.Kind == TTok::Hour12) t.Kind = TTok::Hour24;
  return tokens;
}

std::string Digits(int value, int width) {
  std::string s = std::to_string(value);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string FormatTimeOfDay(int hours, int minutes, int seconds) {
  std::string out;
  for (const TToken& t : Tokenize(FormatSettings().LongTimeFormat)) {
    switch (t.Kind) {
      case TTok::Hour24: out += Digits(hours, t.Width); break;
      case TTok::Hour12: out += Digits(hours % 12 == 0 ? 12 : hours % 12, t.Width); break;
      case TTok::Minute: out += Digits(minutes, t.Width); break;
      case TTok::Second: out += Digits(seconds, t.Width); break;
      case TTok::Milli: out += Digits(0, t.Width); break;
      case TTok::AmPm: {
        std::string m = hours < 12 ? "AM" : "PM";
        if (t.Width == 1) m.resize(1);
        if (t.Lower)
          for (char& ch : m) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        out += m;
        break;
      }
      case TTok::Skip: break;
      case TTok::Literal: out += t.Text; break;
    }
  }
  // A skipped zone leaves a dangling blank behind.
  while (!out.empty() && IsSpace(out.back())) out.pop_back();
  return out;
}

std::vector<std::string> TimeOfDayTexts() {
  std::vector<std::string> texts;
  for (int hour = 0; hour < 24; ++hour) texts.push_back(FormatTimeOfDay(hour, 58, 58));
  return texts;
}

bool ParseTimeOfDay(const std::string& text, int& hours, int& minutes, int& seconds) {
  const std::vector<TToken> tokens = Tokenize(FormatSettings().LongTimeFormat);
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && IsSpace(text[i])) ++i;
  };
  auto number = [&](int maxDigits, int& value) {
    skipBlanks();
    int n = 0;
    value = 0;
    while (i < text.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = value * 10 + (text[i++] - '0');
      ++n;
    }
    return n > 0;
  };
  int h = -1, m = -1, s = 0, pm = -1;
  bool twelve = false;
  for (const TToken& t : tokens) {
    skipBlanks();
    if (i >= text.size()) {
      // The text may stop after the minutes: the seconds and what follows them are optional.
      if (t.Kind == TTok::Hour24 || t.Kind == TTok::Hour12 || t.Kind == TTok::Minute) return false;
      continue;
    }
    int v = 0;
    switch (t.Kind) {
      case TTok::Hour24:
      case TTok::Hour12:
        if (!number(2, v)) return false;
        h = v;
        twelve = t.Kind == TTok::Hour12;
        break;
      case TTok::Minute:
        if (!number(2, v)) return false;
        m = v;
        break;
      case TTok::Second:
        if (!number(2, v)) return false;
        s = v;
        break;
      case TTok::Milli:
        if (!number(3, v)) return false;
        break;
      case TTok::AmPm: {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        if (c != 'A' && c != 'P') return false;
        pm = c == 'P';
        ++i;
        if (i < text.size() && std::toupper(static_cast<unsigned char>(text[i])) == 'M') ++i;
        break;
      }
      case TTok::Skip:
        while (i < text.size() && !IsSpace(text[i])) ++i;
        break;
      case TTok::Literal: {
        std::string lit = t.Text;
        while (!lit.empty() && IsSpace(lit.front())) lit.erase(lit.begin());
        while (!lit.empty() && IsSpace(lit.back())) lit.pop_back();
        if (text.compare(i, lit.size(), lit) != 0) return false;
        i += lit.size();
        break;
      }
    }
  }
  skipBlanks();
  if (i != text.size() || h < 0 || m < 0) return false;
  if (twelve) {
    if (h < 1 || h > 12 || pm < 0) return false;
    h = h % 12 + (pm ? 12 : 0);
  }
  if (h > 23 || m > 59 || s > 59) return false;
  hours = h;
  minutes = m;
  seconds = s;
  return true;
}

std::string SelfDiagText(int32_t value) {
  const int e = value & 0x7FFF;
  if (e == 0) return ResStr("Нет ошибок");
  char hex[16];
  std::snprintf(hex, sizeof hex, "%04X", e);
  return ResStr("Код ошибки: ") + hex;
}

// ---- indication modes

const std::vector<TIndicationMode>& DiscreteModes() {
  static const std::vector<TIndicationMode> modes{
      {"Тест", 0x002},   {"По сети RS-485", 0x004}, {"Входы", 0x108},
      {"Выходы", 0x208}, {"Входы и выходы", 0x408},
  };
  return modes;
}

const std::vector<TIndicationMode>& AnalogModes(bool outputs) {
  static const std::vector<TIndicationMode> inputs{
      {"Тест", 0x00002},
      {"По сети RS-485", 0x00004},
      {"Входы", 0x00108},
      {"Входы и диагностика", 0x00208},
      {"Минуты и секунды во включенном состоянии", 0x12008},
      {"Часы и минуты во включенном состоянии", 0x22008},
      {"Сутки во включенном состоянии", 0x42008},
  };
  static const std::vector<TIndicationMode> outputList{
      {"Тест", 0x00002},
      {"По сети RS-485", 0x00004},
      {"Выходы", 0x00108},
      {"Выходы и диагностика", 0x00208},
      {"Минуты и секунды во включенном состоянии", 0x12008},
      {"Часы и минуты во включенном состоянии", 0x22008},
      {"Сутки во включенном состоянии", 0x42008},
  };
  return outputs ? outputList : inputs;
}

int ModeIndexOf(const std::vector<TIndicationMode>& modes, uint32_t value) {
  if (modes.size() > 0 && (value & 2)) return 0;
  if (modes.size() > 1 && (value & 4)) return 1;
  for (size_t i = 2; i < modes.size(); ++i)
    if ((value & modes[i].Code) == modes[i].Code) return static_cast<int>(i);
  return -1;
}

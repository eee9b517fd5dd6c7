#include "comm/Resources.h"

#include <libintl.h>
#include <locale.h>

std::string ResStr(const char* text) { return *text ? dgettext("default", text) : ""; }

std::string ResStr(const std::string& text) { return ResStr(text.c_str()); }

std::string CPortStr(const char* text) { return *text ? dgettext("cport", text) : ""; }

std::string FillIn(const std::string& format, std::initializer_list<std::string> args) {
  std::string out;
  auto arg = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format.compare(i, 2, "%s") == 0 && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

void BindTextDomains(const std::string& localeDir) {
  bindtextdomain("default", localeDir.c_str());
  bind_textdomain_codeset("default", "UTF-8");
  bindtextdomain("cport", localeDir.c_str());
  bind_textdomain_codeset("cport", "UTF-8");
}

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

void LoadFormatSettingsFromLocale() {
  const lconv* conv = localeconv();
  if (conv && conv->decimal_point && conv->decimal_point[0] && !conv->decimal_point[1])
    FormatSettings().DecimalSeparator = conv->decimal_point[0];
}

#pragma once
// Resource strings of the program and the locale format settings shared by codecs and pages.
#include <initializer_list>
#include <string>

// Looks a text up in the translation domain "default"; with no catalogue it comes back as is.
// The empty text stays empty (gettext would give the catalogue's header for it).
std::string ResStr(const char* text);
std::string ResStr(const std::string& text);
// Looks a serial line text up in the translation domain "cport".
std::string CPortStr(const char* text);
// Marks a serial line text for the "cport" catalogue where it is written (a table entry); it
// is looked up with CPortStr where it is shown.
constexpr const char* CPortText(const char* text) { return text; }
// The text with each "%s" replaced by the next argument, in order (a looked-up text keeps its
// arguments wherever the translation puts them).
std::string FillIn(const std::string& format, std::initializer_list<std::string> args);
// Binds the two translation domains to a locale folder (the program does this at start).
void BindTextDomains(const std::string& localeDir);

// The format settings read once from the user's locale: the decimal separator and the long
// time format ("HH:mm:ss" style, the letters of strftime-free patterns: H, h, m, s, AP).
struct TFormatSettings {
  char DecimalSeparator = '.';
  std::string LongTimeFormat = "hh:mm:ss";
};

TFormatSettings& FormatSettings();
// Reads the decimal separator from the C library's current locale (LC_NUMERIC).
void LoadFormatSettingsFromLocale();

// Replaces the format settings for the lifetime of the guard (tests run with "," and ".").
class TFormatGuard {
 public:
  explicit TFormatGuard(char decimalSeparator) : Saved(FormatSettings()) {
    FormatSettings().DecimalSeparator = decimalSeparator;
  }
  ~TFormatGuard() { FormatSettings() = Saved; }
  TFormatGuard(const TFormatGuard&) = delete;
  TFormatGuard& operator=(const TFormatGuard&) = delete;

 private:
  TFormatSettings Saved;
};

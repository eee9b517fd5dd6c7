#pragma once
// The program's English catalogues (built beside the test programs) in force for a scope, and
// a check for Russian left in a text.
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "comm/Resources.h"

// Bumped to make gettext drop the translations it has cached, as its manual tells a program
// that changes LANGUAGE while it runs.
extern "C" int _nl_msg_cat_cntr;

class TEnglishGuard {
 public:
  TEnglishGuard() {
    if (const char* language = std::getenv("LANGUAGE")) Saved = language;
    Messages = std::setlocale(LC_MESSAGES, nullptr);
    std::error_code error;
    const auto folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    BindTextDomains((folder / "locale").string());
    setenv("LANGUAGE", "en", 1);
    // gettext ignores LANGUAGE in the plain C locale.
    std::setlocale(LC_MESSAGES, "C.UTF-8");
    ++_nl_msg_cat_cntr;
  }
  ~TEnglishGuard() {
    if (Saved.empty()) unsetenv("LANGUAGE");
    else setenv("LANGUAGE", Saved.c_str(), 1);
    std::setlocale(LC_MESSAGES, Messages.c_str());
    ++_nl_msg_cat_cntr;
  }
  TEnglishGuard(const TEnglishGuard&) = delete;
  TEnglishGuard& operator=(const TEnglishGuard&) = delete;

 private:
  std::string Saved, Messages;
};

// Whether a UTF-8 text holds a Cyrillic letter (U+0400..U+04FF: lead bytes 0xD0..0xD3).
inline bool HasCyrillic(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0xD0 && c <= 0xD3) return true;
  return false;
}

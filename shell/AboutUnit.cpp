#include "shell/AboutUnit.h"

#include <cstdio>
#include <stdexcept>

#include "comm/Resources.h"

#define ORBIS_TEXT_OF(x) #x
#define ORBIS_TEXT(x) ORBIS_TEXT_OF(x)

namespace {
// A version part as the build defined it; an empty or missing definition gives none.
bool ParsePart(const char* text, unsigned& value) {
  if (!text || !*text) return false;
  value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + unsigned(*p - '0');
    if (value > 0xFFFF) return false;
  }
  return true;
}
}  // namespace

std::optional<TVersionParts> StampedVersion() {
#if defined(ORBIS_VERSION_MAJOR) && defined(ORBIS_VERSION_MINOR) && \
    defined(ORBIS_VERSION_PATCH) && defined(ORBIS_VERSION_TWEAK)
  const char* texts[4] = {ORBIS_TEXT(ORBIS_VERSION_MAJOR), ORBIS_TEXT(ORBIS_VERSION_MINOR),
                          ORBIS_TEXT(ORBIS_VERSION_PATCH), ORBIS_TEXT(ORBIS_VERSION_TWEAK)};
  TVersionParts parts{};
  for (int i = 0; i < 4; ++i)
    if (!ParsePart(texts[i], parts[i])) return std::nullopt;
  return parts;
#else
  return std::nullopt;
#endif
}

std::string GetBuildInfo(const std::optional<TVersionParts>& version) {
  if (!version) return ResStr("[нет информации о версии]");
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (*version)[0], (*version)[1], (*version)[2],
                (*version)[3]);
  return text;
}

std::string GetBuildInfo() { return GetBuildInfo(StampedVersion()); }

TAboutForm::TAboutForm(std::optional<TVersionParts> version) : Version(version) {}

void TAboutForm::FormShow(int maker1Right) {
  lbURLLeft = maker1Right + 8;
  lbVerInfo = ResStr("Версия программы: ") + GetBuildInfo(Version) + " (pre-release)";
}

void TAboutForm::lbURLClick() {
  if (!OpenUrl || !OpenUrl(lbURL))
    throw std::runtime_error(ResStr("Не удалось открыть ссылку ") + lbURL);
}

#pragma once
// The about box (TAboutForm, rendered by the program as a modal dialog) and the program's
// version as the build stamped it.
#include <array>
#include <functional>
#include <optional>
#include <string>

using TVersionParts = std::array<unsigned, 4>;

// The four version parts compiled into the program (the project version of the build), or
// none when the build stamped none.
std::optional<TVersionParts> StampedVersion();
// "%d.%d.%d.%d" of the parts, or "[нет информации о версии]" without them.
std::string GetBuildInfo(const std::optional<TVersionParts>& version);
// The version of this program.
std::string GetBuildInfo();

class TAboutForm {
 public:
  // The version given, or the program's own when none is given.
  explicit TAboutForm(std::optional<TVersionParts> version = StampedVersion());

  // Places lbURL beside the first maker line (its right edge in pixels, measured by the view)
  // and fills the version line.
  void FormShow(int maker1Right);
  // Opens the link with OpenUrl; a failure raises an error for the default error box.
  void lbURLClick();

  static constexpr const char* Caption = "О программе";
  std::string lbProductName1 = "ORBIS Utility - конфигурационная программа ";
  std::string lbProductName2 = "для модулей серии 'ORBIS'";
  std::string lbVerInfo = "[нет информации о версии]";
  std::string lbMaker1 = "Разработка: лаборатория ORBIS, сайт:";
  std::string lbMaker2 = "Поддержка модулей и программы ведется";
  std::string lbMaker3 = "по адресу электронной почты support@orbis.example.org";
  std::string lbURL = "https://orbis.example.org";
  std::string btOK = "ОК";
  // Left edge of lbURL in pixels, set by FormShow.
  int lbURLLeft = 0;

  // The desktop's URL handler; returns false when it could not open the link.
  std::function<bool(const std::string& url)> OpenUrl;

 private:
  std::optional<TVersionParts> Version;
};

#pragma once
// Program start shared by orbis-utility and the renderer: the text domains, the locale's
// format settings, and the command line.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

struct TProgramOptions {
  // Devices named on the command line, appended to the port list.
  std::vector<std::string> Devices;
  // --demo: start the built-in demo bus and append its device.
  bool Demo = false;
};

// orbis-utility [--demo] [DEVICE...] (the arguments after the program name; Qt's own are
// already removed).
TProgramOptions ParseCommandLine(const QStringList& arguments);

// The text domains bound to <program folder>/../share/locale, and the format settings read
// from the locale (the decimal separator from the C library, the long time format from Qt).
// Leaves LC_NUMERIC at "C": the codecs apply the separator themselves.
void InitProgramLocale();

// A Qt long time format ("HH:mm:ss t") as the program's time pattern: the letters H, h, m, s
// and AP and their separators, without the time zone.
std::string TimePatternFromQt(const QString& qtFormat);

// The ports to append: the named devices, then the demo bus when asked for. A demo bus that
// cannot start is reported in error and left out.
std::vector<std::string> ExtraPortsFor(const TProgramOptions& options, std::string* error);

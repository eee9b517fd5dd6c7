#pragma once
// Program start shared by orbis-utility and the renderer: the text domains, the locale's
// format settings, and the command line.
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class TMainForm;

struct TProgramOptions {
  // Devices named on the command line, appended to the port list.
  std::vector<std::string> Devices;
  // --demo: start the built-in demo bus and append its device.
  bool Demo = false;
  // --help, --version: print and end without opening a window.
  bool Help = false;
  bool Version = false;
  // A command line that cannot be used (an unknown option): the message to print; the
  // program ends with exit code 2.
  std::string Error;
};

// orbis-utility [--demo] [--help] [--version] [DEVICE...]: the arguments after the program
// name. Qt's own options (-platform NAME, -style NAME, ...) are accepted and left to Qt.
TProgramOptions ParseCommandLine(const QStringList& arguments);
// What --help and --version print (looked up in the catalogue).
std::string HelpText();
std::string VersionText();

// The catalogue folder: <program folder>/locale in the build folder, else the installed
// share/locale relative to the program folder.
QString LocaleFolder(const QString& programFolder);

// The text domains bound to LocaleFolder, and the format settings read
// from the locale (the decimal separator from the C library, the long time format from Qt).
// Leaves LC_NUMERIC at "C": the codecs apply the separator themselves.
void InitProgramLocale();

// A Qt long time format ("HH:mm:ss t") as the program's time pattern: the letters H, h, m, s
// and AP and their separators, without the time zone.
std::string TimePatternFromQt(const QString& qtFormat);

// What the demo bus's port says it is: its kind text and its tree row's tool tip.
inline constexpr const char* kDemoBusKind = "демонстрационная шина";
// Names the demo bus's port node in the tree (kind text, tool tip) and, with withModules, adds
// the demo bus's modules under it, so that they are there from the start. Nothing when no port
// is demoPath.
void ShowDemoBus(TMainForm& logic, const std::string& demoPath, bool withModules = true);

// The ports to append: the named devices, then the demo bus when asked for. A demo bus that
// cannot start is reported in error and left out.
std::vector<std::string> ExtraPortsFor(const TProgramOptions& options, std::string* error);

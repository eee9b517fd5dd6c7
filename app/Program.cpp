#include "app/Program.h"

#include <QCoreApplication>
#include <QLocale>
#include <clocale>

#include "comm/Resources.h"
#include "sim/DemoBus.h"

TProgramOptions ParseCommandLine(const QStringList& arguments) {
  TProgramOptions options;
  for (const QString& argument : arguments) {
    if (argument == QStringLiteral("--demo"))
      options.Demo = true;
    else if (!argument.isEmpty())
      options.Devices.push_back(argument.toStdString());
  }
  return options;
}

std::string TimePatternFromQt(const QString& qtFormat) {
  std::string pattern;
  const std::string text = qtFormat.toStdString();
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted) {
      pattern += c;
      continue;
    }
    if (c == 't') continue;  // the time zone
    if (c == 'z') continue;  // milliseconds
    if ((c == 'a' || c == 'A') && i + 1 < text.size() && (text[i + 1] == 'p' || text[i + 1] == 'P')) {
      pattern += "AP";
      ++i;
      continue;
    }
    pattern += c;
  }
  // The separators left around a removed part.
  while (!pattern.empty() && (pattern.back() == ' ' || pattern.back() == '.')) pattern.pop_back();
  while (!pattern.empty() && pattern.front() == ' ') pattern.erase(pattern.begin());
  return pattern.empty() ? std::string("hh:mm:ss") : pattern;
}

void InitProgramLocale() {
  BindTextDomains((QCoreApplication::applicationDirPath() + "/../share/locale").toStdString());
  std::setlocale(LC_ALL, "");
  LoadFormatSettingsFromLocale();
  std::setlocale(LC_NUMERIC, "C");
  FormatSettings().LongTimeFormat = TimePatternFromQt(QLocale::system().timeFormat(QLocale::LongFormat));
}

std::vector<std::string> ExtraPortsFor(const TProgramOptions& options, std::string* error) {
  std::vector<std::string> ports = options.Devices;
  if (options.Demo) {
    std::string failure;
    const std::string path = StartDemoBus(&failure);
    if (!path.empty())
      ports.push_back(path);
    else if (error)
      *error = failure.empty() ? std::string("Демонстрационная шина не запущена") : failure;
  }
  return ports;
}

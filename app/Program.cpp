#include "app/Program.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <clocale>

#include "comm/Resources.h"
#include "comm/prNode.h"
#include "shell/MainUnit.h"
#include "sim/DemoBus.h"

namespace {
// Options of Qt's own that a Qt program is expected to take; they reach QApplication.
struct TQtOption {
  const char* Name;
  bool TakesValue;
};
constexpr TQtOption kQtOptions[] = {
    {"platform", true}, {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true},   {"qwindowgeometry", true},    {"qwindowicon", true},
    {"qwindowtitle", true}, {"display", true},        {"geometry", true},
    {"style", true},    {"stylesheet", true},         {"session", true},
    {"fontengine", true}, {"dialogs", true},          {"qmljsdebugger", true},
    {"reverse", false}, {"widgetcount", false},       {"nograb", false},
    {"dograb", false},  {"sync", false},
};
}  // namespace

TProgramOptions ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  // "-platform offscreen" is one option with a value, as Qt programs take it.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{"h", "help"});
  const QCommandLineOption version(QStringList{"v", "version"});
  const QCommandLineOption demo("demo");
  parser.addOption(help);
  parser.addOption(version);
  parser.addOption(demo);
  for (const TQtOption& qt : kQtOptions) {
    QCommandLineOption option(QString::fromLatin1(qt.Name));
    if (qt.TakesValue) option.setValueName(QStringLiteral("value"));
    parser.addOption(option);
  }
  TProgramOptions options;
  if (!parser.parse(QStringList{QStringLiteral("orbis-utility")} + arguments)) {
    // The unknown option as the user wrote it (the parser keeps only its name).
    const QStringList unknown = parser.unknownOptionNames();
    QString written = unknown.isEmpty() ? QString() : QStringLiteral("--") + unknown.first();
    for (const QString& argument : arguments) {
      if (unknown.isEmpty()) break;
      const QString name = QString(argument).remove(QRegularExpression(QStringLiteral("^--?")))
                               .section(QLatin1Char('='), 0, 0);
      if (argument.startsWith(QLatin1Char('-')) && name == unknown.first()) {
        written = argument;
        break;
      }
    }
    const std::string what = unknown.isEmpty()
                                 ? parser.errorText().toStdString()
                                 : ResStr("неизвестный параметр: ") + written.toStdString();
    options.Error = "orbis-utility: " + what + "\n" + ResStr("Справка: orbis-utility --help");
    return options;
  }
  options.Help = parser.isSet(help);
  options.Version = parser.isSet(version);
  options.Demo = parser.isSet(demo);
  for (const QString& argument : parser.positionalArguments())
    if (!argument.isEmpty()) options.Devices.push_back(argument.toStdString());
  return options;
}

std::string HelpText() {
  return ResStr(
      "Использование: orbis-utility [ПАРАМЕТР...] [УСТРОЙСТВО...]\n"
      "Настройка модулей ввода-вывода ORBIS на линии RS-485.\n"
      "\n"
      "Устройства, названные в командной строке (например /dev/ttyUSB0 или\n"
      "/dev/serial/by-id/...), добавляются к списку последовательных портов.\n"
      "\n"
      "  --demo         запустить встроенную демонстрационную шину с модулями\n"
      "  -h, --help     показать эту справку и выйти\n"
      "  -v, --version  показать версию программы и выйти\n"
      "\n"
      "Параметры Qt (-platform, -style и другие) передаются Qt.\n");
}

std::string VersionText() {
  return "orbis-utility " + std::to_string(ORBIS_VERSION_MAJOR) + "." +
         std::to_string(ORBIS_VERSION_MINOR) + "." + std::to_string(ORBIS_VERSION_PATCH) + "." +
         std::to_string(ORBIS_VERSION_TWEAK) + "\n";
}

QString LocaleFolder(const QString& programFolder) {
  const QString build = programFolder + QStringLiteral("/locale");
  if (QFileInfo(build).isDir()) return build;
  return QDir::cleanPath(programFolder + QStringLiteral("/") + QStringLiteral(ORBIS_LOCALE_FROM_BIN));
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
  BindTextDomains(LocaleFolder(QCoreApplication::applicationDirPath()).toStdString());
  std::setlocale(LC_ALL, "");
  LoadFormatSettingsFromLocale();
  std::setlocale(LC_NUMERIC, "C");
  FormatSettings().LongTimeFormat = TimePatternFromQt(QLocale::system().timeFormat(QLocale::LongFormat));
}

void ShowDemoBus(TMainForm& logic, const std::string& demoPath, bool withModules) {
  if (demoPath.empty()) return;
  for (TTreeNode* item : logic.Items()) {
    if (item->Level() != 1 || item->Text != demoPath || !item->Data) continue;
    item->Data->KindText = kDemoBusKind;
    item->Hint = kDemoBusKind;
    if (!withModules) return logic.OnTreeChanged ? logic.OnTreeChanged() : void();
    for (const TDemoModule& module : DemoBusModules())
      logic.AddDevice(item, module.ModelIndex, module.Address);
    return;
  }
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

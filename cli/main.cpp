// orbis-cli: scan a bus, read and write registers, save, compare and clone module
// configurations from a terminal or a script.
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <iostream>

#include "cli/Cli.h"
#include "cli/CliBus.h"
#include "comm/Resources.h"

namespace {
// The catalogues beside the program in the build folder, else where the install puts them.
std::string LocaleFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::read_symlink("/proc/self/exe", error).parent_path();
  if (fs::is_directory(folder / "locale", error)) return (folder / "locale").string();
  return (folder / ORBIS_LOCALE_FROM_BIN).lexically_normal().string();
}
}  // namespace

int main(int argc, char** argv) {
  BindTextDomains(LocaleFolder());
  std::setlocale(LC_ALL, "");
  // Values cross as text with a decimal point whatever the user's locale: files and scripts
  // must read the same everywhere.
  std::setlocale(LC_NUMERIC, "C");
  // Ctrl-C only raises the flag: the exchange under way ends (its time-out bounds it), the loop
  // stops before the next one, and the line is closed on the way out.
  struct sigaction action {};
  action.sa_handler = [](int) { CliStopRequested() = true; };
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::vector<std::string> args(argv + 1, argv + argc);
  return RunCli(args, {std::cout, std::cerr, isatty(STDERR_FILENO) == 1});
}

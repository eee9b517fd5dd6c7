#include "comm/SerialById.h"

#include <filesystem>
#include <system_error>

std::string SerialByIdName(const std::string& device, const std::string& byIdDir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = fs::canonical(device, ec);
  if (ec) return {};
  std::string best;
  for (const auto& entry : fs::directory_iterator(byIdDir, ec)) {
    std::error_code linkEc;
    if (fs::canonical(entry.path(), linkEc) != target || linkEc) continue;
    // Several links for one device (one per interface name) are possible: take the first by
    // name so that the answer does not depend on the directory order.
    const std::string name = entry.path().string();
    if (best.empty() || name < best) best = name;
  }
  return best;
}

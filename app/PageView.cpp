#include "app/PageView.h"

#include <map>

namespace {
std::map<std::string, TPageViewFactory>& Factories() {
  static std::map<std::string, TPageViewFactory> factories;
  static bool seeded = false;
  if (!seeded) {
    // Set first: the registration below comes back here through RegisterPageView.
    seeded = true;
    RegisterAppPageViews();
  }
  return factories;
}
}  // namespace

void RegisterPageView(const std::string& pageClassName, TPageViewFactory factory) {
  Factories()[pageClassName] = std::move(factory);
}

QWidget* CreatePageView(const std::string& pageClassName, TprForm* page, QWidget* parent) {
  auto it = Factories().find(pageClassName);
  if (it != Factories().end()) return it->second(page, parent);
  auto plain = Factories().find("TprForm");
  return plain != Factories().end() ? plain->second(page, parent) : new QWidget(parent);
}

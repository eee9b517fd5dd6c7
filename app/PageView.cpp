#include "app/PageView.h"

#include "shell/ClassRegistry.h"

namespace {
TClassRegistry<TPageViewFactory>& Factories() {
  static TClassRegistry<TPageViewFactory> factories;
  return factories;
}
}  // namespace

void RegisterPageView(const std::string& pageClassName, TPageViewFactory factory) {
  Factories().Register(pageClassName, std::move(factory));
}

QWidget* CreatePageView(const std::string& pageClassName, TprForm* page, QWidget* parent) {
  if (const TPageViewFactory* factory = Factories().Find(pageClassName))
    return (*factory)(page, parent);
  if (const TPageViewFactory* plain = Factories().Find("TprForm")) return (*plain)(page, parent);
  return new QWidget(parent);
}

#include "shell/prUnit.h"

#include "shell/prNode.h"

namespace {
std::map<std::string, TPageFactory>& PageClasses() {
  static std::map<std::string, TPageFactory> classes;
  static bool seeded = false;
  if (!seeded) {
    // Set first: the registration below comes back here through RegisterPageClass.
    seeded = true;
    RegisterShellPages();
  }
  return classes;
}
}  // namespace

TprForm::TprForm(TprNode* owner) : TComponent(owner), Node(owner) {}

TprForm::~TprForm() {
  if (Node && Node->Page == this) Node->Page = nullptr;
}

void TprForm::FormShow() {
  if (Node) lbCaption = " " + Node->NameText + " - " + Node->KindText;
}

void RegisterPageClass(const std::string& className, TPageFactory factory) {
  PageClasses()[className] = std::move(factory);
}

TprForm* CreatePage(const std::string& className, TprNode* owner) {
  auto it = PageClasses().find(className);
  if (it != PageClasses().end() && it->second) {
    TprForm* page = it->second(owner);
    if (page) {
      page->ClassName = className;
      return page;
    }
  }
  return new TprForm(owner);
}

#include "shell/prUnit.h"

#include "comm/Resources.h"
#include "comm/prNode.h"
#include "shell/ClassRegistry.h"

namespace {
TClassRegistry<TPageFactory>& PageClasses() {
  static TClassRegistry<TPageFactory> classes;
  return classes;
}
}  // namespace

TprForm::TprForm(TprNode* owner) : TComponent(owner), Node(owner) {}

TprForm::~TprForm() {
  if (Node && Node->Page == this) Node->Page = nullptr;
}

void TprForm::FormShow() {
  if (Node) lbCaption = " " + ResStr(Node->NameText) + " - " + ResStr(Node->KindText);
}

void RegisterPageClass(const std::string& className, TPageFactory factory) {
  PageClasses().Register(className, std::move(factory));
}

TprForm* CreatePage(const std::string& className, TprNode* owner) {
  if (const TPageFactory* factory = PageClasses().Find(className)) {
    TprForm* page = (*factory)(owner);
    if (page) {
      page->ClassName = className;
      return page;
    }
  }
  return new TprForm(owner);
}

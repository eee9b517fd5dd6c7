// The page classes of the shell, registered by name for the tree nodes that show them.
#include "models/prDevice.h"
#include "shell/CompUnit.h"
#include "shell/PortUnit.h"
#include "shell/prUnit.h"

void RegisterShellPages() {
  RegisterPageClass("TCompForm", [](TprNode* owner) -> TprForm* { return new TCompForm(owner); });
  RegisterPageClass("TUnknownForm", [](TprNode* owner) -> TprForm* {
    auto* page = new TCompForm(owner);
    auto* device = dynamic_cast<TprDevice*>(owner);
    page->mMain = UnknownModuleText(device ? device->ModelCode : -1);
    return page;
  });
  RegisterPageClass("TPortForm", [](TprNode* owner) -> TprForm* { return new TPortForm(owner); });
}

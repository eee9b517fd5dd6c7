// The page classes of the shell, registered by name for the tree nodes that show them.
#include "shell/CompUnit.h"
#include "shell/PortUnit.h"
#include "shell/prUnit.h"

void RegisterShellPages() {
  RegisterPageClass("TCompForm", [](TprNode* owner) -> TprForm* { return new TCompForm(owner); });
  RegisterPageClass("TPortForm", [](TprNode* owner) -> TprForm* { return new TPortForm(owner); });
}

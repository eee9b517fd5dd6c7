#pragma once
// The page of the computer node: the list of the module models this program supports.
#include <string>

#include "shell/prUnit.h"

class TCompForm : public TprForm {
 public:
  explicit TCompForm(TprNode* owner);

  // Re-wraps mMain to the page's new width (the view wraps again when WordWrap flips).
  void FormResize();

  // Read-only multi-line text below the caption line, lines separated by "\n".
  std::string mMain;
  bool WordWrap = true;
};

// The fixed text of mMain.
const std::string& SupportedModulesText();

#pragma once
// The page of the computer node: the list of the module models this program supports.
#include <string>

#include "shell/prUnit.h"

class TCompForm : public TprForm {
 public:
  explicit TCompForm(TprNode* owner);

  // Re-wraps mMain to the page's new width (the view wraps again when WordWrap flips).
  void FormResize();
  // The button under the text: adds a port reached through a network gateway.
  void bbAddNetPortClick();

  // Read-only multi-line text below the caption line, lines separated by "\n".
  std::string mMain;
  bool WordWrap = true;
};

// The caption of the button (and of the tree's menu item) that adds a network port.
inline constexpr const char* kAddNetworkPortText = "Добавить сетевой порт…";

// The text of mMain: the models of the model table, in the user's language.
std::string SupportedModulesText();

// The page of a module of no known model shows, in the same view, the code it reported and
// that this version does not support it (-1: the code is not known).
std::string UnknownModuleText(int modelCode);

#pragma once
// Base of every node of the device tree: the computer, its serial ports and their modules.
#include <string>

#include "comm/Component.h"

class TprForm;

class TprNode : public TComponent {
 public:
  explicit TprNode(TComponent* owner = nullptr) : TComponent(owner) {}
  ~TprNode() override;

  std::string NameText;
  std::string KindText;
  // The page while it is shown (owned by this node), else nullptr.
  TprForm* Page = nullptr;
  // Class name of the node's page ("TCompForm", "TPortForm", "TKappaForm", ..., "TprForm").
  std::string PageClass;
  bool PageShown = false;
  // The node one level up: the computer for a port, the port for a module.
  TprNode* ParentNode = nullptr;
};

#include "shell/prNode.h"

#include "shell/prUnit.h"

TprNode::~TprNode() {
  // The page is an owned component and goes with the node; unlink it first.
  Page = nullptr;
}

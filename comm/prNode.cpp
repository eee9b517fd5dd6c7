#include "comm/prNode.h"

TprNode::~TprNode() {
  // Free what the node owns (its page, a page released but not yet destroyed, a device's
  // registers) while it is still a TprNode: a page unlinks itself from its node on the way.
  while (!Components().empty()) delete Components().back();
  Page = nullptr;
}

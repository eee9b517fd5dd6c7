#include "comm/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : OwnerComponent(owner) {
  if (owner) owner->Owned.push_back(this);
}

TComponent::~TComponent() {
  // Children first, newest first; each child unlinks itself from us.
  while (!Owned.empty()) delete Owned.back();
  if (OwnerComponent) {
    auto& siblings = OwnerComponent->Owned;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : Owned)
    if (SameText(c->Name, name)) return c;
  return nullptr;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

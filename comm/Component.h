#pragma once
// A named object that owns other named objects and frees them with itself. Device objects own
// their registers this way and find them by name.
#include <string>
#include <string_view>
#include <vector>

class TComponent {
 public:
  explicit TComponent(TComponent* owner = nullptr);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return OwnerComponent; }
  const std::vector<TComponent*>& Components() const { return Owned; }
  // The owned component bearing this name, compared without regard to case; nullptr if none.
  TComponent* FindComponent(std::string_view name) const;

  std::string Name;

 private:
  TComponent* OwnerComponent = nullptr;
  std::vector<TComponent*> Owned;
};

// ASCII comparison ignoring case (register names are ASCII).
bool SameText(std::string_view a, std::string_view b);

#pragma once
// Base of every settings page: a page model owned by its tree node while it is shown. The
// Qt side renders it; nothing here touches a widget.
#include <functional>
#include <map>
#include <string>

#include "comm/Component.h"

class TprNode;

class TprForm : public TComponent {
 public:
  explicit TprForm(TprNode* owner);
  ~TprForm() override;

  TprNode* OwnerNode() const { return Node; }
  // Runs when the page is shown: sets the caption line. Derived pages start their work here.
  virtual void FormShow();
  // Runs when the page is released.
  virtual void FormHide() {}

  // The caption line across the top of the page.
  std::string lbCaption;

  // The view's refresh hook: a page model calls Changed() after it changed what its view
  // shows (the caption line, control states); the view installs OnChanged.
  std::function<void()> OnChanged;
  void Changed() {
    if (OnChanged) OnChanged();
  }

 private:
  TprNode* Node;
};

// Pages are created by class name, so that shell logic needs no page headers.
using TPageFactory = std::function<TprForm*(TprNode* owner)>;
void RegisterPageClass(const std::string& className, TPageFactory factory);
// A new page of the class (the plain TprForm for an unknown class name).
TprForm* CreatePage(const std::string& className, TprNode* owner);

#pragma once
// Base of every settings page: a page model owned by its tree node while it is shown. The
// Qt side renders it; nothing here touches a widget.
//
// Life of a page: the main window creates it by class name (CreatePage) when its node becomes
// selected, calls FormShow, and tells the view (TMainForm::OnPageShown). When the selection
// moves on it calls FormHide, tells the view (TMainForm::OnPageReleased) and destroys the page
// once the messages already queued for it have been handled (TMainForm::DeferRelease). The
// node may be deleted before that happens; it then frees the page with itself, and the
// deferred destruction, guarded by Alive(), does nothing.
#include <functional>
#include <memory>
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
  // A notice in one line under the caption line (for instance that the module answers late);
  // empty: no notice, and the line is hidden.
  std::string lbNotice;

  // Where the page shows a register, for a user looking for it ("RS-485: Адрес"); empty
  // where the page does not show it.
  virtual std::string RegisterCaption(const std::string& registerName) const {
    (void)registerName;
    return {};
  }

  // The class name the page was created under ("TprForm" when its class has no factory); the
  // view of the page is looked up by this name.
  std::string ClassName = "TprForm";

  // The view's refresh hook: a page model calls Changed() after it changed what its view
  // shows (the caption line, control states); the view installs OnChanged.
  std::function<void()> OnChanged;
  void Changed() {
    if (OnChanged) OnChanged();
  }

  // Expires when the page is destroyed (guards deferred work aimed at the page).
  std::weak_ptr<void> Alive() const { return AliveToken; }

 private:
  TprNode* Node;
  std::shared_ptr<char> AliveToken = std::make_shared<char>();
};

// Pages are created by class name, so that shell logic needs no page headers.
using TPageFactory = std::function<TprForm*(TprNode* owner)>;
void RegisterPageClass(const std::string& className, TPageFactory factory);
// A new page of the class (the plain TprForm for an unknown class name).
TprForm* CreatePage(const std::string& className, TprNode* owner);
// Registers the page classes that live in shell/ ("TCompForm", "TPortForm"); part of
// RegisterPageClasses (pages/ModuleForm.h), which a program calls once at start.
void RegisterShellPages();

#pragma once
// Qt view of the port page: the page's controls, built and bound as those of a module page,
// on a panel centred in the page.
#include "app/PageWidget.h"

class TControlBinding;
class TPortForm;

class TPortView : public TPageWidget {
  Q_OBJECT
 public:
  TPortView(TPortForm* page, QWidget* parent = nullptr);
  // The widget of the page's control of that name (nullptr if none), for tests and the renderer.
  QWidget* Widget(const char* controlName) const;

 protected:
  void Refresh() override;

 private:
  TControlBinding* Binding = nullptr;
};

// Registers the view for "TPortForm" pages (done by the page view registry before its first use).
void RegisterPortPageView();

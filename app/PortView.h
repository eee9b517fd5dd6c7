#pragma once
// Qt view of the port page: the page's controls, built and bound as those of a module page,
// on a panel centred in the page.
#include "app/PageBuilder.h"

class TPortForm;

class TPortView : public TControlsPageView {
  Q_OBJECT
 public:
  TPortView(TPortForm* page, QWidget* parent = nullptr);
};

// Registers the view for "TPortForm" pages (done by the page view registry before its first use).
void RegisterPortPageView();

#include "app/PortView.h"

#include <QGridLayout>

#include "app/PageView.h"
#include "app/SearchDialog.h"
#include "shell/PortUnit.h"

TPortView::TPortView(TPortForm* page, QWidget* parent)
    : TControlsPageView(page, page->Controls, parent) {
  InstallSearchDialog();
  Body()->setObjectName("pPort");
  // The panel keeps its natural size in the middle of the page.
  auto* centre = new QGridLayout(Content());
  centre->addWidget(Body(), 1, 1);
  centre->setRowStretch(0, 1);
  centre->setRowStretch(2, 1);
  centre->setColumnStretch(0, 1);
  centre->setColumnStretch(2, 1);
}

void RegisterPortPageView() {
  RegisterPageView("TPortForm", [](TprForm* page, QWidget* parent) -> QWidget* {
    return new TPortView(static_cast<TPortForm*>(page), parent);
  });
}

#include "app/PortView.h"

#include <QGridLayout>

#include "app/ControlBinding.h"
#include "app/PageBuilder.h"
#include "app/PageView.h"
#include "app/SearchDialog.h"
#include "shell/PortUnit.h"

TPortView::TPortView(TPortForm* page, QWidget* parent) : TPageWidget(page, parent) {
  InstallSearchDialog();
  QWidget* panel = BuildControlsView(page->Controls, Content(), &Binding);
  panel->setObjectName("pPort");
  // A released page may be freed before its view: the view stops touching it then.
  Binding->WatchLifetime(page->Alive());

  // The panel keeps its natural size in the middle of the page.
  auto* centre = new QGridLayout(Content());
  centre->addWidget(panel, 1, 1);
  centre->setRowStretch(0, 1);
  centre->setRowStretch(2, 1);
  centre->setColumnStretch(0, 1);
  centre->setColumnStretch(2, 1);
}

QWidget* TPortView::Widget(const char* controlName) const {
  if (!Binding->ModelAlive()) return nullptr;
  return Binding->WidgetOf(Binding->Set().Find(controlName));
}

void TPortView::Refresh() { Binding->SyncAll(); }

void RegisterPortPageView() {
  RegisterPageView("TPortForm", [](TprForm* page, QWidget* parent) -> QWidget* {
    return new TPortView(static_cast<TPortForm*>(page), parent);
  });
}

// The Qt view of the five module pages: the caption line of the page base and, below it, the
// page's controls as its layout describes them, with the page timer run by a Qt timer.
#include <QVBoxLayout>

#include "app/ModulePageView.h"
#include "app/PageBuilder.h"
#include "app/PageView.h"
#include "pages/ModuleForm.h"

namespace {
class TModulePageView : public TControlsPageView {
 public:
  TModulePageView(TModuleForm* page, QWidget* parent)
      : TControlsPageView(page, page->Controls, parent) {
    auto* layout = new QVBoxLayout(Content());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Body());
    Binding->BindTimer(page->MainTimer, "MainTimer");
    Binding->BindTimer(page->ReconnectTimer, "ReconnectTimer");
  }
};
}  // namespace

void RegisterModulePageViews() {
  for (const TModelRow& model : ModelNames) {
    if (!model.Create) continue;
    RegisterPageView(model.PageClass, [](TprForm* page, QWidget* parent) -> QWidget* {
      if (auto* module = dynamic_cast<TModuleForm*>(page)) return new TModulePageView(module, parent);
      return new TPageWidget(page, parent);
    });
  }
}

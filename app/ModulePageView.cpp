// The Qt view of the five module pages: the caption line of the page base and, below it, the
// page's controls as its layout describes them, with the page timer run by a Qt timer.
#include <QVBoxLayout>

#include "app/ModulePageView.h"
#include "app/PageBuilder.h"
#include "app/PageView.h"
#include "app/PageWidget.h"
#include "pages/ModuleForm.h"

namespace {
class TModulePageView : public TPageWidget {
 public:
  TModulePageView(TModuleForm* page, QWidget* parent) : TPageWidget(page, parent) {
    auto* layout = new QVBoxLayout(Content());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(BuildControlsView(page->Controls, Content(), &Binding));
    // A released page may be freed before its view: the view stops touching it then.
    Binding->WatchLifetime(page->Alive());
    Binding->BindTimer(page->MainTimer);
  }

 protected:
  void Refresh() override { Binding->SyncAll(); }

 private:
  TControlBinding* Binding = nullptr;
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

// The page classes of the program, registered by the class names their nodes carry.
#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "pages/BetaUnit.h"
#include "pages/EtaUnit.h"
#include "pages/IotaUnit.h"
#include "pages/KappaUnit.h"
#include "pages/RhoUnit.h"

namespace {

template <class TPage>
TprForm* NewModulePage(TprNode* owner) {
  // A module page needs the device object of a model; any other node gets the plain page.
  if (!dynamic_cast<TprModel*>(owner)) return new TprForm(owner);
  return new TPage(owner);
}

// The C++ class behind each page class name of the model table.
struct TPageType {
  std::string_view ClassName;
  TprForm* (*Create)(TprNode* owner);
};
constexpr TPageType ModulePageTypes[] = {
    {"TKappaForm", NewModulePage<TKappaForm>}, {"TBetaForm", NewModulePage<TBetaForm>},
    {"TEtaForm", NewModulePage<TEtaForm>},     {"TIotaForm", NewModulePage<TIotaForm>},
    {"TRhoForm", NewModulePage<TRhoForm>},
};

}  // namespace

void RegisterPageClasses() {
  RegisterShellPages();
  for (const TModelRow& model : ModelNames) {
    if (!model.Create) continue;  // the unrecognised module keeps the plain page
    const auto* type = std::find_if(
        std::begin(ModulePageTypes), std::end(ModulePageTypes),
        [&](const TPageType& t) { return t.ClassName == model.PageClass; });
    if (type == std::end(ModulePageTypes))
      throw std::logic_error(std::string("no page class ") + model.PageClass);
    RegisterPageClass(model.PageClass, type->Create);
  }
}

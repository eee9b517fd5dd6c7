// The page classes of the recognised models, by the class names their device objects carry.
#include "pages/BetaUnit.h"
#include "pages/EtaUnit.h"
#include "pages/IotaUnit.h"
#include "pages/KappaUnit.h"
#include "pages/RhoUnit.h"

namespace {
template <class TPage>
void RegisterModulePage(const char* className) {
  RegisterPageClass(className, [](TprNode* owner) -> TprForm* {
    // A module page needs the device object of a model; any other node gets the plain page.
    if (!dynamic_cast<TprModel*>(owner)) return new TprForm(owner);
    return new TPage(owner);
  });
}
}  // namespace

void RegisterModulePages() {
  RegisterModulePage<TKappaForm>("TKappaForm");
  RegisterModulePage<TBetaForm>("TBetaForm");
  RegisterModulePage<TEtaForm>("TEtaForm");
  RegisterModulePage<TIotaForm>("TIotaForm");
  RegisterModulePage<TRhoForm>("TRhoForm");
}

// Registered at start as well, for programs that link the library whole.
static const bool registered = (RegisterModulePages(), true);

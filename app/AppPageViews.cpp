// The views of the program's pages, registered by page class name.
#include "app/ModulePageView.h"
#include "app/PageView.h"
#include "app/PageWidget.h"
#include "app/PortView.h"
#include "pages/ModuleForm.h"

void RegisterAppPageViews() {
  RegisterPageClasses();
  RegisterPlainPageView();
  RegisterCompPageView();
  RegisterPortPageView();
  RegisterModulePageViews();
}

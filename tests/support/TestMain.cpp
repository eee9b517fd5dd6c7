#include <gtest/gtest.h>

#include <clocale>

#ifdef ORBIS_TEST_QT_VIEWS
#include "app/PageView.h"
#else
#include "pages/ModuleForm.h"
#endif

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C.UTF-8");
  // The program's start-up registration of the page classes (and, for the Qt suites, their
  // views).
#ifdef ORBIS_TEST_QT_VIEWS
  RegisterAppPageViews();
#else
  RegisterPageClasses();
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

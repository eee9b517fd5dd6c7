// The search through the Qt search window: started by the dialog's first showing, ended by its
// queued close, stopped by its button; simulated modules on an in-memory line, fake clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/QtUi.h"
#include "app/SearchDialog.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "shell/MainUnit.h"
#include "shell/PortUnit.h"
#include "shell/SearchUnit.h"
#include "support/PortRig.h"
#include "support/QtApp.h"

namespace {

TSearchDialog* OpenSearchDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<TSearchDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

class SearchDialogRun : public ::testing::Test, protected TPortRig {
 protected:
  SearchDialogRun() {
    TestApp();
    Previous = SetUi(&QtUi);
    InstallSearchDialog();
    for (uint8_t a : {3, 40, 41, 200}) Bus->AddModel(1, a);
  }
  ~SearchDialogRun() override { SetUi(Previous); }

  void SetUp() override { ASSERT_TRUE(Start()); }

  // Presses the search button with a watchdog that ends a dialog which never closes; then,
  // while busy() holds, lets the button's work go on from the event loop.
  void Search(const std::function<void(TSearchDialog&)>& onTick = {},
              const std::function<bool()>& busy = {}) {
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      TSearchDialog* d = OpenSearchDialog();
      if (!d) return;
      SawDialog = true;
      if (onTick) onTick(*d);
      if (++Ticks > 100000) {
        TimedOut = true;
        d->btStop->click();
      }
    });
    watch.start();
    Page->bbSearchClick();
    for (int turns = 0; busy && busy() && turns < 1000000; ++turns)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  TQtUiServices QtUi;
  TUiServices* Previous = nullptr;
  bool SawDialog = false, TimedOut = false;
  int Ticks = 0;
};

TEST_F(SearchDialogRun, RunsOnceAndClosesItself) {
  int lastLooking = 0;
  bool ascending = true;
  Search([&](TSearchDialog& d) {
    const int looking = d.lbLooking->text().toInt();
    ascending = ascending && looking >= lastLooking;
    lastLooking = looking;
  });
  EXPECT_TRUE(SawDialog);
  EXPECT_FALSE(TimedOut);
  EXPECT_EQ(OpenSearchDialog(), nullptr);
  EXPECT_TRUE(ascending);
  EXPECT_EQ(ProbedAddresses().size(), 247u);
  EXPECT_EQ(PortNode->Children.size(), 4u);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SearchDialogRun, StopButtonEndsTheSearch) {
  // Each probe waits for the event loop, as on the line worker.
  TQtGuiPoster poster;
  TDeferredLine line(poster);
  static_cast<TprPort*>(PortNode->Data)->Executor = &line;
  Search([](TSearchDialog& d) { if (d.lbLooking->text() == "40") d.btStop->click(); },
         [&] { return !SawDialog || OpenSearchDialog() || line.Pending() > 0; });
  EXPECT_FALSE(TimedOut);
  EXPECT_EQ(OpenSearchDialog(), nullptr);
  // The click is taken while the search waits for the probe of address 40.
  const std::vector<int> probed = ProbedAddresses();
  ASSERT_FALSE(probed.empty());
  EXPECT_EQ(probed.back(), 40);
  ASSERT_EQ(PortNode->Children.size(), 2u);
  EXPECT_EQ(PortNode->Children[1]->Text, "KAPPA-01");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  static_cast<TprPort*>(PortNode->Data)->Executor = nullptr;
}

}  // namespace

// The calibration wizard's window opened from the output module's page: the page's polling
// stops while it is open, Enter steps through it, and the window's close requests follow the
// wizard's rule.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "app/PageView.h"
#include "app/QtUi.h"
#include "app/RhoCalibrateDialog.h"
#include "pages/RhoCalibrateUnit.h"
#include "pages/RhoUnit.h"
#include "shell/MainUnit.h"
#include "support/PageRig.h"
#include "support/QtApp.h"

namespace {

// The RHO-05 page and its view against a simulated module, with the program's Qt services.
struct RhoDialogRun {
  RhoDialogRun() {
    TestApp();
    Page = dynamic_cast<TRhoForm*>(Rig.Page);
    Page->FormShow();
    View.reset(CreatePageView("TRhoForm", Page, nullptr));
    View->resize(700, 500);
    Previous = SetUi(&QtUi);
  }
  ~RhoDialogRun() {
    SetUi(Previous);
    View.reset();
  }
  // The Qt timer that runs the page's polling.
  QTimer* PollTimer() const { return View->findChild<QTimer*>("MainTimer"); }
  // Opens the wizard with the page's "Настройка..." on the outputs tab; `user` plays the user
  // while the window is open.
  void Open(const std::function<void(TRhoCalibrateDialog&)>& user) {
    Main.SetCalibrationEnabled(true);
    View->findChild<QTabWidget*>()->setCurrentIndex(3);
    auto* button = View->findChild<QToolButton*>("bbCalibrate");
    ASSERT_NE(button, nullptr);
    // The button follows the flag after the next polling cycle.
    ASSERT_TRUE(QTest::qWaitFor([button] { return button->isEnabled(); }));
    QTimer::singleShot(0, [user] {
      auto* dialog = qobject_cast<TRhoCalibrateDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
      user(*dialog);
      // Whatever the user did, the test ends with the window gone.
      if (dialog->isVisible()) dialog->done(QDialog::Rejected);
    });
    SendClick(button);
  }
  // A key where the window's focus is (the window itself when no control has it).
  static void Key(QWidget& window, Qt::Key key) {
    QWidget* target = window.focusWidget();
    SendKey(target ? target : &window, key);
  }
  static void Enter(QWidget& window) { Key(window, Qt::Key_Return); }

  TPageRig Rig{4};
  TMainForm Main{*Rig.Line};
  TQtUiServices QtUi;
  TUiServices* Previous = nullptr;
  TRhoForm* Page = nullptr;
  std::unique_ptr<QWidget> View;
};

TEST(RhoCalibrateDialog, OpenedFromThePageEnterStepsToSuccessAndPollingResumes) {
  RhoDialogRun run;
  ASSERT_TRUE(ShowActive(*run.View));
  QTimer* poll = run.PollTimer();
  ASSERT_TRUE(poll && poll->isActive());
  run.Open([&](TRhoCalibrateDialog& dialog) {
    EXPECT_FALSE(poll->isActive() || run.Page->MainTimer.Enabled());
    EXPECT_TRUE(dialog.pcWizard->tabBar()->isHidden());
    dialog.cbChannel->setCurrentIndex(1);  // voltage on channel 2
    dialog.cbType->setCurrentIndex(1);
    RhoDialogRun::Enter(dialog);
    ASSERT_EQ(dialog.pcWizard->currentIndex(), TRhoCalibrateForm::tsValue);
    ASSERT_EQ(dialog.focusWidget(), dialog.edValue);
    SendText(dialog.edValue, QStringLiteral("10.02"));
    RhoDialogRun::Enter(dialog);
    EXPECT_EQ(dialog.pcWizard->currentIndex(), TRhoCalibrateForm::tsYes);
    EXPECT_FALSE(dialog.btCancel->isEnabled());
    RhoDialogRun::Enter(dialog);  // "Готово"
    EXPECT_FALSE(dialog.isVisible());
  });
  EXPECT_TRUE(poll->isActive());
  EXPECT_TRUE(run.Page->MainTimer.Enabled());
  // The module was calibrated for voltage on channel 2 and left its tuning mode.
  EXPECT_EQ(run.Rig.Module->Int("OUTTYPE2"), 2u);
  EXPECT_EQ(run.Rig.Module->Int("SLEWRATE2"), 0u);
  EXPECT_EQ(run.Rig.Module->Int("TUNINGENABLE"), 0u);
  EXPECT_EQ(run.Rig.Module->Int("SMSTS") & 0x20, 0u);
}

TEST(RhoCalibrateDialog, EscapeIsACloseRequestRefusedUntilFinished) {
  RhoDialogRun run;
  ASSERT_TRUE(ShowActive(*run.View));
  run.Open([&](TRhoCalibrateDialog& dialog) {
    RhoDialogRun::Enter(dialog);  // into tuning mode
    RhoDialogRun::Key(dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.pcWizard->currentIndex(), TRhoCalibrateForm::tsNo);
    EXPECT_EQ(dialog.lbErr->text().toStdString(),
              std::string(RhoCalibrateForm::ErrorPrefix) + RhoCalibrateForm::ReasonCancelled);
    dialog.close();  // the window's close button
    EXPECT_FALSE(dialog.isVisible());
  });
  EXPECT_EQ(run.Rig.Module->Int("TUNINGENABLE"), 0u);
}

}  // namespace

// No write without a choice: a wheel notch over a value list changes neither the list nor the
// module (nor the port), and the keyboard on a focused list writes once.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QWheelEvent>
#include <memory>

#include "app/PageView.h"
#include "app/PageWidget.h"
#include "app/PortView.h"
#include "comm/Clock.h"
#include "comm/prPort.h"
#include "models/prDevice.h"
#include "pages/ModuleForm.h"
#include "shell/PortUnit.h"
#include "support/QtApp.h"
#include "support/RecordingComBackend.h"
#include "support/RecordingUi.h"

namespace {
// One notch as a mouse wheel delivers it to the widget under the pointer.
void Wheel(QWidget* w, int notches) {
  const QPointF pos(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent event(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &event);
}

class WheelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    Port.SetComPort(Line.Line.get());
    Port.SetProtocol(ptModbus);
    Port.ApplySettings();
    Line.Line->SetPort("/dev/ttyUSB0");
    Line.Line->Open();
  }
  // The page of a node (owned by the node) with its view in a shown window.
  QWidget* Show(TprNode* node, int tab = -1) {
    Page = CreatePage(node->PageClass, node);
    Page->FormShow();
    Window = std::make_unique<QWidget>();
    QWidget* view = CreatePageView(Page->ClassName, Page, Window.get());
    if (auto* built = qobject_cast<TPageWidget*>(view)) built->RefreshAll();
    view->resize(500, 460);
    EXPECT_TRUE(ShowActive(*Window));
    if (auto* module = dynamic_cast<TModuleForm*>(Page)) {
      // Polling stays off: every frame on the line is then one the test caused.
      module->MainTimer.SetEnabled(false);
      if (tab >= 0) module->pcMain->UserSelectTab(tab);
    }
    return view;
  }
  size_t Sent() const { return Line.Rec->Sent.size(); }

  TFakeClock Clock;
  TClockGuard Guard{&Clock};
  TRecordingUi Ui;
  TRecordingComLine Line;
  TprPort Port;
  std::unique_ptr<TprNode> Device;
  TprForm* Page = nullptr;
  std::unique_ptr<QWidget> Window;
};

TEST_F(WheelTest, PlainComboBoxChangesUnderTheWheelSoTheEventArrives) {
  QComboBox plain;
  plain.addItems({"1200", "2400", "4800"});
  plain.setCurrentIndex(1);
  ASSERT_TRUE(ShowActive(plain));
  plain.clearFocus();
  Wheel(&plain, -1);
  EXPECT_NE(plain.currentIndex(), 1) << "Qt's own list follows the wheel without the focus";
}

TEST_F(WheelTest, ModulePageListIgnoresTheWheelAndTheKeyboardWritesOnce) {
  Device.reset(CreateDevice(1, 5, &Port));
  QWidget* view = Show(Device.get(), 1);
  auto& page = *dynamic_cast<TModuleForm*>(Page);
  auto* baud = view->findChild<QComboBox*>("cbBaud");
  ASSERT_NE(baud, nullptr);
  page.cbBaud->SetItemIndex(3);  // as a refresh shows "9600"
  ASSERT_FALSE(baud->hasFocus());
  const size_t before = Sent();
  for (int notch : {-1, -1, 1}) Wheel(baud, notch);
  EXPECT_EQ(Sent(), before) << "no request on the line";
  EXPECT_EQ(baud->currentIndex(), 3);
  EXPECT_EQ(page.cbBaud->ItemIndex(), 3);
  EXPECT_FALSE(baud->hasFocus());

  // The wheel over a focused list does not choose either.
  baud->setFocus();
  Wheel(baud, -1);
  EXPECT_EQ(Sent(), before);

  // The keyboard on the focused list: one write of the chosen code, then the focus goes back.
  SendKey(baud, Qt::Key_Down);
  ASSERT_EQ(Sent(), before + 1);
  const auto& frame = Line.Rec->Sent.back();
  ASSERT_GE(frame.size(), 9u);
  EXPECT_EQ(frame[1], 0x10);                // a write
  EXPECT_EQ(frame[2] << 8 | frame[3], 17);  // NETBDRT
  EXPECT_EQ(frame[7] << 8 | frame[8], 7);   // "19200"
  EXPECT_EQ(page.cbBaud->ItemIndex(), 4);
  EXPECT_FALSE(baud->hasFocus());
  // The next key goes where the focus went, not to the list.
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  SendKey(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(Sent(), before + 1);
  EXPECT_EQ(page.cbBaud->ItemIndex(), 4);
}

TEST_F(WheelTest, PortPageListsAndTimeoutIgnoreTheWheel) {
  Port.NameText = "/dev/ttyUSB0";
  Port.PageClass = "TPortForm";
  QWidget* view = Show(&Port);
  const int32_t baudBefore = Port.BaudRate();
  const size_t linesBefore = Line.Rec->Lines.size();
  for (const char* name : {"cbProtocol", "cbBaud", "cbParity"}) {
    auto* list = view->findChild<QComboBox*>(name);
    ASSERT_NE(list, nullptr) << name;
    const int index = list->currentIndex();
    Wheel(list, -1);
    EXPECT_EQ(list->currentIndex(), index) << name;
  }
  auto* timeout = view->findChild<QSpinBox*>("seTimeout");
  ASSERT_NE(timeout, nullptr);
  const int value = timeout->value();
  Wheel(timeout, 1);
  EXPECT_EQ(timeout->value(), value);
  EXPECT_EQ(Port.BaudRate(), baudBefore);
  EXPECT_EQ(Line.Rec->Lines.size(), linesBefore) << "nothing put on the line";
  EXPECT_EQ(Sent(), 0u);
}
}  // namespace

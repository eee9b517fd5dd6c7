// The Qt binding of the control model: focus, keys, grayed boxes, lists and red text in real
// widgets on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QLineEdit>
#include <memory>
#include <stdexcept>

#include "app/ControlBinding.h"
#include "app/PageBuilder.h"
#include "support/QtApp.h"
#include "shell/UiServices.h"

namespace {
class TErrorRecorder : public TUiServices {
 public:
  void Beep() override {}
  void MessageBox(const std::string&, const std::string&, TMsgIcon) override {}
  void ShowError(const std::string& message) override { Errors.push_back(message); }
  TCursorKind Cursor() override { return TCursorKind::Default; }
  void SetCursor(TCursorKind) override {}
  std::vector<std::string> Errors;
};

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    PreviousUi = SetUi(&Recorder);
    tabs = Set.Add<TPageControl>("pcMain", &Set.Root());
    sheet = tabs->AddSheet("tsCommon", "Общие");
    sheet2 = tabs->AddSheet("tsNet", "RS-485");
    ed = Set.Add<TEdit>("edDays", sheet, 5);
    box = Set.Add<TCheckBox>("chbInd1", sheet);
    cb = Set.Add<TComboBox>("cbBaud", sheet, std::vector<std::string>{"1200", "2400", "4800"});
    bt = Set.Add<TButton>("bbReset", sheet, "", "Сброс статуса");
    Set.Root().Layout.AddGrid().Row({ControlCell(tabs)});
    sheet->Layout.AddGrid()
        .Row({LabelCell("Время:"), ControlCell(ed)})
        .Row({ControlCell(box), ControlCell(cb), ControlCell(bt)});
    ed->OnKeyPress = [this](TEdit& e, char key) {
      Keys.push_back(key);
      if (key == 27 || key == 13) e.ReleaseFocus();
    };
    ed->OnExit = [this](TEdit& e) {
      ++Exits;
      e.SetColor(TTextColor::Normal);
    };
    cb->OnCloseUp = [](TComboBox& c) { c.ReleaseFocus(); };
    cb->OnChange = [this](TComboBox& c) { Chosen.push_back(c.ItemIndex()); };
    box->OnClick = [this](TCheckBox& b) { ClickedFocused.push_back(b.Focused()); };

    window = std::make_unique<QWidget>();
    window->resize(500, 300);
    view = BuildControlsView(Set, window.get(), &binding);
    view->resize(500, 300);
    ASSERT_TRUE(ShowActive(*window));
  }
  void TearDown() override {
    window.reset();
    SetUi(PreviousUi);
  }
  template <class W>
  W* WidgetOf(TControl* c) {
    return qobject_cast<W*>(binding->WidgetOf(c));
  }

  TErrorRecorder Recorder;
  TUiServices* PreviousUi = nullptr;
  TControlSet Set;
  TPageControl* tabs;
  TContainer *sheet, *sheet2;
  TEdit* ed;
  TCheckBox* box;
  TComboBox* cb;
  TButton* bt;
  std::vector<int> Keys, Chosen;
  std::vector<bool> ClickedFocused;
  int Exits = 0;
  std::unique_ptr<QWidget> window;
  QWidget* view = nullptr;
  TControlBinding* binding = nullptr;
};

TEST_F(BindingTest, EnterAndEscReleaseTheFocusToTheSheet) {
  auto* edit = WidgetOf<QLineEdit>(ed);
  ASSERT_NE(edit, nullptr);
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    SendClick(edit);
    ASSERT_TRUE(edit->hasFocus());
    EXPECT_EQ(Set.Focus(), ed);
    SendText(edit, "5");
    EXPECT_EQ(ed->Text(), "Н/Д5");
    SendKey(edit, key);
    EXPECT_FALSE(edit->hasFocus());
    EXPECT_EQ(Set.Focus(), sheet);
    EXPECT_TRUE(binding->WidgetOf(sheet)->hasFocus());
    // The keys are consumed: nothing was inserted.
    EXPECT_EQ(edit->text(), "Н/Д5");
    ed->SetText("Н/Д");
  }
  EXPECT_EQ(Keys, (std::vector<int>{13, 27}));
  EXPECT_EQ(Exits, 2);
}

TEST_F(BindingTest, RedTextTurnsNormalOnLeavingTheField) {
  auto* edit = WidgetOf<QLineEdit>(ed);
  const QColor normal = edit->palette().color(QPalette::Text);
  SendClick(edit);
  ed->SetColor(TTextColor::Red);
  EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::red));
  // The user moves on to another control.
  SendClick(WidgetOf<QWidget>(box));
  EXPECT_EQ(Exits, 1);
  EXPECT_EQ(ed->Color(), TTextColor::Normal);
  EXPECT_EQ(edit->palette().color(QPalette::Text), normal);
}

TEST_F(BindingTest, TextFieldKeepsMaximumLength) {
  auto* edit = WidgetOf<QLineEdit>(ed);
  EXPECT_EQ(edit->maxLength(), 5);
  SendClick(edit);
  edit->selectAll();
  SendText(edit, "1234567");
  EXPECT_EQ(ed->Text(), "12345");
}

TEST_F(BindingTest, GrayedBoxShowsPartiallyCheckedAndAClickCyclesCheckedUnchecked) {
  auto* check = WidgetOf<QCheckBox>(box);
  box->SetState(TCheckState::Grayed);
  EXPECT_EQ(check->checkState(), Qt::PartiallyChecked);
  SendClick(check);
  EXPECT_EQ(box->State(), TCheckState::Checked);
  EXPECT_EQ(check->checkState(), Qt::Checked);
  SendClick(check);
  EXPECT_EQ(box->State(), TCheckState::Unchecked);
  EXPECT_EQ(check->checkState(), Qt::Unchecked);
  SendClick(check);
  EXPECT_EQ(check->checkState(), Qt::Checked);
  // Each click reached the page with the box holding the focus.
  EXPECT_EQ(ClickedFocused, (std::vector<bool>{true, true, true}));
  // A state set by the page fires no click.
  box->SetState(TCheckState::Unchecked);
  EXPECT_EQ(ClickedFocused.size(), 3u);
}

TEST_F(BindingTest, DisabledBoxTakesNeitherFocusNorClicks) {
  box->SetEnabled(false);
  auto* check = WidgetOf<QCheckBox>(box);
  EXPECT_FALSE(check->isEnabled());
  SendClick(check);
  EXPECT_TRUE(ClickedFocused.empty());
  EXPECT_NE(Set.Focus(), box);
}

TEST_F(BindingTest, ListPopupStateAndCloseUpReleaseTheFocus) {
  auto* combo = WidgetOf<QComboBox>(cb);
  combo->setFocus();
  EXPECT_EQ(Set.Focus(), cb);
  combo->showPopup();
  EXPECT_TRUE(cb->DroppedDown());
  // A refresh leaves a dropped-down list alone (page rule); the model reports the state.
  combo->hidePopup();
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_EQ(Set.Focus(), sheet);
  EXPECT_FALSE(combo->hasFocus());
  EXPECT_TRUE(Chosen.empty());
}

TEST_F(BindingTest, UserChoiceReachesThePageButAProgramSelectionDoesNot) {
  auto* combo = WidgetOf<QComboBox>(cb);
  cb->SetItemIndex(1);
  EXPECT_EQ(combo->currentIndex(), 1);
  cb->SetItemIndex(7);
  EXPECT_EQ(combo->currentIndex(), -1);
  EXPECT_TRUE(Chosen.empty());
  combo->setFocus();
  SendKey(combo, Qt::Key_Down);
  EXPECT_EQ(Chosen, std::vector<int>{0});
  EXPECT_EQ(cb->ItemIndex(), 0);
}

TEST_F(BindingTest, ChoiceFromTheOpenList) {
  auto* combo = WidgetOf<QComboBox>(cb);
  SendClick(combo);
  ASSERT_TRUE(cb->DroppedDown());
  EXPECT_EQ(Set.Focus(), cb);
  QAbstractItemView* list = combo->view();
  // Qt ignores a mouse release just after the list opens; the keys choose at once.
  list->setCurrentIndex(list->model()->index(2, 0));
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_EQ(Chosen, std::vector<int>{2});
  EXPECT_EQ(cb->ItemIndex(), 2);
  EXPECT_EQ(Set.Focus(), sheet);
}

TEST_F(BindingTest, ButtonHintAndClick) {
  auto* button = WidgetOf<QToolButton>(bt);
  EXPECT_EQ(button->toolTip(), "Сброс статуса");
  int clicks = 0;
  bt->OnClick = [&](TButton& b) {
    ++clicks;
    EXPECT_TRUE(b.Focused());
    b.ReleaseFocus();
  };
  SendClick(button);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(Set.Focus(), sheet);
}

TEST_F(BindingTest, TabsFollowBothWays) {
  auto* tabWidget = WidgetOf<QTabWidget>(tabs);
  ASSERT_EQ(tabWidget->count(), 2);
  EXPECT_EQ(tabWidget->tabText(1), "RS-485");
  int changes = 0;
  tabs->OnChange = [&](TPageControl& t) {
    ++changes;
    t.SetFocus();
  };
  tabWidget->setCurrentIndex(1);  // as a click on the tab does
  EXPECT_EQ(tabs->TabIndex(), 1);
  EXPECT_EQ(changes, 1);
  tabs->SetTabIndex(0);
  EXPECT_EQ(tabWidget->currentIndex(), 0);
  EXPECT_EQ(changes, 1);
}

TEST_F(BindingTest, AnErrorInAHandlerGoesToTheErrorBox) {
  ed->OnKeyPress = [](TEdit&, char) { throw std::runtime_error("'x' is not a valid integer value"); };
  auto* edit = WidgetOf<QLineEdit>(ed);
  SendClick(edit);
  SendKey(edit, Qt::Key_Return);
  EXPECT_EQ(Recorder.Errors, std::vector<std::string>{"'x' is not a valid integer value"});
}

TEST_F(BindingTest, TimerFollowsTheModel) {
  TPageTimer timer;
  timer.Interval = 100;
  binding->BindTimer(timer);
  auto* qtimer = binding->findChild<QTimer*>();
  ASSERT_NE(qtimer, nullptr);
  EXPECT_FALSE(qtimer->isActive());
  timer.SetEnabled(true);
  EXPECT_TRUE(qtimer->isActive());
  EXPECT_EQ(qtimer->interval(), 100);
  timer.SetEnabled(false);
  EXPECT_FALSE(qtimer->isActive());
  window.reset();
  EXPECT_FALSE(timer.OnViewUpdate);
}

TEST_F(BindingTest, ModelOutlivesItsView) {
  window.reset();
  // No binding callback is left behind.
  ed->SetText("123");
  box->SetState(TCheckState::Checked);
  Set.SetFocus(cb);
  EXPECT_FALSE(ed->OnViewUpdate);
  EXPECT_FALSE(Set.OnFocusChange);
}
}  // namespace

namespace {
TEST(BindingLifetime, ViewOutlivingItsPageTouchesNothing) {
  TestApp();
  auto set = std::make_unique<TControlSet>();
  auto token = std::make_shared<char>();
  auto* ed = set->Add<TEdit>("edName", &set->Root());
  auto* box = set->Add<TCheckBox>("chbInd1", &set->Root());
  TPageTimer timer;
  set->Root().Layout.AddGrid().Row({ControlCell(ed), ControlCell(box)});
  auto window = std::make_unique<QWidget>();
  TControlBinding* binding = nullptr;
  BuildControlsView(*set, window.get(), &binding);
  binding->WatchLifetime(token);
  binding->BindTimer(timer);
  ASSERT_TRUE(ShowActive(*window));
  auto* edit = qobject_cast<QLineEdit*>(binding->WidgetOf(ed));
  auto* check = qobject_cast<QCheckBox*>(binding->WidgetOf(box));
  // The page goes first (a released page and its view are freed at different moments).
  token.reset();
  set.reset();
  EXPECT_FALSE(binding->ModelAlive());
  SendClick(check);
  SendClick(edit);
  SendText(edit, "12");
  SendKey(edit, Qt::Key_Return);
  binding->SyncAll();
  window.reset();  // under the sanitizers: no use of the freed controls
}
}  // namespace

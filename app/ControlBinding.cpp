#include "app/ControlBinding.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QTabBar>

#include "app/ErrorBox.h"
#include "app/QtUi.h"

namespace {
// Values (the contents of a text field, names) as they are.
QString Q(const std::string& text) { return QString::fromStdString(text); }

// Hides the widget of a hidden control, and shows again only what was hidden here: a widget
// on a sheet not yet shown must not be shown on its own.
void FollowVisible(QWidget* widget, const TControl& control) {
  if (!control.Visible())
    widget->hide();
  else if (widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide))
    widget->show();
}

// A widget of kind W for a control of kind M, following the model from now on.
template <class W, class M>
QWidget* MakeBound(TControl& control, const TLife& life, QWidget* parent) {
  auto* widget = new W(static_cast<M&>(control), life, parent);
  FollowVisible(widget, control);
  control.OnViewUpdate = [widget, &control] {
    widget->Sync();
    FollowVisible(widget, control);
  };
  return widget;
}
}  // namespace

void RunGuarded(const std::function<void()>& action) { Guarded(action); }

// ---- widgets

TBoundLineEdit::TBoundLineEdit(TEdit& model, TLife life, QWidget* parent)
    : QLineEdit(parent), Model(&model), Life(std::move(life)), NormalPalette(palette()) {
  // Typing goes into the model at once, so that the page sees what the user has typed.
  connect(this, &QLineEdit::textEdited, this,
          [this](const QString& text) {
    if (Life->Ok()) RunGuarded([&] { Model->UserEdit(text.toStdString()); });
  });
  Sync();
}

void TBoundLineEdit::Sync() {
  if (!Life->Ok()) return;
  setMaxLength(Model->MaxLength() > 0 ? Model->MaxLength() : 32767);
  setReadOnly(Model->ReadOnly());
  setEnabled(Model->Enabled());
  setToolTip(ToQt(Model->Hint));
  const QString text = Q(Model->Text());
  if (this->text() != text) {
    setText(text);
    // A text that is only shown reads from its start when it is longer than the field.
    if (Model->ReadOnly()) setCursorPosition(0);
  }
  QPalette p = NormalPalette;
  if (Model->Color() == TTextColor::Red) p.setColor(QPalette::Text, Qt::red);
  setPalette(p);
}

void TBoundLineEdit::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
    // Both keys belong to the page: nothing is inserted and no dialog default button fires.
    event->accept();
    if (!Life->Ok()) return;
    const char c = key == Qt::Key_Escape ? 27 : 13;
    RunGuarded([&] { Model->UserKey(c); });
    return;
  }
  QLineEdit::keyPressEvent(event);
}

TBoundCheckBox::TBoundCheckBox(TCheckBox& model, TLife life, QWidget* parent)
    : QCheckBox(parent), Model(&model), Life(std::move(life)) {
  Sync();
}

void TBoundCheckBox::Sync() {
  if (!Life->Ok()) return;
  setText(ToQt(Model->Caption));
  setEnabled(Model->Enabled());
  setToolTip(ToQt(Model->Hint));
  switch (Model->State()) {
    case TCheckState::Unchecked: setCheckState(Qt::Unchecked); break;
    case TCheckState::Checked: setCheckState(Qt::Checked); break;
    case TCheckState::Grayed: setCheckState(Qt::PartiallyChecked); break;
  }
}

void TBoundCheckBox::nextCheckState() {
  if (!Life->Ok()) return;
  RunGuarded([&] { Model->UserClick(); });
  Sync();
}

TBoundComboBox::TBoundComboBox(TComboBox& model, TLife life, QWidget* parent)
    : TChoiceComboBox(parent), Model(&model), Life(std::move(life)) {
  // activated comes only from the user (mouse choice, keys), never from setCurrentIndex.
  connect(this, &QComboBox::activated, this,
          [this](int index) {
    if (Life->Ok()) RunGuarded([&] { Model->UserSelect(index); });
  });
  Sync();
}

void TBoundComboBox::Sync() {
  if (!Life->Ok()) return;
  const auto& items = Model->Items();
  bool same = count() == static_cast<int>(items.size());
  for (int i = 0; same && i < count(); ++i) same = itemText(i) == ToQt(items[i]);
  const QSignalBlocker block(this);
  if (!same) {
    clear();
    for (const auto& item : items) addItem(ToQt(item));
  }
  setEnabled(Model->Enabled());
  setToolTip(ToQt(Model->Hint));
  if (currentIndex() != Model->ItemIndex()) setCurrentIndex(Model->ItemIndex());
}

void TBoundComboBox::showPopup() {
  if (Life->Ok()) RunGuarded([&] { Model->UserDropDown(); });
  QComboBox::showPopup();
}

void TBoundComboBox::hidePopup() {
  QComboBox::hidePopup();
  if (Life->Ok()) RunGuarded([&] { Model->UserCloseUp(); });
}

TBoundLabel::TBoundLabel(TLabel& model, TLife life, QWidget* parent)
    : QLabel(parent), Model(&model), Life(std::move(life)) {
  Sync();
}

void TBoundLabel::Sync() {
  if (!Life->Ok()) return;
  setText(ToQt(Model->Caption));
  setEnabled(Model->Enabled());
  setToolTip(ToQt(Model->Hint));
}

TBoundSpinBox::TBoundSpinBox(TSpinEdit& model, TLife life, QWidget* parent)
    : TChoiceSpinBox(parent), Model(&model), Life(std::move(life)) {
  setRange(model.MinValue(), model.MaxValue());
  // Each step and each digit typed is the user's: the model takes it at once.
  connect(this, &QSpinBox::valueChanged, this, [this](int value) {
    if (!Life->Ok()) return;
    RunGuarded([&] { Model->UserSetValue(value); });
    Sync();
  });
  Sync();
}

void TBoundSpinBox::Sync() {
  if (!Life->Ok()) return;
  setEnabled(Model->Enabled());
  setToolTip(ToQt(Model->Hint));
  if (value() != Model->Value()) {
    const QSignalBlocker block(this);
    setValue(Model->Value());
  }
}

TBoundToolButton::TBoundToolButton(TButton& model, TLife life, QWidget* parent)
    : QToolButton(parent), Model(&model), Life(std::move(life)) {
  // A press takes the focus, as a push button does; the page hands it back when done.
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QToolButton::clicked, this, [this] {
    if (Life->Ok()) RunGuarded([&] { Model->UserClick(); });
  });
  Sync();
}

void TBoundToolButton::Sync() {
  if (!Life->Ok()) return;
  setToolTip(ToQt(Model->Hint));
  setEnabled(Model->Enabled());
  if (!Model->Caption.empty()) {
    setText(ToQt(Model->Caption));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
  } else {
    // A reset button without a caption shows the style's reset glyph.
    setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    if (icon().isNull()) setText("X");
    // The glyph says nothing to a screen reader: the hint names the button (the page
    // builder may add the channel it stands for).
    if (accessibleName().isEmpty()) setAccessibleName(ToQt(Model->Hint));
  }
}

// ---- TControlBinding

TControlBinding::TControlBinding(TControlSet& set, QObject* parent) : QObject(parent), Controls(&set) {
  Controls->OnFocusChange = [this](TControl* control) { FollowFocus(control); };
}

TControlBinding::~TControlBinding() {
  if (Life->Ok()) {
    Controls->OnFocusChange = nullptr;
    for (auto& [control, widget] : Widgets) const_cast<TControl*>(control)->OnViewUpdate = nullptr;
    for (TPageTimer* timer : Timers) timer->OnViewUpdate = nullptr;
  }
  Life->Detached = true;
}

void TControlBinding::WatchLifetime(std::weak_ptr<void> pageAlive) {
  Life->Watching = true;
  Life->PageAlive = std::move(pageAlive);
}

void TControlBinding::SyncAll() {
  if (!Life->Ok()) return;
  for (auto& [control, widget] : Widgets)
    if (control->OnViewUpdate) control->OnViewUpdate();
}

void TControlBinding::Track(TControl& control, QWidget* widget) {
  Widgets[&control] = widget;
  ControlsOf[widget] = &control;
  widget->installEventFilter(this);
  // A widget going before the binding (its parent was deleted) must not be synced any more.
  connect(widget, &QObject::destroyed, this, [this, c = &control](QObject* w) {
    Widgets.erase(c);
    ControlsOf.erase(w);
    if (Life->Ok()) c->OnViewUpdate = nullptr;
  });
}

QWidget* TControlBinding::CreateWidget(TControl& control, QWidget* parent) {
  QWidget* widget = nullptr;
  switch (control.Kind()) {
    case TControlKind::Edit:
      widget = MakeBound<TBoundLineEdit, TEdit>(control, Life, parent);
      break;
    case TControlKind::CheckBox:
      widget = MakeBound<TBoundCheckBox, TCheckBox>(control, Life, parent);
      break;
    case TControlKind::ComboBox:
      widget = MakeBound<TBoundComboBox, TComboBox>(control, Life, parent);
      break;
    case TControlKind::Button:
      widget = MakeBound<TBoundToolButton, TButton>(control, Life, parent);
      break;
    case TControlKind::Label:
      widget = MakeBound<TBoundLabel, TLabel>(control, Life, parent);
      break;
    case TControlKind::SpinEdit:
      widget = MakeBound<TBoundSpinBox, TSpinEdit>(control, Life, parent);
      break;
    case TControlKind::Tabs: {
      auto* w = new QTabWidget(parent);
      auto& tabs = static_cast<TPageControl&>(control);
      control.OnViewUpdate = [w, &tabs, life = Life] {
        if (!life->Ok()) return;
        if (w->currentIndex() != tabs.TabIndex()) {
          const QSignalBlocker block(w);
          w->setCurrentIndex(tabs.TabIndex());
        }
        w->setEnabled(tabs.Enabled());
      };
      connect(w, &QTabWidget::currentChanged, this,
              [&tabs, life = Life](int index) {
                if (life->Ok()) RunGuarded([&] { tabs.UserSelectTab(index); });
              });
      // The tab bar is the focus proxy of the tab widget: focus on either is the tab control's.
      ControlsOf[w->tabBar()] = &control;
      // Its scroll arrows do what the arrow keys on the tabs do: Tab goes past them.
      for (QToolButton* arrow : w->tabBar()->findChildren<QToolButton*>())
        arrow->setFocusPolicy(Qt::NoFocus);
      w->tabBar()->installEventFilter(this);
      widget = w;
      break;
    }
    case TControlKind::Container: {
      widget = new QWidget(parent);
      BindContainer(static_cast<TContainer&>(control), widget);
      return widget;
    }
  }
  Track(control, widget);
  widget->setObjectName(Q(control.Name()));
  return widget;
}

void TControlBinding::BindContainer(TContainer& container, QWidget* widget) {
  container.OnViewUpdate = [widget, &container, life = Life] {
    if (life->Ok()) widget->setEnabled(container.Enabled());
  };
  Track(container, widget);
  if (!container.Name().empty()) widget->setObjectName(Q(container.Name()));
}

void TControlBinding::AddTab(TPageControl& tabs, QTabWidget* widget, QWidget* sheet,
                             const QString& caption) {
  const QSignalBlocker block(widget);
  widget->addTab(sheet, caption);
  widget->setCurrentIndex(tabs.TabIndex());
}

void TControlBinding::BindTimer(TPageTimer& timer, const char* name) {
  auto* qtimer = new QTimer(this);
  if (name) qtimer->setObjectName(QString::fromLatin1(name));
  qtimer->setTimerType(Qt::PreciseTimer);
  // The model switches itself off at the start of a tick and on again at its end; the Qt timer
  // follows, so the next tick comes one interval after the end of the last.
  timer.OnViewUpdate = [qtimer, &timer] {
    if (timer.Enabled())
      qtimer->start(timer.Interval);
    else
      qtimer->stop();
  };
  connect(qtimer, &QTimer::timeout, this, [&timer, life = Life] {
    if (life->Ok()) RunGuarded([&] { timer.Tick(); });
  });
  Timers.push_back(&timer);
  timer.OnViewUpdate();
}

QWidget* TControlBinding::WidgetOf(const TControl* control) const {
  auto it = Widgets.find(control);
  return it == Widgets.end() ? nullptr : it->second;
}

void TControlBinding::FollowFocus(TControl* control) {
  QWidget* widget = WidgetOf(control);
  if (!widget || widget->hasFocus()) return;
  if (auto* tabs = qobject_cast<QTabWidget*>(widget); tabs && tabs->tabBar()->hasFocus()) return;
  widget->setFocus(Qt::OtherFocusReason);
}

bool TControlBinding::eventFilter(QObject* watched, QEvent* event) {
  if (!Life->Ok()) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
    auto it = ControlsOf.find(watched);
    if (it != ControlsOf.end()) {
      TControl* control = it->second;
      if (event->type() == QEvent::FocusIn) {
        RunGuarded([&] { Controls->SetFocus(control); });
      } else {
        // A popup (the list of a combo box, a menu) or another window taking over keeps the
        // focus where it is, as far as the page is concerned.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            !QApplication::activePopupWidget() && Controls->Focus() == control)
          RunGuarded([&] { Controls->SetFocus(nullptr); });
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

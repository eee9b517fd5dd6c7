#pragma once
// One binding per control kind between the page's control model and a Qt widget: text field
// to QLineEdit, check box to a tri-state QCheckBox, list to QComboBox, button to QToolButton,
// label to QLabel, number spinner to QSpinBox, tabs to QTabWidget, container to a plain
// QWidget. The model is the truth: a change made by
// the page is copied into the widget, a user's action is reported to the model, and the one
// input focus of the page is kept in step both ways.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPalette>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <map>
#include <memory>

#include "app/ChoiceWidgets.h"
#include "shell/Controls.h"

// Runs a model action started by the user or a timer; an error that reaches this boundary is
// shown in the program's default error box and the program goes on.
void RunGuarded(const std::function<void()>& action);

// Whether the bound model may still be touched: not once the binding is gone, nor once the
// page it belongs to was destroyed (a released page and its view go at different moments).
struct TBindingLife {
  bool Detached = false;
  bool Watching = false;
  std::weak_ptr<void> PageAlive;
  bool Ok() const { return !Detached && !(Watching && PageAlive.expired()); }
};
using TLife = std::shared_ptr<TBindingLife>;

// The bindings of one page's controls. Lives as a child of the page's view and unhooks every
// model callback when it goes, so the model may outlive the widgets.
class TControlBinding : public QObject {
  Q_OBJECT
 public:
  TControlBinding(TControlSet& set, QObject* parent);
  ~TControlBinding() override;

  // The widget of a control kind, bound and placed under parent (tabs get no sheets here:
  // the page builder adds the sheet widgets it builds through AddTab).
  QWidget* CreateWidget(TControl& control, QWidget* parent);
  // Binds an existing widget (containers built by the page builder).
  void BindContainer(TContainer& container, QWidget* widget);
  void AddTab(TPageControl& tabs, QTabWidget* widget, QWidget* sheet, const QString& caption);
  // Runs the page timer with a Qt timer (named name, when given).
  void BindTimer(TPageTimer& timer, const char* name = nullptr);

  // From now on the model is touched only while the token lives (the page's Alive()).
  void WatchLifetime(std::weak_ptr<void> pageAlive);
  bool ModelAlive() const { return Life->Ok(); }
  // Copies the whole model into the widgets.
  void SyncAll();

  QWidget* WidgetOf(const TControl* control) const;
  TControlSet& Set() const { return *Controls; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Track(TControl& control, QWidget* widget);
  void FollowFocus(TControl* control);

  TControlSet* Controls;
  TLife Life = std::make_shared<TBindingLife>();
  std::map<const TControl*, QWidget*> Widgets;
  std::map<const QObject*, TControl*> ControlsOf;
  std::vector<TPageTimer*> Timers;
};

// The widgets, public so that tests and the renderer can reach what they show.
class TBoundLineEdit : public QLineEdit {
  Q_OBJECT
 public:
  TBoundLineEdit(TEdit& model, TLife life, QWidget* parent);
  void Sync();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TEdit* Model;
  TLife Life;
  QPalette NormalPalette;
};

class TBoundCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  TBoundCheckBox(TCheckBox& model, TLife life, QWidget* parent);
  void Sync();

 protected:
  // A user's click or space key: the model decides the next state.
  void nextCheckState() override;

 private:
  TCheckBox* Model;
  TLife Life;
};

class TBoundComboBox : public TChoiceComboBox {
  Q_OBJECT
 public:
  TBoundComboBox(TComboBox& model, TLife life, QWidget* parent);
  void Sync();
  void showPopup() override;
  void hidePopup() override;

 private:
  TComboBox* Model;
  TLife Life;
};

class TBoundLabel : public QLabel {
  Q_OBJECT
 public:
  TBoundLabel(TLabel& model, TLife life, QWidget* parent);
  void Sync();

 private:
  TLabel* Model;
  TLife Life;
};

class TBoundSpinBox : public TChoiceSpinBox {
  Q_OBJECT
 public:
  TBoundSpinBox(TSpinEdit& model, TLife life, QWidget* parent);
  void Sync();

 private:
  TSpinEdit* Model;
  TLife Life;
};

class TBoundToolButton : public QToolButton {
  Q_OBJECT
 public:
  TBoundToolButton(TButton& model, TLife life, QWidget* parent);
  void Sync();

 private:
  TButton* Model;
  TLife Life;
};

#pragma once
// The controls of a page as plain objects. Page logic reads and changes them; the Qt
// front binds each kind once to its widget and reports the user's actions back through the
// User* calls, so a page can be driven the same way by a test without any window.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/Layout.h"

class TControlSet;

enum class TControlKind { Container, Edit, CheckBox, ComboBox, Button, Tabs, Label, SpinEdit };

class TControl {
 public:
  virtual ~TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  TControlKind Kind() const { return ControlKind; }
  const std::string& Name() const { return ControlName; }
  // The container the control stands on (nullptr for the page itself).
  TControl* Parent() const { return ParentControl; }
  TControlSet& Set() const { return *Owner; }

  // Zero-based channel or bit index of a control in a row of channel controls.
  int Tag = 0;
  std::string Hint;

  bool Enabled() const { return IsEnabled; }
  void SetEnabled(bool enabled);
  // A hidden control takes no room and cannot take the focus.
  bool Visible() const { return IsVisible; }
  void SetVisible(bool visible);
  // Whether the control can take the input focus at all (enabled input controls).
  bool CanFocus() const;
  bool Focused() const;
  void SetFocus();
  // Moves the focus to the control's container, so that no input control keeps it.
  void ReleaseFocus();

  // Called after every change made by the program (not by the user), for the view to follow.
  std::function<void()> OnViewUpdate;

 protected:
  TControl(TControlSet& set, TControlKind kind, std::string name, TControl* parent);
  void Changed() const {
    if (OnViewUpdate) OnViewUpdate();
  }

 private:
  TControlSet* Owner;
  TControlKind ControlKind;
  std::string ControlName;
  TControl* ParentControl;
  bool IsEnabled = true;
  bool IsVisible = true;
};

// A panel or a tab sheet: it only holds other controls and can hold the focus itself.
class TContainer : public TControl {
 public:
  TContainer(TControlSet& set, std::string name, TControl* parent, std::string caption = {})
      : TControl(set, TControlKind::Container, std::move(name), parent),
        Caption(std::move(caption)) {}
  std::string Caption;
  // What the container shows, top to bottom.
  TSheetLayout Layout;
};

enum class TTextColor { Normal, Red };

class TEdit : public TControl {
 public:
  TEdit(TControlSet& set, std::string name, TControl* parent, int maxLength = 0,
        bool readOnly = false);

  const std::string& Text() const { return Value; }
  void SetText(const std::string& text);
  int MaxLength() const { return Limit; }
  bool ReadOnly() const { return IsReadOnly; }
  TTextColor Color() const { return TextColor; }
  void SetColor(TTextColor color);

  // Enter (13) and Esc (27) reach the page here; the view consumes both keys.
  std::function<void(TEdit&, char key)> OnKeyPress;
  // The focus left the field.
  std::function<void(TEdit&)> OnExit;

  // The user's side: typing replaces the text (cut to the maximum length), a key press
  // focuses the field first as typing into it would.
  void UserEdit(const std::string& text);
  void UserKey(char key);

 private:
  std::string Value;
  int Limit;
  bool IsReadOnly;
  TTextColor TextColor = TTextColor::Normal;
};

enum class TCheckState { Unchecked, Checked, Grayed };

class TCheckBox : public TControl {
 public:
  TCheckBox(TControlSet& set, std::string name, TControl* parent, std::string caption = {});

  TCheckState State() const { return Value; }
  bool Checked() const { return Value == TCheckState::Checked; }
  void SetState(TCheckState state);
  void SetChecked(bool checked) { SetState(checked ? TCheckState::Checked : TCheckState::Unchecked); }
  std::string Caption;

  // Fired by a user's click only; a state set by the program fires nothing.
  std::function<void(TCheckBox&)> OnClick;

  // A click: focus to the box, the state moves on (grayed and unchecked become checked,
  // checked becomes unchecked), then OnClick. Nothing happens on a disabled box.
  void UserClick();

 private:
  TCheckState Value = TCheckState::Unchecked;
};

class TComboBox : public TControl {
 public:
  TComboBox(TControlSet& set, std::string name, TControl* parent, std::vector<std::string> items);

  const std::vector<std::string>& Items() const { return ItemTexts; }
  void SetItems(std::vector<std::string> items);
  int ItemIndex() const { return Index; }
  // An index outside the items means no selection (-1).
  void SetItemIndex(int index);
  // The selected item's text, empty when none is selected.
  std::string Text() const;
  bool DroppedDown() const { return IsDroppedDown; }

  // A selection made by the user.
  std::function<void(TComboBox&)> OnChange;
  // The list closed.
  std::function<void(TComboBox&)> OnCloseUp;

  void UserDropDown();
  void UserCloseUp();
  // The user picks an item (from the open list or with the keys): index, then OnChange.
  void UserSelect(int index);
  // Drop down, pick and close as a mouse choice does.
  void UserChoose(int index);

 private:
  std::vector<std::string> ItemTexts;
  int Index = -1;
  bool IsDroppedDown = false;
};

class TButton : public TControl {
 public:
  TButton(TControlSet& set, std::string name, TControl* parent, std::string caption = {},
          std::string hint = {});
  std::string Caption;
  void SetCaption(const std::string& caption);
  std::function<void(TButton&)> OnClick;
  // A press focuses the button and fires OnClick (nothing on a disabled button).
  void UserClick();
};

// A text on the page, such as the label of a row whose state the page changes.
class TLabel : public TControl {
 public:
  TLabel(TControlSet& set, std::string name, TControl* parent, std::string caption)
      : TControl(set, TControlKind::Label, std::move(name), parent), Caption(std::move(caption)) {}
  std::string Caption;
};

// A whole number in a range, stepped up and down or typed.
class TSpinEdit : public TControl {
 public:
  TSpinEdit(TControlSet& set, std::string name, TControl* parent, int minValue, int maxValue);

  int MinValue() const { return Min; }
  int MaxValue() const { return Max; }
  int Value() const { return Current; }
  // A value outside the range is taken to its nearest end.
  void SetValue(int value);

  // A value changed by the user.
  std::function<void(TSpinEdit&)> OnChange;
  // The user steps or types a value (taken into the range): focus to the field, then OnChange
  // when the value changed.
  void UserSetValue(int value);

 private:
  int Min, Max, Current;
};

// The tab control: a row of tab sheets of which one is visible.
class TPageControl : public TControl {
 public:
  TPageControl(TControlSet& set, std::string name, TControl* parent)
      : TControl(set, TControlKind::Tabs, std::move(name), parent) {}

  TContainer* AddSheet(const std::string& name, const std::string& caption);
  const std::vector<TContainer*>& Sheets() const { return SheetList; }
  int TabIndex() const { return Index; }
  void SetTabIndex(int index);
  TContainer* ActiveSheet() const;

  // The user switched tabs.
  std::function<void(TPageControl&)> OnChange;
  void UserSelectTab(int index);

 private:
  std::vector<TContainer*> SheetList;
  int Index = 0;
};

// A page's repeating timer as plain data. The program runs it with a Qt timer, tests fire it
// themselves against the fake clock; switching it off and on again restarts the interval.
class TPageTimer {
 public:
  bool Enabled() const { return IsEnabled; }
  void SetEnabled(bool enabled);
  int Interval = 1000;
  std::function<void()> OnTimer;
  // The clock time the next tick is due (meaningful while enabled).
  int64_t DueAtMs() const { return EnabledAtMs + Interval; }
  // Fires OnTimer when enabled (what the Qt timer does on expiry).
  void Tick();
  std::function<void()> OnViewUpdate;

 private:
  bool IsEnabled = false;
  int64_t EnabledAtMs = 0;
};

// The controls of one page and its single input focus.
class TControlSet {
 public:
  TControlSet();
  ~TControlSet();
  TControlSet(const TControlSet&) = delete;
  TControlSet& operator=(const TControlSet&) = delete;

  // The page itself, the root container.
  TContainer& Root() { return *RootContainer; }

  template <class T, class... Args>
  T* Add(Args&&... args) {
    auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T* raw = control.get();
    All.push_back(std::move(control));
    return raw;
  }
  // The control of a name (exact), nullptr if none.
  TControl* Find(const std::string& name) const;
  template <class T>
  T* FindAs(const std::string& name) const {
    return dynamic_cast<T*>(Find(name));
  }
  const std::vector<std::unique_ptr<TControl>>& Controls() const { return All; }

  // At most one control has the focus; nullptr when the focus is outside the page.
  TControl* Focus() const { return Focused; }
  // Moves the focus (the page's own moves and the view's reports alike). A text field that
  // loses the focus gets its OnExit after the move; the view is told through OnFocusChange.
  void SetFocus(TControl* control);
  std::function<void(TControl*)> OnFocusChange;

 private:
  std::vector<std::unique_ptr<TControl>> All;
  TContainer* RootContainer;
  TControl* Focused = nullptr;
};

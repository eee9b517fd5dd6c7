#include "shell/Controls.h"

#include <algorithm>

#include "comm/Clock.h"
#include "comm/Resources.h"

namespace {
// Cuts a UTF-8 text to at most n characters (0 = no limit), never inside a character.
std::string CutToChars(const std::string& text, int n) {
  if (n <= 0) return text;
  int chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == n) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}
}  // namespace

// ---- TControl

TControl::TControl(TControlSet& set, TControlKind kind, std::string name, TControl* parent)
    : Owner(&set), ControlKind(kind), ControlName(std::move(name)), ParentControl(parent) {}

void TControl::SetEnabled(bool enabled) {
  if (IsEnabled == enabled) return;
  IsEnabled = enabled;
  if (!enabled && Focused()) ReleaseFocus();
  Changed();
}

void TControl::SetVisible(bool visible) {
  if (IsVisible == visible) return;
  IsVisible = visible;
  if (!visible && Focused()) ReleaseFocus();
  Changed();
}

bool TControl::CanFocus() const { return IsEnabled && IsVisible; }

bool TControl::Focused() const { return Owner->Focus() == this; }

void TControl::SetFocus() {
  if (CanFocus()) Owner->SetFocus(this);
}

void TControl::ReleaseFocus() { Owner->SetFocus(ParentControl ? ParentControl : &Owner->Root()); }

// ---- TEdit

TEdit::TEdit(TControlSet& set, std::string name, TControl* parent, int maxLength, bool readOnly)
    : TControl(set, TControlKind::Edit, std::move(name), parent),
      Value(ResStr("Н/Д")),
      Limit(maxLength),
      IsReadOnly(readOnly) {}

void TEdit::SetText(const std::string& text) {
  if (Value == text) return;
  Value = text;
  Changed();
}

void TEdit::SetColor(TTextColor color) {
  if (TextColor == color) return;
  TextColor = color;
  Changed();
}

void TEdit::UserEdit(const std::string& text) {
  SetFocus();
  if (!IsReadOnly) Value = CutToChars(text, Limit);
}

void TEdit::UserKey(char key) {
  SetFocus();
  if (OnKeyPress) OnKeyPress(*this, key);
}

// ---- TCheckBox

TCheckBox::TCheckBox(TControlSet& set, std::string name, TControl* parent, std::string caption)
    : TControl(set, TControlKind::CheckBox, std::move(name), parent), Caption(std::move(caption)) {}

void TCheckBox::SetState(TCheckState state) {
  if (Value == state) return;
  Value = state;
  Changed();
}

void TCheckBox::UserClick() {
  if (!Enabled()) return;
  SetFocus();
  Value = Value == TCheckState::Checked ? TCheckState::Unchecked : TCheckState::Checked;
  Changed();
  if (OnClick) OnClick(*this);
}

// ---- TComboBox

TComboBox::TComboBox(TControlSet& set, std::string name, TControl* parent,
                     std::vector<std::string> items)
    : TControl(set, TControlKind::ComboBox, std::move(name), parent), ItemTexts(std::move(items)) {}

void TComboBox::SetItems(std::vector<std::string> items) {
  ItemTexts = std::move(items);
  Index = -1;
  Changed();
}

void TComboBox::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(ItemTexts.size())) index = -1;
  if (Index == index) return;
  Index = index;
  Changed();
}

std::string TComboBox::Text() const { return Index < 0 ? std::string() : ItemTexts[size_t(Index)]; }

void TComboBox::UserDropDown() {
  if (!Enabled()) return;
  SetFocus();
  IsDroppedDown = true;
}

void TComboBox::UserCloseUp() {
  if (!IsDroppedDown) return;
  IsDroppedDown = false;
  if (OnCloseUp) OnCloseUp(*this);
}

void TComboBox::UserSelect(int index) {
  if (!Enabled() || index < 0 || index >= static_cast<int>(ItemTexts.size())) return;
  // No focus move here: a choice from the open list comes after the close-up has released the
  // focus, and keys reach only a list that holds it already (the view ignores the wheel).
  Index = index;
  if (OnChange) OnChange(*this);
}

void TComboBox::UserChoose(int index) {
  UserDropDown();
  UserCloseUp();
  UserSelect(index);
}

// ---- TButton

TButton::TButton(TControlSet& set, std::string name, TControl* parent, std::string caption,
                 std::string hint)
    : TControl(set, TControlKind::Button, std::move(name), parent), Caption(std::move(caption)) {
  Hint = std::move(hint);
}

void TButton::SetCaption(const std::string& caption) {
  if (Caption == caption) return;
  Caption = caption;
  Changed();
}

void TButton::UserClick() {
  if (!Enabled()) return;
  SetFocus();
  if (OnClick) OnClick(*this);
}

// ---- TSpinEdit

TSpinEdit::TSpinEdit(TControlSet& set, std::string name, TControl* parent, int minValue,
                     int maxValue)
    : TControl(set, TControlKind::SpinEdit, std::move(name), parent),
      Min(minValue),
      Max(maxValue),
      Current(minValue) {}

void TSpinEdit::SetValue(int value) {
  value = std::clamp(value, Min, Max);
  if (Current == value) return;
  Current = value;
  Changed();
}

void TSpinEdit::UserSetValue(int value) {
  if (!Enabled()) return;
  SetFocus();
  value = std::clamp(value, Min, Max);
  if (Current == value) return;
  Current = value;
  if (OnChange) OnChange(*this);
}

// ---- TPageControl

TContainer* TPageControl::AddSheet(const std::string& name, const std::string& caption) {
  TContainer* sheet = Set().Add<TContainer>(name, this, caption);
  SheetList.push_back(sheet);
  return sheet;
}

void TPageControl::SetTabIndex(int index) {
  if (index < 0 || index >= static_cast<int>(SheetList.size()) || index == Index) return;
  Index = index;
  // A control on a hidden sheet cannot keep the focus.
  TControl* focus = Set().Focus();
  for (TControl* c = focus; c; c = c->Parent()) {
    if (c->Parent() == this && c != ActiveSheet()) {
      Set().SetFocus(this);
      break;
    }
  }
  Changed();
}

TContainer* TPageControl::ActiveSheet() const {
  return Index >= 0 && Index < static_cast<int>(SheetList.size()) ? SheetList[Index] : nullptr;
}

void TPageControl::UserSelectTab(int index) {
  if (index < 0 || index >= static_cast<int>(SheetList.size()) || index == Index) return;
  SetTabIndex(index);
  if (OnChange) OnChange(*this);
}

// ---- TPageTimer

void TPageTimer::SetEnabled(bool enabled) {
  if (IsEnabled == enabled) return;
  IsEnabled = enabled;
  if (enabled) EnabledAtMs = Clock().NowMs();
  if (OnViewUpdate) OnViewUpdate();
}

void TPageTimer::Tick() {
  if (IsEnabled && OnTimer) OnTimer();
}

// ---- TControlSet

TControlSet::TControlSet() {
  auto root = std::make_unique<TContainer>(*this, "", nullptr);
  RootContainer = root.get();
  All.push_back(std::move(root));
}

TControlSet::~TControlSet() {
  // The views are gone by now; no callback may run while the controls are freed.
  OnFocusChange = nullptr;
  Focused = nullptr;
}

TControl* TControlSet::Find(const std::string& name) const {
  for (const auto& c : All)
    if (!c->Name().empty() && c->Name() == name) return c.get();
  return nullptr;
}

void TControlSet::SetFocus(TControl* control) {
  if (Focused == control) return;
  TControl* old = Focused;
  Focused = control;
  if (OnFocusChange) OnFocusChange(control);
  if (old && old->Kind() == TControlKind::Edit) {
    auto* edit = static_cast<TEdit*>(old);
    if (edit->OnExit) edit->OnExit(*edit);
  }
}

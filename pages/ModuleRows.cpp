// The page's side of its register rows: the tabs they make, the rule each part's control
// follows and how it shows its register after a read.
#include <algorithm>
#include <stdexcept>

#include "comm/Codecs.h"
#include "models/ValueRules.h"
#include "pages/ModuleForm.h"
#include "shell/MainUnit.h"

TContainer* TModuleForm::AddRowsTab(const std::string& name, const std::string& caption,
                                    TRowsTable table) {
  TContainer* sheet = AddTab(name, caption, nullptr);
  RefreshSteps.back() = BuildRows(sheet, std::move(table));
  return sheet;
}

void TModuleForm::AfterEveryCycle(std::function<void()> step) {
  CycleSteps.push_back(std::move(step));
}

void TModuleForm::FollowCalibration(TButton* button) {
  button->SetEnabled(false);
  AfterEveryCycle([button] {
    const TMainForm* main = MainForm();
    button->SetEnabled(main && main->CalibrationEnabled);
  });
}

TprDevReg* TModuleForm::Register(const std::string& name) const {
  TprDevReg* reg = Module ? Module->FindRegister(name) : nullptr;
  if (!reg)
    throw std::logic_error(ClassName + ": the register map of " +
                           (OwnerNode() ? OwnerNode()->NameText : "?") + " has no " + name);
  return reg;
}

std::string TModuleForm::RegisterCaption(const std::string& registerName) const {
  return Rows.RegisterCaption(registerName);
}

TContainer* TModuleForm::AddIndicationTab(const TIndicationLayout& layout) {
  TContainer* sheet = AddTab("tsIndication", "Индикация", nullptr);
  Indication = std::make_unique<TIndicationTab>(*this, sheet, layout);
  RefreshSteps.back() = [tab = Indication.get()] { return tab->Refresh(); };
  return sheet;
}

void TModuleForm::BindPart(const std::shared_ptr<const TPart>& part, TControl* control,
                           TprDevReg* reg, int bit) {
  const TPart& p = *part;
  if (control->Kind() == TControlKind::Edit) {
    if (p.Kind == TPartKind::Show || p.Kind == TPartKind::Computed) return;
    std::function<void(TEdit&, char)> rule = p.KeyRule;
    // A number field takes its register's range (none without a map row).
    int64_t lo = 0, hi = -1;
    if (reg && reg->Def) NumberRange(*reg->Def, lo, hi);
    if (rule) {
    } else if (p.Kind == TPartKind::Number) {
      rule = [this, reg, lo, hi, written = p.WrittenRule](TEdit& f, char k) {
        NumberEntry(f, k, reg, lo, hi, written);
      };
    } else if (p.Kind == TPartKind::Text) {
      rule = [this, reg](TEdit& f, char k) { TextEntry(f, k, reg); };
    } else if (p.Kind == TPartKind::Single) {
      rule = [this, reg](TEdit& f, char k) { SingleEntry(f, k, reg); };
    }
    BindField(static_cast<TEdit*>(control), std::move(rule));
    return;
  }
  // The click of a box or button, the change of a list.
  std::function<void(TControl&)> rule = p.ActionRule;
  if (!rule) {
    switch (p.Kind) {
      case TPartKind::Toggle:
        rule = [this, reg, bit](TControl& c) { BitToggle(static_cast<TCheckBox&>(c), reg, bit); };
        break;
      case TPartKind::Flag:
        rule = [this, reg, value = p.FlagValue](TControl& c) {
          FlagClick(static_cast<TCheckBox&>(c), reg, value);
        };
        break;
      case TPartKind::List:
        rule = [this, reg, part](TControl& c) {
          auto& l = static_cast<TComboBox&>(c);
          const int index = l.ItemIndex();
          if (index < 0) {
            l.ReleaseFocus();
            return;
          }
          const auto& codes = part->ItemCodes;
          ValueListChange(l, reg, std::to_string(size_t(index) < codes.size() ? codes[size_t(index)] : index));
        };
        break;
      case TPartKind::BitChoice:
        rule = [this, reg, bit](TControl& c) { BitChoice(static_cast<TComboBox&>(c), reg, bit); };
        break;
      case TPartKind::BitField:
        rule = [this, reg, lo = p.BitNo, w = p.FieldWidth](TControl& c) {
          BitFieldChoice(static_cast<TComboBox&>(c), reg, lo, w);
        };
        break;
      case TPartKind::Command:
        rule = [this, reg, text = p.CommandText](TControl& c) {
          Command(c, reg, text != kPowerOfTag ? text : std::to_string(1u << c.Tag));
        };
        break;
      default: break;
    }
  }
  switch (control->Kind()) {
    case TControlKind::CheckBox:
      BindBox(static_cast<TCheckBox*>(control), rule ? [rule](TCheckBox& b) { rule(b); }
                                                     : std::function<void(TCheckBox&)>());
      break;
    case TControlKind::ComboBox:
      BindList(static_cast<TComboBox*>(control), [rule](TComboBox& l) {
        if (rule) rule(l);
      });
      break;
    case TControlKind::Button:
      BindButton(static_cast<TButton*>(control), [rule](TButton& b) {
        if (rule) rule(b);
      });
      break;
    default: break;
  }
}

void TModuleForm::ShowBound(const TRowBinding& b, bool ok) {
  const TPart& p = *b.Part;
  const std::string& text = ok ? b.Reg->ValueText : std::string();
  int32_t value = 0;
  const bool integer = ok && b.Reg->IntegerValue(value);
  switch (p.Kind) {
    case TPartKind::Number:
    case TPartKind::Text:
    case TPartKind::Show:
    case TPartKind::Single: {
      // The value text as read, or a number with the part's fixed decimals, else its row's;
      // "Ошибка" when a value read has no number to show.
      auto& field = static_cast<TEdit&>(*b.Control);
      const int decimals =
          p.Decimals != kValueTextAsRead ? p.Decimals : b.Reg->Def ? b.Reg->Def->Decimals : kAsRead;
      std::string shown;
      if (decimals == kAsRead)
        ShowText(field, ok, text, p.ShowEvenFocused);
      else
        ShowComputed(field, ok, ok && FormatValue(*b.Reg, decimals, shown), shown, p.ShowEvenFocused);
      break;
    }
    case TPartKind::Computed: {
      // The part's own text; "Ошибка" when there is none.
      std::string shown;
      ShowComputed(static_cast<TEdit&>(*b.Control), ok, ok && p.ComputeText(text, shown), shown,
                   p.ShowEvenFocused);
      break;
    }
    case TPartKind::BitShow:
    case TPartKind::Toggle:
      ShowBit(static_cast<TCheckBox&>(*b.Control), ok, *b.Reg, b.Bit);
      break;
    case TPartKind::Flag: {
      auto& box = static_cast<TCheckBox&>(*b.Control);
      if (!integer)
        box.SetState(TCheckState::Grayed);
      else if (!box.Focused())
        box.SetChecked(value == p.FlagValue);
      break;
    }
    case TPartKind::List: {
      int index = p.OtherItem;
      if (p.ItemCodes.empty()) {
        if (value >= 0 && value < static_cast<int>(p.ItemTexts.size())) index = value;
      } else {
        const auto it = std::find(p.ItemCodes.begin(), p.ItemCodes.end(), value);
        if (it != p.ItemCodes.end()) index = static_cast<int>(it - p.ItemCodes.begin());
      }
      ShowIndex(static_cast<TComboBox&>(*b.Control), integer, index);
      break;
    }
    case TPartKind::BitChoice:
      ShowIndex(static_cast<TComboBox&>(*b.Control), integer,
                (static_cast<uint32_t>(value) >> b.Bit) & 1u ? 1 : 0);
      break;
    case TPartKind::BitField:
      ShowIndex(static_cast<TComboBox&>(*b.Control), integer,
                static_cast<int>((static_cast<uint32_t>(value) >> p.BitNo) &
                                 ((1u << p.FieldWidth) - 1u)));
      break;
    default: break;
  }
}

TTask<> RunSteps(std::shared_ptr<const std::vector<TRefreshStep>> steps) {
  for (const TRefreshStep& step : *steps)
    if (step) co_await step();
}

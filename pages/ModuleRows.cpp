// Register rows: the controls, layout cells, bindings and refresh of a tab declared as rows.
#include <algorithm>
#include <stdexcept>

#include "comm/Codecs.h"
#include "comm/Resources.h"
#include "pages/ModuleForm.h"
#include "shell/MainUnit.h"

namespace {
bool IsBitKind(TPartKind kind) {
  return kind == TPartKind::BitShow || kind == TPartKind::Toggle ||
         kind == TPartKind::BitChoice || kind == TPartKind::Command;
}

// Kinds that show their register after each read.
bool Reads(TPartKind kind) {
  return kind != TPartKind::Label && kind != TPartKind::Field && kind != TPartKind::Command &&
         kind != TPartKind::Button;
}

TControlKind ControlKindOf(TPartKind kind) {
  switch (kind) {
    case TPartKind::BitShow:
    case TPartKind::Toggle:
    case TPartKind::Flag: return TControlKind::CheckBox;
    case TPartKind::List:
    case TPartKind::BitChoice:
    case TPartKind::BitField: return TControlKind::ComboBox;
    case TPartKind::Command:
    case TPartKind::Button: return TControlKind::Button;
    default: return TControlKind::Edit;
  }
}

int Digits(int64_t v) { return static_cast<int>(std::to_string(v).size()); }

const TRegisterDef* DefOf(const TprModel& model, const TprDevReg* reg) {
  for (size_t k = 0; reg && k < model.Registers().size(); ++k)
    if (model.Registers()[k] == reg) return &model.Map()[k];
  return nullptr;
}

// The range of a number part: its own, else the register's.
void RangeOf(const TPart& part, const TRegisterDef* def, int64_t& lo, int64_t& hi) {
  lo = part.Lo;
  hi = part.Hi;
  if (hi < lo && def) NumberRange(*def, lo, hi);
}

// Kinds whose own rule writes the register.
bool Writes(TPartKind kind) {
  return kind != TPartKind::Label && kind != TPartKind::Field && kind != TPartKind::Show &&
         kind != TPartKind::Computed && kind != TPartKind::BitShow && kind != TPartKind::Button;
}

[[noreturn]] void Fail(const std::string& what) { throw std::logic_error(what); }
}  // namespace

struct TModuleForm::TRowBinding {
  std::shared_ptr<const TPart> Part;
  TControl* Control;
  TprDevReg* Reg;
  int Bit;
};

// A tab's bindings and the order it reads in: a register read shows every control bound to it.
struct TModuleForm::TRowsPlan {
  struct TItem {
    TprDevReg* Reg = nullptr;
    TRefreshStep Step;
  };
  std::vector<TItem> Items;
  std::vector<TRowBinding> Bindings;
};

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
    Fail(ClassName + ": the register map of " + (OwnerNode() ? OwnerNode()->NameText : "?") +
         " has no " + name);
  return reg;
}

TRefreshStep TModuleForm::BuildRows(TContainer* sheet, TRowsTable table) {
  if (!Module) Fail("register rows need the device object of a model");
  auto refresh = std::make_shared<TRowsPlan>();
  std::vector<TRowBinding>* bindings = &refresh->Bindings;
  const bool ownOrder = !table.Order.empty();
  // Default order: each register where a row first shows it, the rows' steps at their places.
  auto addRead = [&](TprDevReg* reg) {
    for (const auto& item : refresh->Items)
      if (item.Reg == reg) return;
    refresh->Items.push_back({reg, nullptr});
  };

  // Controls of each row, part by part, in channel order (for the layout).
  std::vector<std::vector<std::vector<TControl*>>> placed(table.Rows.size());
  for (size_t r = 0; r < table.Rows.size(); ++r) {
    TRow& row = table.Rows[r];
    if (row.Step) {
      if (ownOrder) Fail(ClassName + ": a row step and an explicit refresh order on one tab");
      refresh->Items.push_back({nullptr, row.Step});
    }
    for (TPart& source : row.Parts) {
      if (!source.Register.empty() && source.Kind != TPartKind::Label)
        TakeRegisterFacts(source);
      auto part = std::make_shared<const TPart>(source);
      std::vector<TControl*>& controls = placed[r].emplace_back();
      if (part->Kind == TPartKind::Label) continue;
      const bool channels = part->Count > 0;
      // A bit part with its bit as the tag shares one register; every other part with
      // channels has one register per channel.
      const bool perChannel = channels && !(IsBitKind(part->Kind) && part->BitNo == kBitIsTag);
      const int n = channels ? part->Count : 1;
      for (int i = 0; i < n; ++i) {
        int tag = i;
        if (i < static_cast<int>(part->TagList.size()))
          tag = part->TagList[size_t(i)];
        else if (!channels && part->BitNo >= 0)
          tag = part->BitNo;
        const std::string name =
            channels ? part->Name + std::to_string(part->FirstNumber + i) : part->Name;
        TprDevReg* reg = nullptr;
        if (!part->Register.empty())
          reg = perChannel ? ChannelRegister(part->Register, tag) : Register(part->Register);
        const int bit = part->BitNo >= 0 ? part->BitNo : tag;
        TControl* control = nullptr;
        switch (ControlKindOf(part->Kind)) {
          case TControlKind::CheckBox:
            control = Controls.Add<TCheckBox>(name, sheet, part->CaptionText);
            break;
          case TControlKind::ComboBox:
            control = Controls.Add<TComboBox>(name, sheet, part->ItemTexts);
            break;
          case TControlKind::Button:
            control = Controls.Add<TButton>(name, sheet, part->CaptionText, part->HintText);
            break;
          default: {
            const bool readOnly =
                part->Kind == TPartKind::Show || part->Kind == TPartKind::Computed;
            // A field holds what its register can: the string length, or the digits of the
            // range of a number.
            int maxChars = part->MaxChars;
            const TRegisterDef* def = DefOf(*Module, reg);
            if (maxChars < 0) {
              maxChars = 0;
              if (def && def->DataType == dtString &&
                  (part->Kind == TPartKind::Text || part->Kind == TPartKind::Show))
                maxChars = def->StrLength;
              if (def && part->Kind == TPartKind::Number) {
                int64_t lo = 0, hi = 0;
                RangeOf(*part, def, lo, hi);
                maxChars = std::max(Digits(lo), Digits(hi));
              }
            }
            control = Controls.Add<TEdit>(name, sheet, maxChars, readOnly);
          }
        }
        control->Tag = tag;
        if (!part->HintText.empty()) control->Hint = part->HintText;
        BindPart(part, control, reg, bit);
        if (reg && Reads(part->Kind)) {
          NoteCaption(reg->Name, sheet->Caption, row.Label.empty() ? part->CaptionText : row.Label,
                      perChannel ? tag + 1 : 0);
          bindings->push_back({part, control, reg, bit});
          if (!ownOrder) addRead(reg);
        }
        if (part->Into) part->Into(control);
        controls.push_back(control);
      }
    }
  }

  if (ownOrder) {
    auto shown = [&](TprDevReg* reg) {
      return std::any_of(bindings->begin(), bindings->end(),
                         [reg](const TRowBinding& b) { return b.Reg == reg; });
    };
    for (const TReadItem& item : table.Order) {
      if (item.Step) {
        refresh->Items.push_back({nullptr, item.Step});
        continue;
      }
      const int n = item.Count > 0 ? item.Count : 1;
      for (int i = 0; i < n; ++i) {
        TprDevReg* reg =
            item.Count > 0 ? ChannelRegister(item.Register, i) : Register(item.Register);
        if (!shown(reg)) Fail(ClassName + ": no row shows " + reg->Name + " of the refresh order");
        refresh->Items.push_back({reg, nullptr});
      }
    }
    for (const TRowBinding& b : *bindings) {
      const bool ordered = std::any_of(refresh->Items.begin(), refresh->Items.end(),
                                       [&](const auto& item) { return item.Reg == b.Reg; });
      if (!ordered) Fail(ClassName + ": " + b.Reg->Name + " is missing from the refresh order");
    }
  }

  // The layout: one grid.
  TLayoutGrid& grid = sheet->Layout.AddGrid(table.Title);
  auto cellOf = [](const TPart& part, TControl* control) {
    TCellAlign align = part.Align;
    if (part.Count > 0 && !part.AlignGiven) align = TCellAlign::Center;
    TLayoutCell cell =
        control ? ControlCell(control, part.ColumnSpan, align) : LabelCell(part.LabelText, part.ColumnSpan, align);
    cell.WidthChars = part.WidthChars;
    cell.FitTexts = part.FitTextList;
    cell.What = part.AccessibleText;
    return cell;
  };
  if (table.Orientation == TRowsOrientation::Lines) {
    for (size_t r = 0; r < table.Rows.size(); ++r) {
      const TRow& row = table.Rows[r];
      if (row.Parts.empty() && row.Label.empty()) continue;
      TLayoutRow line;
      if (!row.Label.empty()) line.push_back(LabelCell(row.Label));
      for (size_t p = 0; p < row.Parts.size(); ++p) {
        if (row.Parts[p].Kind == TPartKind::Label) line.push_back(cellOf(row.Parts[p], nullptr));
        for (TControl* c : placed[r][p]) line.push_back(cellOf(row.Parts[p], c));
      }
      grid.Row(std::move(line));
    }
  } else {
    // Each row a column (or one column per part) under its label; line n for channel n.
    TLayoutRow header{LabelCell(table.LinesLabel)};
    size_t lines = 0;
    for (size_t r = 0; r < table.Rows.size(); ++r) {
      header.push_back(LabelCell(table.Rows[r].Label, std::max<int>(1, int(table.Rows[r].Parts.size()))));
      for (const auto& controls : placed[r]) lines = std::max(lines, controls.size());
    }
    grid.Row(std::move(header));
    for (size_t i = 0; i < lines; ++i) {
      TLayoutRow line{LabelCell(std::to_string(i + 1) + ":")};
      for (size_t r = 0; r < table.Rows.size(); ++r)
        for (size_t p = 0; p < table.Rows[r].Parts.size(); ++p)
          line.push_back(i < placed[r][p].size() ? cellOf(table.Rows[r].Parts[p], placed[r][p][i])
                                                 : EmptyCell());
      grid.Row(std::move(line));
    }
  }

  std::shared_ptr<const TRowsPlan> plan = std::move(refresh);
  return [this, plan] { return RefreshRows(plan); };
}

TTask<> TModuleForm::RefreshRows(std::shared_ptr<const TRowsPlan> plan) {
  for (const auto& item : plan->Items) {
    if (item.Step) {
      co_await item.Step();
      continue;
    }
    const bool ok = co_await Read(item.Reg);
    for (const TRowBinding& b : plan->Bindings)
      if (b.Reg == item.Reg) ShowBound(b, ok);
  }
}

void TModuleForm::NoteCaption(const std::string& registerName, const std::string& tab,
                              std::string label, int channel) {
  for (const TRegisterCaption& c : RegisterCaptions)
    if (c.Register == registerName) return;
  RegisterCaptions.push_back({registerName, tab, std::move(label), channel});
}

std::string TModuleForm::RegisterCaption(const std::string& registerName) const {
  for (const TRegisterCaption& c : RegisterCaptions) {
    if (!SameText(c.Register, registerName)) continue;
    // Tab and label in the user's language, as the page shows them.
    std::string label = ResStr(c.Label);
    std::replace(label.begin(), label.end(), '\n', ' ');
    while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.pop_back();
    std::string caption = ResStr(c.Tab) + ": " + label;
    if (c.Channel > 0) caption += " " + std::to_string(c.Channel);
    return caption;
  }
  return {};
}

void TModuleForm::TakeRegisterFacts(TPart& part) const {
  // The register of the first control stands for all of the part's.
  const bool channels = part.Count > 0;
  const bool perChannel = channels && !(IsBitKind(part.Kind) && part.BitNo == kBitIsTag);
  const int firstTag = !part.TagList.empty() ? part.TagList[0] : 0;
  const TprDevReg* reg =
      perChannel ? ChannelRegister(part.Register, firstTag) : Register(part.Register);
  const TRegisterDef* def = DefOf(*Module, reg);
  const bool ownRule = part.KeyRule || part.ActionRule;
  if (def && def->Access == raReadOnly && Writes(part.Kind) && !ownRule)
    Fail(ClassName + ": " + part.Name + " would write " + reg->Name + ", which is read-only");
  if (part.Kind != TPartKind::List || ownRule) return;
  // A value list shows what the register's codes stand for, stated beside the register.
  const TCodeList* list = def ? def->List : nullptr;
  if (!list == part.ItemTexts.empty())
    Fail(ClassName + ": " + part.Name + " needs its items from " + reg->Name +
         (list ? ", which has them already" : ", which has none"));
  if (!list) return;
  part.ItemTexts.assign(list->Items.begin(), list->Items.end());
  part.ItemCodes.assign(list->Codes.begin(), list->Codes.end());
  part.OtherItem = list->Other;
}

void TModuleForm::BindPart(const std::shared_ptr<const TPart>& part, TControl* control,
                           TprDevReg* reg, int bit) {
  const TPart& p = *part;
  if (control->Kind() == TControlKind::Edit) {
    if (p.Kind == TPartKind::Show || p.Kind == TPartKind::Computed) return;
    std::function<void(TEdit&, char)> rule = p.KeyRule;
    int64_t lo = 0, hi = 0;
    RangeOf(p, DefOf(*Module, reg), lo, hi);
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
  const bool integer = ok && TryStrToInt(text, value);
  switch (p.Kind) {
    case TPartKind::Number:
    case TPartKind::Text:
    case TPartKind::Show:
      ShowText(static_cast<TEdit&>(*b.Control), ok, text, p.ShowEvenFocused);
      break;
    case TPartKind::Single:
    case TPartKind::Computed: {
      auto& field = static_cast<TEdit&>(*b.Control);
      if (p.Kind == TPartKind::Single && p.Decimals == kValueTextAsRead) {
        ShowText(field, ok, text, p.ShowEvenFocused);
        break;
      }
      // A number with fixed decimals, or the part's own text; "Ошибка" when there is none.
      double v = 0;
      std::string shown;
      const bool converted = ok && (p.Kind == TPartKind::Computed
                                        ? p.ComputeText(text, shown)
                                        : TryStrToFloat(text, v) && FormatFixed(v, p.Decimals, shown));
      ShowComputed(field, ok, converted, shown, p.ShowEvenFocused);
      break;
    }
    case TPartKind::BitShow:
    case TPartKind::Toggle:
      ShowBit(static_cast<TCheckBox&>(*b.Control), ok, text, b.Bit);
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

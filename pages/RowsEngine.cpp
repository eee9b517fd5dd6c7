#include "pages/RowsEngine.h"

#include <algorithm>
#include <stdexcept>

#include "comm/Component.h"
#include "comm/Resources.h"
#include "models/prDevice.h"

namespace {
bool IsBitKind(TPartKind kind) {
  return kind == TPartKind::BitShow || kind == TPartKind::Toggle ||
         kind == TPartKind::BitChoice || kind == TPartKind::Command;
}

// A bit part with its bit as the tag shares one register; every other part with channels has
// one register per channel.
bool PerChannel(const TPart& part) {
  return part.Count > 0 && !(IsBitKind(part.Kind) && part.BitNo == kBitIsTag);
}

// Kinds that show their register after each read.
bool Reads(TPartKind kind) {
  return kind != TPartKind::Label && kind != TPartKind::Field && kind != TPartKind::Command &&
         kind != TPartKind::Button;
}

// Kinds whose own rule writes the register.
bool Writes(TPartKind kind) {
  return kind != TPartKind::Label && kind != TPartKind::Field && kind != TPartKind::Show &&
         kind != TPartKind::Computed && kind != TPartKind::BitShow && kind != TPartKind::Button;
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

// The tag of control i of a part: its own tag, else its channel index, else the fixed bit of
// a one-control bit part.
int TagOf(const TPart& part, int i) {
  if (i < static_cast<int>(part.TagList.size())) return part.TagList[size_t(i)];
  if (part.Count == 0 && part.BitNo >= 0) return part.BitNo;
  return i;
}

TLayoutCell CellOf(const TPart& part, TControl* control) {
  TCellAlign align = part.Align;
  if (part.Count > 0 && !part.AlignGiven) align = TCellAlign::Center;
  TLayoutCell cell = control ? ControlCell(control, part.ColumnSpan, align)
                             : LabelCell(part.LabelText, part.ColumnSpan, align);
  cell.WidthChars = part.WidthChars;
  cell.FitTexts = part.FitTextList;
  cell.What = part.AccessibleText;
  return cell;
}
}  // namespace

// A tab's bindings and the order it reads in: a register read shows every control bound to it.
struct TRowsEngine::TPlan {
  struct TItem {
    TprDevReg* Reg = nullptr;
    TRefreshStep Step;
  };
  std::vector<TItem> Items;
  std::vector<TRowBinding> Bindings;

  bool ReadsFrom(const TprDevReg* reg) const {
    return std::any_of(Items.begin(), Items.end(), [reg](const TItem& item) { return item.Reg == reg; });
  }
  bool Shows(const TprDevReg* reg) const {
    return std::any_of(Bindings.begin(), Bindings.end(), [reg](const TRowBinding& b) { return b.Reg == reg; });
  }
};

TRowsEngine::TRowsEngine(TRowsHost& host, TControlSet& controls, const TprModel* model,
                         const std::string& owner)
    : Host(host), Controls(controls), Model(model), Owner(owner) {}

TRowsEngine::~TRowsEngine() = default;

void TRowsEngine::Fail(const std::string& what) const { throw std::logic_error(Owner + ": " + what); }

TprDevReg* TRowsEngine::ChannelRegister(const std::string& prefix, int tag) const {
  return Host.Register(prefix + std::to_string(tag + 1));
}

TRefreshStep TRowsEngine::Build(TContainer* sheet, TRowsTable table) {
  if (!Model) throw std::logic_error("register rows need the device object of a model");
  auto plan = std::make_unique<TPlan>();
  const bool ownOrder = !table.Order.empty();
  TPlaced placed(table.Rows.size());
  for (size_t r = 0; r < table.Rows.size(); ++r) PlaceRow(sheet, table.Rows[r], ownOrder, *plan, placed[r]);
  if (ownOrder) OrderReads(table.Order, *plan);
  LayOut(sheet, table, placed);
  const TPlan* built = plan.get();
  Plans.push_back(std::move(plan));
  return [this, built] { return Refresh(*built); };
}

void TRowsEngine::PlaceRow(TContainer* sheet, TRow& row, bool ownOrder, TPlan& plan,
                           std::vector<std::vector<TControl*>>& placed) {
  if (row.Step) {
    if (ownOrder) Fail("a row step and an explicit refresh order on one tab");
    plan.Items.push_back({nullptr, row.Step});
  }
  for (TPart& source : row.Parts) {
    if (!source.Register.empty() && source.Kind != TPartKind::Label) TakeRegisterFacts(source);
    auto part = std::make_shared<const TPart>(source);
    placed.push_back(part->Kind == TPartKind::Label ? std::vector<TControl*>()
                                                    : PlacePart(sheet, row, part, ownOrder, plan));
  }
}

std::vector<TControl*> TRowsEngine::PlacePart(TContainer* sheet, const TRow& row,
                                              const std::shared_ptr<const TPart>& part,
                                              bool ownOrder, TPlan& plan) {
  const bool channels = part->Count > 0;
  const bool perChannel = PerChannel(*part);
  std::vector<TControl*> controls;
  for (int i = 0; i < (channels ? part->Count : 1); ++i) {
    const int tag = TagOf(*part, i);
    const std::string name = channels ? part->Name + std::to_string(part->FirstNumber + i) : part->Name;
    TprDevReg* reg = nullptr;
    if (!part->Register.empty())
      reg = perChannel ? ChannelRegister(part->Register, tag) : Host.Register(part->Register);
    const int bit = part->BitNo >= 0 ? part->BitNo : tag;
    TControl* control = CreateControl(sheet, *part, name, reg);
    control->Tag = tag;
    if (!part->HintText.empty()) control->Hint = part->HintText;
    Host.BindPart(part, control, reg, bit);
    if (reg && Reads(part->Kind)) {
      NoteCaption(reg->Name, sheet->Caption, row.Label.empty() ? part->CaptionText : row.Label,
                  perChannel ? tag + 1 : 0);
      plan.Bindings.push_back({part, control, reg, bit});
      // Default order: each register where a row first shows it, the rows' steps at their places.
      if (!ownOrder && !plan.ReadsFrom(reg)) plan.Items.push_back({reg, nullptr});
    }
    if (part->Into) part->Into(control);
    controls.push_back(control);
  }
  return controls;
}

TControl* TRowsEngine::CreateControl(TContainer* sheet, const TPart& part, const std::string& name,
                                     TprDevReg* reg) {
  switch (ControlKindOf(part.Kind)) {
    case TControlKind::CheckBox: return Controls.Add<TCheckBox>(name, sheet, part.CaptionText);
    case TControlKind::ComboBox: return Controls.Add<TComboBox>(name, sheet, part.ItemTexts);
    case TControlKind::Button:
      return Controls.Add<TButton>(name, sheet, part.CaptionText, part.HintText);
    default: break;
  }
  const bool readOnly = part.Kind == TPartKind::Show || part.Kind == TPartKind::Computed;
  // A field holds what its register can: the string length, or the digits of the range of a
  // number.
  int maxChars = 0;
  const TRegisterDef* def = reg ? reg->Def : nullptr;
  if (def && def->DataType == dtString &&
      (part.Kind == TPartKind::Text || part.Kind == TPartKind::Show))
    maxChars = def->StrLength;
  if (def && part.Kind == TPartKind::Number) {
    int64_t lo = 0, hi = 0;
    NumberRange(*def, lo, hi);
    maxChars = std::max(Digits(lo), Digits(hi));
  }
  return Controls.Add<TEdit>(name, sheet, maxChars, readOnly);
}

void TRowsEngine::TakeRegisterFacts(TPart& part) const {
  // The register of the first control stands for all of the part's.
  const int firstTag = !part.TagList.empty() ? part.TagList[0] : 0;
  const TprDevReg* reg =
      PerChannel(part) ? ChannelRegister(part.Register, firstTag) : Host.Register(part.Register);
  const TRegisterDef* def = reg ? reg->Def : nullptr;
  const bool ownRule = part.KeyRule || part.ActionRule;
  if (def && def->Access == raReadOnly && Writes(part.Kind) && !ownRule)
    Fail(part.Name + " would write " + reg->Name + ", which is read-only");
  if (part.Kind != TPartKind::List || ownRule) return;
  // A value list shows what the register's codes stand for, stated beside the register.
  const TCodeList* list = def ? def->List : nullptr;
  if (!list == part.ItemTexts.empty())
    Fail(part.Name + " needs its items from " + reg->Name +
         (list ? ", which has them already" : ", which has none"));
  if (!list) return;
  part.ItemTexts.assign(list->Items.begin(), list->Items.end());
  part.ItemCodes.assign(list->Codes.begin(), list->Codes.end());
  part.OtherItem = list->Other;
}

void TRowsEngine::OrderReads(const std::vector<TReadItem>& order, TPlan& plan) const {
  for (const TReadItem& item : order) {
    if (item.Step) {
      plan.Items.push_back({nullptr, item.Step});
      continue;
    }
    for (int i = 0; i < std::max(item.Count, 1); ++i) {
      TprDevReg* reg =
          item.Count > 0 ? ChannelRegister(item.Register, i) : Host.Register(item.Register);
      if (!plan.Shows(reg)) Fail("no row shows " + reg->Name + " of the refresh order");
      plan.Items.push_back({reg, nullptr});
    }
  }
  for (const TRowBinding& b : plan.Bindings)
    if (!plan.ReadsFrom(b.Reg)) Fail(b.Reg->Name + " is missing from the refresh order");
}

void TRowsEngine::LayOut(TContainer* sheet, const TRowsTable& table, const TPlaced& placed) {
  TLayoutGrid& grid = sheet->Layout.AddGrid(table.Title);
  if (table.Orientation == TRowsOrientation::Lines) {
    for (size_t r = 0; r < table.Rows.size(); ++r) {
      const TRow& row = table.Rows[r];
      if (row.Parts.empty() && row.Label.empty()) continue;
      TLayoutRow line;
      if (!row.Label.empty()) line.push_back(LabelCell(row.Label));
      for (size_t p = 0; p < row.Parts.size(); ++p) {
        if (row.Parts[p].Kind == TPartKind::Label) line.push_back(CellOf(row.Parts[p], nullptr));
        for (TControl* c : placed[r][p]) line.push_back(CellOf(row.Parts[p], c));
      }
      grid.Row(std::move(line));
    }
    return;
  }
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
        line.push_back(i < placed[r][p].size() ? CellOf(table.Rows[r].Parts[p], placed[r][p][i])
                                               : EmptyCell());
    grid.Row(std::move(line));
  }
}

TTask<> TRowsEngine::Refresh(const TPlan& plan) {
  for (const auto& item : plan.Items) {
    if (item.Step) {
      co_await item.Step();
      continue;
    }
    const bool ok = co_await Host.Read(item.Reg);
    for (const TRowBinding& b : plan.Bindings)
      if (b.Reg == item.Reg) Host.ShowBound(b, ok);
  }
}

void TRowsEngine::NoteCaption(const std::string& registerName, const std::string& tab,
                              std::string label, int channel) {
  for (const TRegisterCaption& c : Captions)
    if (c.Register == registerName) return;
  Captions.push_back({registerName, tab, std::move(label), channel});
}

std::string TRowsEngine::RegisterCaption(const std::string& registerName) const {
  for (const TRegisterCaption& c : Captions) {
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

#pragma once
// A tab of a module page declared as a table of register rows. Each row is a line of the
// tab: a row label and its parts, each part one control (or one per channel) bound to a
// register by a rule. The rows engine (pages/RowsEngine.h) turns the table into the controls,
// their layout cells, their binding to the page's shared rules and the tab's refresh step;
// every register is resolved then, so a row naming a register the model lacks fails when the
// page is built.
//
//   using namespace rows;
//   BuildRows(sheet, TRowsTable({
//       {"Выходы:", {Toggle("chbOut", "DIGOUTPUT").Channels(16)}},
//       {"ПВ фильтра:", {List("cbFilter", "FILTER").Channels(4).Span(4)}},
//       {"Сброс:", {CommandButton("bbLatchReset", "RSTLATCH").Channels(16).Hint("Сброс защелок")}},
//   }));
//
// The register of a part with channels is the register name followed by the channel number
// (FILTER1..FILTER4) for value parts, and one register whose bit is the control's tag for bit
// parts (DIGOUTPUT bit 0..15); a bit part given a fixed bit (Bit, BitField) takes the
// per-channel register again (IFCH1..IFCH8 bit 0).
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "comm/LineTask.h"
#include "shell/Controls.h"

// A step of a tab's refresh: reads and shows, waiting for each read without blocking.
using TRefreshStep = std::function<TTask<>()>;
// The steps one after another (an empty one is skipped).
TTask<> RunSteps(std::shared_ptr<const std::vector<TRefreshStep>> steps);

enum class TPartKind {
  Label,     // a text cell, no control
  Field,     // a text field with no register (its rule and refresh are the page's code)
  Number,    // text field, number entry in the register's range, written as typed
  Text,      // text field, written as typed without a check
  Single,    // text field, single-precision entry, written as typed
  Show,      // read-only text field showing the value text
  Computed,  // read-only text field showing a text computed from the value
  BitShow,   // display-only check box of a bit
  Toggle,    // check box toggling a bit of the value last read
  Flag,      // check box: checked exactly when the value is FlagValue; writes it or 0
  List,      // value list: item i stands for code i (or Codes[i])
  BitChoice, // two-item list standing for one bit
  BitField,  // list whose index replaces a field of bits, keeping every other bit
  Command,   // button writing a fixed text, or 2^tag for a row of buttons
  Button,    // a button with no register (its click is the page's code)
};

// Shown for a value whose text is no number (on a Single part with fixed decimals).
inline constexpr int kValueTextAsRead = -1;
// The bit of a bit part is the control's tag.
inline constexpr int kBitIsTag = -1;
// The text a row of command buttons writes: 2 to the power of the button's tag.
inline constexpr const char* kPowerOfTag = "";

struct TPart {
  TPartKind Kind = TPartKind::Label;
  // Control name; with channels the prefix of name1..nameN (numbered from FirstNumber).
  std::string Name;
  // Register name; the prefix of the channel registers for per-channel parts.
  std::string Register;
  int Count = 0;  // 0: one control
  int FirstNumber = 1;
  std::vector<int> TagList;  // tag of each control (default 0..Count-1)
  int BitNo = kBitIsTag;
  int FieldWidth = 1;
  std::vector<std::string> ItemTexts;
  std::vector<int32_t> ItemCodes;  // empty: the item index is the code
  int OtherItem = -1;              // item shown for a value no code stands for
  int32_t FlagValue = 0;
  int Decimals = kValueTextAsRead;
  std::string CaptionText, HintText, CommandText = kPowerOfTag;
  std::string LabelText;      // Label parts
  std::string AccessibleText; // a second control of a row: what it is ("время")
  int ColumnSpan = 1;
  int WidthChars = 0;
  std::vector<std::string> FitTextList;
  TCellAlign Align = TCellAlign::Left;
  bool ShowEvenFocused = false;
  std::function<bool(const std::string& valueText, std::string& shown)> ComputeText;
  // Replace the part's own rule (key of a field; click of a box or button; change of a list).
  std::function<void(TEdit&, char)> KeyRule;
  std::function<void(TControl&)> ActionRule;
  // Runs after a number entry's write with its result and the number.
  std::function<void(bool written, int32_t number)> WrittenRule;
  // Receives each created control, in channel order.
  std::function<void(TControl*)> Into;
  bool AlignGiven = false;

  TPart& Channels(int n, int firstNumber = 1) {
    Count = n;
    FirstNumber = firstNumber;
    return *this;
  }
  // The tag of each control (its bit, for a bit part); as many controls as tags.
  TPart& Tags(std::vector<int> tags) {
    Count = static_cast<int>(tags.size());
    return Set(&TPart::TagList, std::move(tags));
  }
  TPart& Bit(int bit) { return Set(&TPart::BitNo, bit); }
  // Bits lo..lo+width-1 (a BitField list).
  TPart& Bits(int lo, int width) { return Set(&TPart::BitNo, lo).Set(&TPart::FieldWidth, width); }
  TPart& Items(std::vector<std::string> items) { return Set(&TPart::ItemTexts, std::move(items)); }
  TPart& Fixed(int decimals) { return Set(&TPart::Decimals, decimals); }
  TPart& Caption(std::string text) { return Set(&TPart::CaptionText, std::move(text)); }
  TPart& Hint(std::string text) { return Set(&TPart::HintText, std::move(text)); }
  TPart& Writes(std::string text) { return Set(&TPart::CommandText, std::move(text)); }
  TPart& Span(int columns) { return Set(&TPart::ColumnSpan, columns); }
  TPart& Chars(int chars) { return Set(&TPart::WidthChars, chars); }
  // The field is laid out wide enough for each of these texts.
  TPart& Fits(std::vector<std::string> texts) { return Set(&TPart::FitTextList, std::move(texts)); }
  TPart& Aligned(TCellAlign align) { return Set(&TPart::Align, align).Set(&TPart::AlignGiven, true); }
  TPart& Accessible(std::string what) { return Set(&TPart::AccessibleText, std::move(what)); }
  TPart& EvenFocused(bool on = true) { return Set(&TPart::ShowEvenFocused, on); }
  TPart& OnKey(std::function<void(TEdit&, char)> rule) { return Set(&TPart::KeyRule, std::move(rule)); }
  TPart& AfterWrite(std::function<void(bool, int32_t)> rule) {
    return Set(&TPart::WrittenRule, std::move(rule));
  }
  TPart& OnAction(std::function<void(TControl&)> rule) { return Set(&TPart::ActionRule, std::move(rule)); }
  // The created control into *control (a part of one control).
  template <class T>
  TPart& Store(T** control) {
    Into = [control](TControl* c) { *control = Checked<T>(c); };
    return *this;
  }
  // The created controls appended to *controls.
  template <class T>
  TPart& StoreAll(std::vector<T*>* controls) {
    Into = [controls](TControl* c) { controls->push_back(Checked<T>(c)); };
    return *this;
  }

 private:
  template <class V, class A>
  TPart& Set(V TPart::*field, A&& value) {
    this->*field = std::forward<A>(value);
    return *this;
  }
  template <class T>
  static T* Checked(TControl* c) {
    T* t = dynamic_cast<T*>(c);
    if (!t) throw std::logic_error("a row part stores its control as another kind");
    return t;
  }
};

// One line of a tab: the row label and its parts. A row with a Step and nothing else shows
// nothing and only runs its step at its place in the refresh.
struct TRow {
  TRow() = default;
  TRow(std::string label, std::vector<TPart> parts)
      : Label(std::move(label)), Parts(std::move(parts)) {}
  explicit TRow(TRefreshStep step) : Step(std::move(step)) {}
  std::string Label;
  std::vector<TPart> Parts;
  TRefreshStep Step;
};

// One item of an explicit refresh order: a register (or the channel registers prefix1..prefixN)
// whose bound controls are shown after its read, or a step of the page's own code.
struct TReadItem {
  TReadItem(const char* name) : Register(name) {}
  TReadItem(std::string name, int count = 0) : Register(std::move(name)), Count(count) {}
  template <class F, class = std::enable_if_t<std::is_invocable_v<F>>>
  TReadItem(F step) : Step(std::move(step)) {}
  std::string Register;
  int Count = 0;
  TRefreshStep Step;
};

enum class TRowsOrientation {
  Lines,    // each row one line: label, then its controls
  Columns,  // each row one column under its label; line n holds the controls of channel n
};


struct TRowsTable {
  TRowsTable(std::vector<TRow> rows = {}) : Rows(std::move(rows)) {}
  TRowsTable& ReadOrder(std::vector<TReadItem> order) {
    Order = std::move(order);
    return *this;
  }
  TRowsTable& Titled(std::string title) {
    Title = std::move(title);
    return *this;
  }
  // Each row a column; the lines are the channels, labelled "1:" and on under linesLabel.
  TRowsTable& InColumns(std::string linesLabel = {}) {
    Orientation = TRowsOrientation::Columns;
    LinesLabel = std::move(linesLabel);
    return *this;
  }

  std::vector<TRow> Rows;
  // The order the refresh reads in; empty: the registers in the order the rows first name
  // them, with the rows' steps at their places.
  std::vector<TReadItem> Order;
  std::string Title;  // a text line above the rows
  TRowsOrientation Orientation = TRowsOrientation::Lines;
  // Columns: the label of line n is "n:" (ChannelLabels) under the row label LinesLabel.
  std::string LinesLabel;
};

// The part makers.
namespace rows {
inline TPart Make(TPartKind kind, std::string name, std::string reg) {
  TPart p;
  p.Kind = kind;
  p.Name = std::move(name);
  p.Register = std::move(reg);
  return p;
}
inline TPart Label(std::string text, int span = 1) {
  TPart p;
  p.LabelText = std::move(text);
  p.ColumnSpan = span;
  return p;
}
inline TPart Field(std::string name) { return Make(TPartKind::Field, std::move(name), {}); }
inline TPart Number(std::string name, std::string reg) {
  return Make(TPartKind::Number, std::move(name), std::move(reg));
}
inline TPart Text(std::string name, std::string reg) {
  return Make(TPartKind::Text, std::move(name), std::move(reg));
}
inline TPart Single(std::string name, std::string reg) {
  return Make(TPartKind::Single, std::move(name), std::move(reg));
}
inline TPart Show(std::string name, std::string reg) {
  return Make(TPartKind::Show, std::move(name), std::move(reg));
}
inline TPart Computed(std::string name, std::string reg,
                      std::function<bool(const std::string&, std::string&)> compute) {
  TPart p = Make(TPartKind::Computed, std::move(name), std::move(reg));
  p.ComputeText = std::move(compute);
  return p;
}
inline TPart BitShow(std::string name, std::string reg) {
  return Make(TPartKind::BitShow, std::move(name), std::move(reg));
}
inline TPart Toggle(std::string name, std::string reg) {
  return Make(TPartKind::Toggle, std::move(name), std::move(reg));
}
inline TPart Flag(std::string name, std::string reg, int32_t value) {
  TPart p = Make(TPartKind::Flag, std::move(name), std::move(reg));
  p.FlagValue = value;
  return p;
}
inline TPart List(std::string name, std::string reg) {
  return Make(TPartKind::List, std::move(name), std::move(reg));
}
inline TPart BitList(std::string name, std::string reg) {
  return Make(TPartKind::BitChoice, std::move(name), std::move(reg));
}
inline TPart BitField(std::string name, std::string reg, int lo, int width) {
  return Make(TPartKind::BitField, std::move(name), std::move(reg)).Bits(lo, width);
}
inline TPart CommandButton(std::string name, std::string reg) {
  return Make(TPartKind::Command, std::move(name), std::move(reg));
}
inline TPart Button(std::string name, std::string caption = {}) {
  return Make(TPartKind::Button, std::move(name), {}).Caption(std::move(caption));
}
// A line of channel numbers "first:" .. "first+count-1:" under a row label.
inline TRow Numbers(std::string label, int count, int first = 1) {
  // The label is a cell of its own even when empty, so the numbers stand over the channels.
  TRow row({}, {Label(std::move(label))});
  for (int i = 0; i < count; ++i)
    row.Parts.push_back(Label(std::to_string(first + i) + ":").Aligned(TCellAlign::Center));
  return row;
}
// A refresh step of the page's own code at this place of the rows.
inline TRow Step(TRefreshStep step) { return TRow(std::move(step)); }
}  // namespace rows

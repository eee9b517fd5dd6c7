#pragma once
// What a tab sheet shows, as data: grids of cells, each a label or a control, stacked top to
// bottom. One Qt builder renders every page from this, so a page describes its rows and channel
// columns here and never places a widget itself. The builder also names each control after the
// labels around it: its row label (the label at the left of the row, or of the row above when
// the row starts empty) and, in a row of several controls, the channel headers over its column;
// a grid whose lines are labelled "1:", "2:"... takes the header over the column as the row
// label, so a grid of channels turned on its side is named the same way.
#include <initializer_list>
#include <string>
#include <vector>

class TControl;

// Fill: the control takes the whole width of its cell.
enum class TCellAlign { Left, Right, Center, Fill };

struct TLayoutCell {
  // A label's text (may hold line breaks) when Control is null.
  std::string Text;
  TControl* Control = nullptr;
  int ColumnSpan = 1;
  TCellAlign Align = TCellAlign::Left;
  // Width of a text field in characters (0: from its maximum length, or stretching).
  int WidthChars = 0;
  // Texts the field or button must show whole as well (a time of day in the user's format,
  // the other caption of a button).
  std::vector<std::string> FitTexts = {};
  // What tells the control apart from the others its row label names ("время" for the time
  // after the days); empty: the row label and the channel headers over it name it.
  std::string What = {};
};

inline TLayoutCell LabelCell(std::string text, int span = 1, TCellAlign align = TCellAlign::Left) {
  return TLayoutCell{std::move(text), nullptr, span, align, 0};
}
inline TLayoutCell ControlCell(TControl* control, int span = 1,
                               TCellAlign align = TCellAlign::Left) {
  return TLayoutCell{{}, control, span, align, 0};
}
// An empty cell keeps a column free.
inline TLayoutCell EmptyCell(int span = 1) { return TLayoutCell{{}, nullptr, span, TCellAlign::Left, 0}; }

using TLayoutRow = std::vector<TLayoutCell>;

struct TLayoutGrid {
  // A text line above the grid (empty for none).
  std::string Title;
  std::vector<TLayoutRow> Rows;
  // Pixels between columns and between rows (-1: the style's own).
  int ColumnGap = 3;
  int RowGap = -1;

  TLayoutGrid& Row(TLayoutRow row) {
    Rows.push_back(std::move(row));
    return *this;
  }
  // A row label followed by the labels "1:" to "n:" (the channel headers).
  TLayoutGrid& NumberRow(std::string label, int count, int first = 1) {
    TLayoutRow row{LabelCell(std::move(label))};
    for (int i = 0; i < count; ++i)
      row.push_back(LabelCell(std::to_string(first + i) + ":", 1, TCellAlign::Center));
    return Row(std::move(row));
  }
};

struct TSheetLayout {
  std::vector<TLayoutGrid> Grids;
  TLayoutGrid& AddGrid(std::string title = {}) {
    Grids.push_back(TLayoutGrid{std::move(title), {}});
    return Grids.back();
  }
};

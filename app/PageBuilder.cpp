#include "app/PageBuilder.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/QtUi.h"

namespace {
// Keeps the row labels of a sheet in view while it scrolls sideways: over each grid whose first
// column holds only labels, a strip with copies of those labels stays at the left edge of the
// view once the sheet is scrolled sideways, so wide rows of channels can be read to their end.
class TRowLabelsPin : public QObject {
 public:
  TRowLabelsPin(QScrollArea* scroll, QWidget* content) : QObject(scroll), Scroll(scroll), Content(content) {
    for (QGridLayout* grid : content->findChildren<QGridLayout*>()) {
      if (grid->parentWidget() != content) continue;
      TStrip strip{grid, nullptr, {}};
      bool labelsOnly = grid->rowCount() > 0;
      for (int r = 0; r < grid->rowCount() && labelsOnly; ++r) {
        QLayoutItem* item = grid->itemAtPosition(r, 0);
        if (!item || !item->widget()) continue;
        auto* label = qobject_cast<QLabel*>(item->widget());
        // A label spanning further columns heads them: it is no row label.
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(grid->indexOf(item->widget()), &row, &column, &rows, &columns);
        labelsOnly = label && columns == 1;
        if (labelsOnly) strip.Labels.push_back(label);
      }
      if (!labelsOnly || strip.Labels.empty()) continue;
      // Over the view, not in the sheet, so that nothing of the sheet is drawn above it.
      strip.Cover = new QWidget(scroll->viewport());
      strip.Cover->setAutoFillBackground(true);
      strip.Cover->hide();
      for (QLabel* label : strip.Labels) {
        auto* copy = new QLabel(label->text(), strip.Cover);
        copy->setAlignment(label->alignment());
      }
      Strips.push_back(strip);
    }
    content->installEventFilter(this);
    // The sheet may go before the scroll bars stop signalling.
    connect(content, &QObject::destroyed, this, [this] {
      Strips.clear();
      Content = nullptr;
    });
    for (QScrollBar* bar : {scroll->horizontalScrollBar(), scroll->verticalScrollBar()})
      connect(bar, &QScrollBar::valueChanged, this, [this] { Place(); });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == Content && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
      Place();
    return false;
  }

 private:
  struct TStrip {
    QGridLayout* Grid;
    QWidget* Cover;
    std::vector<QLabel*> Labels;
  };

  void Place() {
    if (!Content) return;
    const int shift = Scroll->horizontalScrollBar()->value();
    for (const TStrip& strip : Strips) {
      // Unscrolled, the labels themselves are in place.
      strip.Cover->setVisible(shift > 0);
      if (shift <= 0) continue;
      const QRect grid = strip.Grid->geometry();
      int width = 0;
      for (int r = 0; r < strip.Grid->rowCount(); ++r)
        width = std::max(width, strip.Grid->cellRect(r, 0).right() - grid.left() + 1);
      // From the view's left edge, so that no part of a scrolled label shows in the margin.
      strip.Cover->setGeometry(0, grid.top() - Scroll->verticalScrollBar()->value(),
                               grid.left() + width + strip.Grid->horizontalSpacing(), grid.height());
      const auto copies = strip.Cover->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
      for (size_t i = 0; i < strip.Labels.size() && i < size_t(copies.size()); ++i)
        copies[qsizetype(i)]->setGeometry(strip.Labels[i]->geometry().translated(0, -grid.top()));
      strip.Cover->raise();
    }
  }

  QScrollArea* Scroll;
  QWidget* Content;
  std::vector<TStrip> Strips;
};

Qt::Alignment AlignmentOf(TCellAlign align) {
  switch (align) {
    case TCellAlign::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case TCellAlign::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    case TCellAlign::Fill: return Qt::AlignVCenter;
    case TCellAlign::Left: break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

QWidget* BuildTabs(TPageControl& tabs, TControlBinding& binding, QWidget* parent) {
  auto* widget = static_cast<QTabWidget*>(binding.CreateWidget(tabs, parent));
  for (TContainer* sheet : tabs.Sheets()) {
    // Each sheet scrolls when the pane is smaller than its rows.
    auto* scroll = new QScrollArea(widget);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    QWidget* content = BuildContainerView(*sheet, binding, scroll);
    scroll->setWidget(content);
    new TRowLabelsPin(scroll, content);
    binding.AddTab(tabs, widget, scroll, ToQt(sheet->Caption));
  }
  return widget;
}

QWidget* BuildCell(const TLayoutCell& cell, TControlBinding& binding, QWidget* parent) {
  if (!cell.Control) {
    if (cell.Text.empty()) return nullptr;
    auto* label = new QLabel(ToQt(cell.Text), parent);
    label->setAlignment(AlignmentOf(cell.Align));
    return label;
  }
  TControl& control = *cell.Control;
  if (control.Kind() == TControlKind::Tabs)
    return BuildTabs(static_cast<TPageControl&>(control), binding, parent);
  if (control.Kind() == TControlKind::Container)
    return BuildContainerView(static_cast<TContainer&>(control), binding, parent);
  QWidget* widget = binding.CreateWidget(control, parent);
  if (control.Kind() == TControlKind::Button && !cell.FitTexts.empty()) {
    int text = 0;
    for (const std::string& fit : cell.FitTexts)
      text = std::max(text, widget->fontMetrics().horizontalAdvance(ToQt(fit)));
    widget->setMinimumWidth(text + 32);
  }
  if (control.Kind() == TControlKind::Edit) {
    const auto& edit = static_cast<const TEdit&>(control);
    const int chars = cell.WidthChars > 0 ? cell.WidthChars : edit.MaxLength();
    if (chars > 0) {
      // Room for the digits plus the frame; "Н/Д" must fit as well (a field that can show
      // "Ошибка" asks for enough characters itself).
      const QFontMetrics fm(widget->font());
      int text = std::max(fm.horizontalAdvance(QString(chars, QChar('0'))),
                          fm.horizontalAdvance(QStringLiteral("Н/Д")));
      for (const std::string& fit : cell.FitTexts)
        text = std::max(text, fm.horizontalAdvance(QString::fromStdString(fit)));
      widget->setFixedWidth(text + 12);
    } else {
      widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
      widget->setMinimumWidth(120);
    }
  }
  return widget;
}
}  // namespace

QWidget* BuildContainerView(TContainer& container, TControlBinding& binding, QWidget* parent) {
  auto* widget = new QWidget(parent);
  binding.BindContainer(container, widget);
  auto* column = new QVBoxLayout(widget);
  column->setContentsMargins(3, 3, 3, 3);
  for (const TLayoutGrid& grid : container.Layout.Grids) {
    if (!grid.Title.empty()) {
      auto* title = new QLabel(ToQt(grid.Title), widget);
      title->setWordWrap(true);
      column->addWidget(title);
    }
    auto* layout = new QGridLayout;
    layout->setHorizontalSpacing(grid.ColumnGap);
    if (grid.RowGap >= 0) layout->setVerticalSpacing(grid.RowGap);
    int columns = 0;
    int wholeColumn = -1;  // the column of a tab control or container: it takes the width
    for (int r = 0; r < static_cast<int>(grid.Rows.size()); ++r) {
      int c = 0;
      for (const TLayoutCell& cell : grid.Rows[r]) {
        if (QWidget* w = BuildCell(cell, binding, widget)) {
          const bool whole = cell.Control && (cell.Control->Kind() == TControlKind::Tabs ||
                                              cell.Control->Kind() == TControlKind::Container);
          layout->addWidget(w, r, c, 1, cell.ColumnSpan, whole ? Qt::Alignment() : AlignmentOf(cell.Align));
          if (whole) wholeColumn = c;
        }
        c += cell.ColumnSpan;
      }
      columns = std::max(columns, c);
    }
    // Rows stay packed to the left; what is left over goes to an empty last column, or to the
    // tab control (or container) that fills the pane.
    layout->setColumnStretch(wholeColumn >= 0 ? wholeColumn : columns, 1);
    column->addLayout(layout);
  }
  bool fills = false;
  for (const TLayoutGrid& grid : container.Layout.Grids)
    for (const TLayoutRow& row : grid.Rows)
      for (const TLayoutCell& cell : row)
        fills = fills || (cell.Control && cell.Control->Kind() == TControlKind::Tabs);
  if (!fills) column->addStretch(1);
  return widget;
}

QWidget* BuildControlsView(TControlSet& set, QWidget* parent, TControlBinding** bindingOut) {
  auto* holder = new QWidget(parent);
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  // The binding goes first among the children, so it is gone before any widget it binds.
  auto* binding = new TControlBinding(set, holder);
  layout->addWidget(BuildContainerView(set.Root(), *binding, holder));
  if (bindingOut) *bindingOut = binding;
  return holder;
}

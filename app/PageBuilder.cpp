#include "app/PageBuilder.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <map>
#include <set>

#include "app/QtUi.h"
#include "shell/prUnit.h"

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
    // No stop of its own for Tab: it scrolls to the control that takes the focus.
    scroll->setFocusPolicy(Qt::NoFocus);
    QWidget* content = BuildContainerView(*sheet, binding, scroll);
    scroll->setWidget(content);
    new TRowLabelsPin(scroll, content);
    binding.AddTab(tabs, widget, scroll, ToQt(sheet->Caption));
  }
  return widget;
}

// A widget the builder placed in a grid, at its row and columns.
struct TPlaced {
  QWidget* Widget;
  const TLayoutCell* Cell;
  int Row, Column, Span;
};

QLabel* LabelOf(const TPlaced& placed) { return qobject_cast<QLabel*>(placed.Widget); }

bool IsControl(const TPlaced& placed) {
  if (LabelOf(placed) || !placed.Cell->Control) return false;
  const TControlKind kind = placed.Cell->Control->Kind();
  return kind != TControlKind::Tabs && kind != TControlKind::Container;
}

// A line number of a grid of channels turned on its side ("1:").
bool IsNumberLabel(const QLabel* label) {
  static const QRegularExpression number(QStringLiteral("^\\d+:$"));
  return label && number.match(label->text().trimmed()).hasMatch();
}

// A header as part of a name: "3:" says "3".
QString HeaderText(const QLabel* label) {
  QString text = label->text().simplified();
  if (text.endsWith(':')) text.chop(1);
  return text;
}

// Names the controls of a grid after its labels (see NameByLabel): a row's label is the label
// in its first column, or the row label above for a row that starts empty (a second line of a
// row); in a row of several controls, the headers over a control's columns tell it apart. The
// headers are the rows without controls nearest above; a control spanning several headers is
// told by the first and the last ("5–8"). In a grid whose lines are numbered, the header over
// the column is the label and the line's number tells the control apart.
void NameGridControls(const std::vector<TPlaced>& placed, int rows) {
  std::vector<std::vector<const TPlaced*>> byRow(static_cast<size_t>(rows));
  for (const TPlaced& p : placed) byRow[size_t(p.Row)].push_back(&p);
  std::vector<QLabel*> rowLabel(size_t(rows), nullptr);
  std::vector<bool> header(size_t(rows), false);
  for (size_t r = 0; r < size_t(rows); ++r) {
    const auto& cells = byRow[r];
    if (!cells.empty() && cells.front()->Column == 0 && LabelOf(*cells.front())) {
      if (cells.front()->Span == 1) rowLabel[r] = LabelOf(*cells.front());
    } else if (r > 0) {
      rowLabel[r] = rowLabel[r - 1];
    }
    header[r] =
        std::none_of(cells.begin(), cells.end(), [](const TPlaced* p) { return IsControl(*p); }) &&
        std::any_of(cells.begin(), cells.end(),
                    [](const TPlaced* p) { return LabelOf(*p) && p->Column > 0; });
  }
  // The labels of a header row over the columns of a control.
  auto over = [&](int h, const TPlaced& control) {
    std::vector<QLabel*> labels;
    for (const TPlaced* p : byRow[size_t(h)])
      if (QLabel* label = LabelOf(*p); label && p->Column < control.Column + control.Span &&
                                       control.Column < p->Column + p->Span)
        labels.push_back(label);
    return labels;
  };
  auto headerText = [](const std::vector<QLabel*>& labels) {
    if (labels.empty()) return QString();
    const QString first = HeaderText(labels.front());
    return labels.size() == 1 ? first : first + QChar(0x2013) + HeaderText(labels.back());
  };

  struct TGroup {
    QLabel* Label;
    QString Text;
    std::vector<TLabelledWidget> Controls;
  };
  std::vector<TGroup> groups;
  for (int r = 0; r < rows; ++r) {
    std::vector<const TPlaced*> controls;
    for (const TPlaced* p : byRow[size_t(r)])
      if (IsControl(*p)) controls.push_back(p);
    if (controls.empty()) continue;
    int bottom = r - 1;
    while (bottom >= 0 && !header[size_t(bottom)]) --bottom;
    int top = bottom;
    while (top > 0 && header[size_t(top - 1)]) --top;
    for (const TPlaced* p : controls) {
      QLabel* label = rowLabel[size_t(r)];
      QString text = label ? label->text().simplified() : QString();
      QStringList which;
      if (!p->Cell->What.empty()) which << ToQt(p->Cell->What);
      if (IsNumberLabel(label) && bottom >= 0) {
        // The headers over the column, top down, say what the control is; the lowest of them
        // is its label.
        QStringList heads;
        label = nullptr;
        for (int h = top; h <= bottom; ++h)
          if (const auto labels = over(h, *p); !labels.empty()) {
            heads << headerText(labels);
            label = labels.front();
          }
        which << HeaderText(rowLabel[size_t(r)]);
        text = heads.isEmpty() ? QString() : heads.join(QStringLiteral(", ")) + ':';
      } else if (controls.size() > 1) {
        for (int h = top; h >= 0 && h <= bottom; ++h) which << headerText(over(h, *p));
      }
      which.removeAll(QString());
      auto group = std::find_if(groups.begin(), groups.end(), [&](const TGroup& g) {
        return g.Label == label && g.Text == text;
      });
      if (group == groups.end()) group = groups.insert(groups.end(), TGroup{label, text, {}});
      group->Controls.push_back({p->Widget, which.join(QStringLiteral(", "))});
    }
  }
  for (const TGroup& g : groups) NameByLabel(g.Label, g.Controls, g.Text);
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

namespace {
// Controls of one grid column line up: lists take the width of the column's widest list, and
// controls of unlike widths share the column's left edge instead of each being centred alone.
void AlignGridColumns(QGridLayout* layout, const std::vector<TPlaced>& placed) {
  std::map<int, std::vector<const TPlaced*>> byColumn;
  for (const TPlaced& p : placed)
    if (p.Span == 1 && IsControl(p)) byColumn[p.Column].push_back(&p);
  for (const auto& [column, controls] : byColumn) {
    int listWidth = 0;
    for (const TPlaced* p : controls)
      if (qobject_cast<QComboBox*>(p->Widget))
        listWidth = std::max(listWidth, p->Widget->sizeHint().width());
    std::set<int> widths;
    for (const TPlaced* p : controls) {
      if (qobject_cast<QComboBox*>(p->Widget)) p->Widget->setMinimumWidth(listWidth);
      widths.insert(std::max(p->Widget->sizeHint().width(), p->Widget->minimumWidth()));
    }
    if (widths.size() < 2) continue;
    for (const TPlaced* p : controls) layout->setAlignment(p->Widget, Qt::AlignLeft | Qt::AlignVCenter);
  }
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
    std::vector<TPlaced> placed;
    for (int r = 0; r < static_cast<int>(grid.Rows.size()); ++r) {
      int c = 0;
      for (const TLayoutCell& cell : grid.Rows[r]) {
        if (QWidget* w = BuildCell(cell, binding, widget)) {
          placed.push_back({w, &cell, r, c, cell.ColumnSpan});
          const bool whole = cell.Control && (cell.Control->Kind() == TControlKind::Tabs ||
                                              cell.Control->Kind() == TControlKind::Container);
          layout->addWidget(w, r, c, 1, cell.ColumnSpan, whole ? Qt::Alignment() : AlignmentOf(cell.Align));
          if (whole) wholeColumn = c;
        }
        c += cell.ColumnSpan;
      }
      columns = std::max(columns, c);
    }
    NameGridControls(placed, static_cast<int>(grid.Rows.size()));
    AlignGridColumns(layout, placed);
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

QString JoinedName(const QString& what, const QString& which) {
  if (which.isEmpty()) return what;
  if (what.isEmpty()) return which;
  return what + (what.endsWith(':') ? QStringLiteral(" ") : QStringLiteral(": ")) + which;
}

void NameByLabel(QLabel* label, const std::vector<TLabelledWidget>& controls, QString text) {
  if (text.isEmpty() && label) text = label->text().simplified();
  for (const TLabelledWidget& c : controls) {
    QString own = c.Widget->accessibleName();
    if (auto* button = qobject_cast<QAbstractButton*>(c.Widget); button && own.isEmpty())
      own = button->text();
    if (!own.isEmpty()) {
      if (!c.What.isEmpty()) c.Widget->setAccessibleName(JoinedName(own, c.What));
      continue;
    }
    if (label && !label->buddy()) label->setBuddy(c.Widget);
    // Set even where the buddy names the control: the name of a label on two lines is one line.
    c.Widget->setAccessibleName(JoinedName(text, c.What));
  }
}

TControlsPageView::TControlsPageView(TprForm* page, TControlSet& controls, QWidget* parent)
    : TPageWidget(page, parent), Built(BuildControlsView(controls, Content(), &Binding)) {
  // A released page may be freed before its view: the view stops touching it then.
  Binding->WatchLifetime(page->Alive());
}

QWidget* TControlsPageView::Widget(const char* controlName) const {
  if (!Binding->ModelAlive()) return nullptr;
  return Binding->WidgetOf(Binding->Set().Find(controlName));
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

#include "app/TreeRowTips.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QTreeView>
#include <algorithm>

TCutRowTips::TCutRowTips(QTreeView* view) : QObject(view), View(view) {
  view->viewport()->installEventFilter(this);
}

bool TCutRowTips::RowCut(const QTreeView* view, const QModelIndex& index) {
  const QRect cell = view->visualRect(index);
  const int shown = std::min(cell.right() + 1, view->viewport()->width()) - cell.left();
  return view->sizeHintForIndex(index).width() > shown;
}

bool TCutRowTips::eventFilter(QObject* watched, QEvent* event) {
  // The type first: the filter also sees the events of a view being destroyed, whose
  // viewport() may no longer be called.
  if (event->type() != QEvent::ToolTip || watched != View->viewport()) return false;
  const auto* help = static_cast<QHelpEvent*>(event);
  const QModelIndex index = View->indexAt(help->pos());
  // A row's own tool tip is shown by the view as usual.
  if (!index.isValid() || !index.data(Qt::ToolTipRole).toString().isEmpty()) return false;
  if (RowCut(View, index))
    QToolTip::showText(help->globalPos(), index.data(Qt::DisplayRole).toString(),
                       View->viewport(), View->visualRect(index));
  else
    QToolTip::hideText();
  return true;
}

QString TTailElideDelegate::Elided(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  // The head up to the first folder ("/dev/"), when there is room for some tail after it.
  const QString ellipsis(QChar(0x2026));
  QString head = text.left(text.indexOf(QLatin1Char('/'), 1) + 1);
  if (metrics.horizontalAdvance(head + ellipsis) > width / 3) head.clear();
  QString tail;
  for (int n = text.size() - head.size(); n > 0; --n) {
    tail = text.right(n);
    if (metrics.horizontalAdvance(head + ellipsis + tail) <= width) return head + ellipsis + tail;
  }
  return head + ellipsis;
}

void TTailElideDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
  // The style's own margins inside the text rectangle.
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  item.text = Elided(item.text, item.fontMetrics, text.width() - 2 * margin);
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
}

#include "app/TreeRowTips.h"

#include <QHelpEvent>
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

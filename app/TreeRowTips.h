#pragma once
// The tool tips of a tree's rows: a row whose text the tree's width cuts shows its whole text;
// a row with a tool tip of its own shows that.
#include <QObject>

class QTreeView;

class TCutRowTips : public QObject {
 public:
  // Watches view's rows from now on; owned by the view.
  explicit TCutRowTips(QTreeView* view);
  // Whether the row of index is wider than what the tree shows of it.
  static bool RowCut(const QTreeView* view, const QModelIndex& index);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeView* View;
};

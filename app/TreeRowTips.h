#pragma once
// The tool tips of a tree's rows: a row whose text the tree's width cuts shows its whole text;
// a row with a tool tip of its own shows that.
#include <QObject>
#include <QStyledItemDelegate>

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

// Draws a row too long for the tree with its head and as much of its tail as fits, "…" between:
// by-id port names differ near their end ("...A10K3XYZ-if00-port0").
class TTailElideDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  // The text shown in so many pixels: whole when it fits, else head + "…" + tail.
  static QString Elided(const QString& text, const QFontMetrics& metrics, int width);
};

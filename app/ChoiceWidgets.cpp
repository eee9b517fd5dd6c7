#include "app/ChoiceWidgets.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>

namespace {
// What a screen reader is told about a list. Qt names a list on Linux by its current item and
// leaves the label to the labelled-by relation, so a list with no label beside it (one of a
// row of channel lists) goes unnamed; here a list is named as every other control is, by its
// accessible name or its label, and its current item is its value.
class TChoiceComboBoxAccessible : public QAccessibleWidget {
 public:
  explicit TChoiceComboBoxAccessible(QComboBox* box)
      : QAccessibleWidget(box, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Box()->currentText();
    const QString text = QAccessibleWidget::text(t);
    return t == QAccessible::Name && text.isEmpty() ? Box()->currentText() : text;
  }
  // The one child is the list of items, as Qt's own interface of a list has it.
  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && child->object() == Box()->view() ? 0 : -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    if (name != showMenuAction()) return QAccessibleWidget::doAction(name);
    if (Box()->view()->isVisible())
      Box()->hidePopup();
    else
      Box()->showPopup();
  }

 private:
  QComboBox* Box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* ChoiceComboBoxAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String("TChoiceComboBox") && object && object->isWidgetType())
    return new TChoiceComboBoxAccessible(static_cast<QComboBox*>(object));
  return nullptr;
}
}  // namespace

TChoiceComboBox::TChoiceComboBox(QWidget* parent) : QComboBox(parent) {
  setFocusPolicy(Qt::StrongFocus);
  static const bool installed = (QAccessible::installFactory(ChoiceComboBoxAccessible), true);
  (void)installed;
}

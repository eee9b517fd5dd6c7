#pragma once
// Value widgets that change only on the user's choice. Qt changes a combo box under the mouse
// wheel even without the focus (and takes the focus for it), reporting it as a user's
// activation; a spin box steps the same way. A wheel notch while scrolling a page must not
// change a setting, so a list ignores the wheel altogether and a spin box ignores it until it
// has the focus; the ignored event scrolls the page instead.
#include <QComboBox>
#include <QSpinBox>
#include <QWheelEvent>

// A list is named for a screen reader by its label (or accessible name), its current item
// being its value, on every platform alike.
class TChoiceComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TChoiceComboBox(QWidget* parent = nullptr);

 protected:
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

class TChoiceSpinBox : public QSpinBox {
 public:
  explicit TChoiceSpinBox(QWidget* parent = nullptr) : QSpinBox(parent) {
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void wheelEvent(QWheelEvent* event) override {
    if (hasFocus())
      QSpinBox::wheelEvent(event);
    else
      event->ignore();
  }
};

#pragma once
// The calibration password dialog: a masked field, "OK" (default) and "Отмена" (Escape).
#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

class TPasswordForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPasswordForm(QWidget* parent = nullptr);
  std::string Password() const;

  QLabel* lbPassword;
  QLineEdit* edPassword;
  QPushButton* btOK;
  QPushButton* btCancel;
};

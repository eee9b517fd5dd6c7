#include "app/PasswordForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QtUi.h"
#include "shell/PasswordUnit.h"

TPasswordForm::TPasswordForm(QWidget* parent) : QDialog(parent) {
  setObjectName("PasswordForm");
  setWindowTitle(ToQt(PasswordForm::Caption));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  lbPassword = new QLabel(ToQt(PasswordForm::lbPassword), this);
  lbPassword->setObjectName("lbPassword");
  edPassword = new QLineEdit(this);
  edPassword->setObjectName("edPassword");
  lbPassword->setBuddy(edPassword);
  edPassword->setEchoMode(QLineEdit::Password);
  // Every character shows as the one mask character, whatever the style's own.
  edPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: %1; }")
                                .arg(int(PasswordForm::PasswordChar)));
  btOK = new QPushButton(ToQt(PasswordForm::btOK), this);
  btOK->setObjectName("btOK");
  btOK->setDefault(true);
  btCancel = new QPushButton(ToQt(PasswordForm::btCancel), this);
  btCancel->setObjectName("btCancel");
  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btOK);
  buttons->addWidget(btCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lbPassword);
  layout->addWidget(edPassword);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
  edPassword->setFocus();
}

std::string TPasswordForm::Password() const { return edPassword->text().toStdString(); }

#include "app/QtUi.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>

#include "app/ConfigDialogs.h"
#include "app/ErrorBox.h"
#include "app/PasswordForm.h"
#include "app/RhoCalibrateDialog.h"
#include "comm/Resources.h"
#include "pages/RhoCalibrateUnit.h"
#include "shell/ConfigUnit.h"

QString ToQt(const std::string& text) {
  std::string plain = text;
  for (size_t at = plain.find("\r\n"); at != std::string::npos; at = plain.find("\r\n", at))
    plain.erase(at, 1);
  return QString::fromStdString(ResStr(plain));
}

void TQtGuiPoster::Post(std::function<void()> action) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, [action = std::move(action)] { Guarded(action); }, Qt::QueuedConnection);
}

QWidget* TQtUiServices::DialogParent() const {
  if (QWidget* active = QApplication::activeModalWidget()) return active;
  if (QWidget* active = QApplication::activeWindow()) return active;
  return MainWindow.data();
}

void TQtUiServices::Beep() { QApplication::beep(); }

void TQtUiServices::MessageBox(const std::string& text, const std::string& caption,
                               TMsgIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
  switch (icon) {
    case TMsgIcon::Information: qtIcon = QMessageBox::Information; break;
    case TMsgIcon::Warning: qtIcon = QMessageBox::Warning; break;
    case TMsgIcon::Error: qtIcon = QMessageBox::Critical; break;
    case TMsgIcon::None: break;
  }
  QMessageBox box(qtIcon, ToQt(caption), ToQt(text), QMessageBox::Ok, DialogParent());
  box.exec();
}

void TQtUiServices::ShowError(const std::string& message) {
  MessageBox(message, "ORBIS Utility", TMsgIcon::Error);
}


void TQtUiServices::SetCursor(TCursorKind cursor) {
  Current = cursor;
  if (cursor == TCursorKind::Default) {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    return;
  }
  Qt::CursorShape shape = Qt::ArrowCursor;
  switch (cursor) {
    case TCursorKind::AppStart: shape = Qt::BusyCursor; break;
    case TCursorKind::Wait: shape = Qt::WaitCursor; break;
    case TCursorKind::HandPoint: shape = Qt::PointingHandCursor; break;
    case TCursorKind::Default: break;
  }
  if (QApplication::overrideCursor())
    QApplication::changeOverrideCursor(QCursor(shape));
  else
    QApplication::setOverrideCursor(QCursor(shape));
}

bool TQtUiServices::PasswordDialog(std::string& password) {
  TPasswordForm dialog(DialogParent());
  if (dialog.exec() != QDialog::Accepted) return false;
  password = dialog.Password();
  return true;
}

bool TQtUiServices::NetworkPortDialog(std::string& host, int& port) {
  QDialog dialog(DialogParent());
  dialog.setObjectName("NetPortForm");
  dialog.setWindowTitle(ToQt("Сетевой порт"));
  dialog.setWindowFlags(dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint);
  auto* lbNote = new QLabel(ToQt("Шлюз RS-485/Ethernet в прозрачном режиме: кадры проходят\n"
                                 "через соединение TCP без изменений."),
                            &dialog);
  auto* edHost = new QLineEdit(QString::fromStdString(host), &dialog);
  edHost->setObjectName("edHost");
  edHost->setPlaceholderText(QStringLiteral("10.0.0.5"));
  auto* seTcpPort = new QSpinBox(&dialog);
  seTcpPort->setObjectName("seTcpPort");
  seTcpPort->setRange(1, 65535);
  seTcpPort->setValue(port >= 1 && port <= 65535 ? port : 4001);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* btOK = buttons->addButton(ToQt("OK"), QDialogButtonBox::AcceptRole);
  btOK->setObjectName("btOK");
  btOK->setDefault(true);
  buttons->addButton(ToQt("Отмена"), QDialogButtonBox::RejectRole)->setObjectName("btCancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  // OK waits for a host to connect to.
  const auto update = [edHost, btOK] { btOK->setEnabled(!edHost->text().trimmed().isEmpty()); };
  QObject::connect(edHost, &QLineEdit::textChanged, &dialog, update);
  update();
  auto* form = new QFormLayout;
  form->addRow(ToQt("Адрес шлюза:"), edHost);
  form->addRow(ToQt("Порт TCP:"), seTcpPort);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(lbNote);
  layout->addLayout(form);
  layout->addWidget(buttons);
  edHost->setFocus();
  if (dialog.exec() != QDialog::Accepted) return false;
  host = edHost->text().trimmed().toStdString();
  port = seTcpPort->value();
  return true;
}

TModalResult TQtUiServices::ShowModal(TModalDialog& dialog) {
  std::unique_ptr<QDialog> window;
  if (auto* wizard = dynamic_cast<TRhoCalibrateForm*>(&dialog))
    window = std::make_unique<TRhoCalibrateDialog>(*wizard, DialogParent());
  else if (auto* compare = dynamic_cast<TConfigCompareForm*>(&dialog))
    window = std::make_unique<TConfigCompareDialog>(*compare, DialogParent());
  if (!window) return TModalResult::None;
  return window->exec() == QDialog::Accepted ? TModalResult::Ok : TModalResult::Cancel;
}

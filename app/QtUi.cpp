#include "app/QtUi.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>

#include "app/ConfigDialogs.h"
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

void TQtUiServices::ProcessMessages() { QApplication::processEvents(); }

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

TModalResult TQtUiServices::ShowModal(TModalDialog& dialog) {
  std::unique_ptr<QDialog> window;
  if (auto* wizard = dynamic_cast<TRhoCalibrateForm*>(&dialog))
    window = std::make_unique<TRhoCalibrateDialog>(*wizard, DialogParent());
  else if (auto* compare = dynamic_cast<TConfigCompareForm*>(&dialog))
    window = std::make_unique<TConfigCompareDialog>(*compare, DialogParent());
  if (!window) return TModalResult::None;
  return window->exec() == QDialog::Accepted ? TModalResult::Ok : TModalResult::Cancel;
}

#pragma once
// Qt view of the output calibration wizard: a fixed-size dialog centred on the screen, the four
// pages in a page area without tab headers (only the wizard changes pages), "Далее >" as the
// default button so that Enter anywhere presses it, and "Отмена". The window's close button
// and Escape are close requests that the wizard may refuse.
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TRhoCalibrateForm;

class TRhoCalibrateDialog : public QDialog {
  Q_OBJECT
 public:
  TRhoCalibrateDialog(TRhoCalibrateForm& model, QWidget* parent = nullptr);
  ~TRhoCalibrateDialog() override;

  // Brings the widgets in line with the model.
  void Sync();

  QTabWidget* pcWizard;
  QComboBox* cbType;
  QComboBox* cbChannel;
  QLineEdit* edValue;
  QLabel* lbUnit;
  QLabel* lbOldSettings;
  QLabel* lbErr;
  QPushButton* btForward;
  QPushButton* btCancel;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the window's close button end here: a close request to the wizard.
  void reject() override;

 private:
  TRhoCalibrateForm& Model;
};

// The 32 by 32 symbols of the result pages, drawn rather than loaded.
QPixmap SuccessSymbol();
QPixmap FailureSymbol();

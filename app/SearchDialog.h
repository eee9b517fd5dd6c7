#pragma once
// Qt view of the search window: a small tool window without system buttons that stays on top,
// centred on the main window, showing the progress of a TSearchForm and offering Stop.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class TSearchForm;

class TSearchDialog : public QDialog {
  Q_OBJECT
 public:
  TSearchDialog(TSearchForm& model, QWidget* parent = nullptr);
  ~TSearchDialog() override;

  // Brings the widgets in line with the model.
  void Sync();

  QProgressBar* MainGauge;
  QLabel* lbLookingCaption;
  QLabel* lbLooking;
  QLabel* lbFoundedCaption;
  QLabel* lbFounded;
  QPushButton* btStop;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Esc stops the search like the button does.
  void reject() override;

 private:
  TSearchForm& Model;
  bool Activated = false;
};

// Installs the runner that shows the search window as this modal dialog (once per program).
void InstallSearchDialog();

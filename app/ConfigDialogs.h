#pragma once
// Qt views of the configuration windows: the progress window of a save or a load (gauge, the
// module and register at hand, "Отмена"), and the comparison window (a list of the differences
// module by module with a tick each, "Записать" and "Отмена"; after the writes the result of
// each, "Закрыть").
#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class TConfigCompareForm;
class TConfigProgressForm;

class TConfigProgressDialog : public QDialog {
  Q_OBJECT
 public:
  // Starts the work once the dialog shows and closes the dialog when it has ended; each step
  // the work records is shown from the event loop.
  TConfigProgressDialog(TConfigProgressForm& model,
                        std::function<void(std::function<void()>)> work,
                        QWidget* parent = nullptr);
  ~TConfigProgressDialog() override;
  void Sync();

  QProgressBar* MainGauge;
  QLabel* lbAction;
  QPushButton* btCancel;

 protected:
  void showEvent(QShowEvent* event) override;
  // Esc and the window's close ask the work to stop like the button does.
  void reject() override;

 private:
  TConfigProgressForm& Model;
  std::function<void(std::function<void()>)> Work;
  bool Started = false;
  bool Done = false;
};

class TConfigCompareDialog : public QDialog {
  Q_OBJECT
 public:
  TConfigCompareDialog(TConfigCompareForm& model, QWidget* parent = nullptr);

  QLabel* lbFile;
  QTreeWidget* tvDifferences;
  QPushButton* btWrite;   // "Записать" (comparison)
  QPushButton* btCancel;  // "Отмена" (comparison) or "Закрыть" (result)

 private:
  void Fill();
  TConfigCompareForm& Model;
};

// Installs the runner that shows the progress window as this modal dialog (once per program).
void InstallConfigDialogs();

#pragma once
// Qt view of the port page: the settings controls on a panel centred in the page, bound to the
// TPortForm model. A user change goes into the model's control and runs its handler; then every
// widget is brought back in line with the model.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QVBoxLayout;
class TPortForm;
struct TPortPageList;

class TPortView : public QWidget {
  Q_OBJECT
 public:
  TPortView(TPortForm* page, QWidget* parent = nullptr);

  // Brings every widget in line with the page model.
  void Sync();

  QComboBox* cbProtocol;
  QCheckBox* chbInit;
  QComboBox* cbBaud;
  QComboBox* cbParity;
  QCheckBox* chbLRC;
  QSpinBox* seTimeout;
  QPushButton* bbSearch;
  QLabel* lbProtocol;
  QLabel* lbBaud;
  QLabel* lbParity;
  QLabel* lbTimeout;
  QLabel* lbCaption;

 private:
  // Runs a model handler at the event boundary: an error goes to the default error box.
  template <typename F>
  void Run(F&& handler);
  QComboBox* MakeList(const TPortPageList& list);

  TPortForm* Page;
  QVBoxLayout* Outer;
  bool Syncing = false;
};

// Registers the view for "TPortForm" pages (done by the page view registry before its first use).
void RegisterPortPageView();

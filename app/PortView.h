#pragma once
// Qt view of the port page: the settings controls on a panel centred in the page, bound to the
// TPortForm model. A user change goes into the model's control and runs its handler; then every
// widget is brought back in line with the model.
#include "app/PageWidget.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TPortForm;
struct TPortPageList;

class TPortView : public TPageWidget {
  Q_OBJECT
 public:
  TPortView(TPortForm* page, QWidget* parent = nullptr);


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
  QLabel* lbById;
  QLineEdit* edById;

 protected:
  // Brings every widget in line with the page model.
  void Refresh() override;

 private:
  // The page model; nullptr once the page has been released.
  TPortForm* Port() const;
  // Puts a user change into the model and runs its handler (unless the widgets are being
  // refreshed from the model), then refreshes.
  void Handle(const std::function<void(TPortForm&)>& change);
  QComboBox* MakeList(const TPortPageList& list, QWidget* parent);

  bool Refreshing = false;
};

// Registers the view for "TPortForm" pages (done by the page view registry before its first use).
void RegisterPortPageView();

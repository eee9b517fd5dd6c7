#include "app/SearchDialog.h"

#include <QApplication>
#include <algorithm>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QtUi.h"
#include "shell/SearchUnit.h"
#include "shell/UiServices.h"

namespace {

QString Q(const char* text) { return ToQt(text); }

// The window the search dialog is centred on: the program's main window, else the active one.
QWidget* MainWindowWidget() {
  if (auto* qtUi = dynamic_cast<TQtUiServices*>(&Ui()))
    if (qtUi->MainWindow) return qtUi->MainWindow->window();
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMainWindow*>(w) && w->isVisible()) return w;
  return nullptr;
}

}  // namespace

TSearchDialog::TSearchDialog(TSearchForm& model, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      Model(model) {
  setWindowTitle(Q(TSearchForm::Caption));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  MainGauge = new QProgressBar(this);
  MainGauge->setObjectName("MainGauge");
  MainGauge->setTextVisible(true);
  MainGauge->setFormat("%p%");
  MainGauge->setAlignment(Qt::AlignCenter);
  // Wide enough for the caption on the title bar as well.
  MainGauge->setMinimumWidth(
      std::max(240, MainGauge->fontMetrics().horizontalAdvance(Q(TSearchForm::Caption)) + 120));
  layout->addWidget(MainGauge);

  auto* grid = new QGridLayout();
  lbLookingCaption = new QLabel(Q(TSearchForm::LookingCaption), this);
  lbLooking = new QLabel(this);
  lbLooking->setObjectName("lbLooking");
  lbFoundedCaption = new QLabel(Q(TSearchForm::FoundedCaption), this);
  lbFounded = new QLabel(this);
  lbFounded->setObjectName("lbFounded");
  for (QLabel* number : {lbLooking, lbFounded}) {
    number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for the widest number shown, so the captions never move.
    number->setMinimumWidth(number->fontMetrics().horizontalAdvance("0000"));
  }
  grid->addWidget(lbLookingCaption, 0, 0);
  grid->addWidget(lbLooking, 0, 1);
  grid->addWidget(lbFoundedCaption, 1, 0);
  grid->addWidget(lbFounded, 1, 1);
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);

  btStop = new QPushButton(Q(TSearchForm::StopCaption), this);
  btStop->setObjectName("btStop");
  btStop->setAutoDefault(false);
  layout->addWidget(btStop, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(btStop, &QPushButton::clicked, this, [this] { Model.btStopClick(); });
  Model.OnChange = [this] { Sync(); };
  Model.OnHide = [this] { hide(); };
  // The close command is queued: the modal display ends once the running handler returns.
  Model.OnClose = [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); };
  Sync();
}

TSearchDialog::~TSearchDialog() {
  Model.OnChange = nullptr;
  Model.OnHide = nullptr;
  Model.OnClose = nullptr;
}

void TSearchDialog::Sync() {
  MainGauge->setRange(Model.GaugeMin, Model.GaugeMax);
  if (Model.GaugePosition >= Model.GaugeMin)
    MainGauge->setValue(Model.GaugePosition);
  else
    MainGauge->reset();
  lbLooking->setText(QString::fromStdString(Model.lbLooking));
  lbFounded->setText(QString::fromStdString(Model.lbFounded));
}

void TSearchDialog::showEvent(QShowEvent* event) {
  // Qt has centred the dialog on its parent, the main window, before this event.
  QDialog::showEvent(event);
  Model.Show();
  if (!Activated) {
    Activated = true;
    // Started from the event loop of the modal display, not from inside show().
    QMetaObject::invokeMethod(this, [this] { Model.FormActivate(); }, Qt::QueuedConnection);
  }
}

void TSearchDialog::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  // A spontaneous hide (the main window minimised) is no request to stop.
  if (!event->spontaneous()) Model.Hide();
}

void TSearchDialog::closeEvent(QCloseEvent* event) {
  Model.Hide();
  QDialog::closeEvent(event);
}

void TSearchDialog::reject() { Model.btStopClick(); }

void InstallSearchDialog() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetSearchWindowRunner([](TSearchForm& model) {
    TSearchDialog dialog(model, MainWindowWidget());
    dialog.exec();
  });
}

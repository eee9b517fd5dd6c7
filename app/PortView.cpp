#include "app/PortView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <exception>

#include "app/PageView.h"
#include "app/SearchDialog.h"
#include "shell/PortUnit.h"
#include "shell/UiServices.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

void SyncList(QComboBox* box, const TPortPageList& list) {
  QSignalBlocker block(box);
  box->setCurrentIndex(list.ItemIndex);
  box->setEnabled(list.Enabled);
}

}  // namespace

TPortView::TPortView(TPortForm* page, QWidget* parent) : QWidget(parent), Page(page) {
  InstallSearchDialog();

  Outer = new QVBoxLayout(this);
  Outer->setContentsMargins(0, 0, 0, 0);
  Outer->setSpacing(0);

  lbCaption = new QLabel(this);
  lbCaption->setFixedHeight(18);
  lbCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lbCaption->setAutoFillBackground(true);
  QPalette tip = lbCaption->palette();
  tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
  tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
  lbCaption->setPalette(tip);
  Outer->addWidget(lbCaption);

  auto* panel = new QWidget(this);
  panel->setObjectName("pPort");
  auto* grid = new QGridLayout(panel);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(8);

  lbProtocol = new QLabel(Q(page->lbProtocol.Caption), panel);
  cbProtocol = MakeList(page->cbProtocol);
  chbInit = new QCheckBox(Q(page->chbInit.Caption), panel);
  lbBaud = new QLabel(Q(page->lbBaud.Caption), panel);
  cbBaud = MakeList(page->cbBaud);
  lbParity = new QLabel(Q(page->lbParity.Caption), panel);
  cbParity = MakeList(page->cbParity);
  chbLRC = new QCheckBox(Q(page->chbLRC.Caption), panel);
  lbTimeout = new QLabel(Q(page->lbTimeout.Caption), panel);
  seTimeout = new QSpinBox(panel);
  seTimeout->setRange(page->seTimeout.MinValue, page->seTimeout.MaxValue);
  // The wider of the two captions sizes the button, so switching never cuts it.
  bbSearch = new QPushButton(panel);
  bbSearch->setMinimumWidth(
      std::max(bbSearch->fontMetrics().horizontalAdvance("Поиск модулей"),
               bbSearch->fontMetrics().horizontalAdvance("Поиск модуля")) + 32);

  cbProtocol->setObjectName("cbProtocol");
  chbInit->setObjectName("chbInit");
  cbBaud->setObjectName("cbBaud");
  cbParity->setObjectName("cbParity");
  chbLRC->setObjectName("chbLRC");
  seTimeout->setObjectName("seTimeout");
  bbSearch->setObjectName("bbSearch");

  int row = 0;
  grid->addWidget(lbProtocol, row, 0);
  grid->addWidget(cbProtocol, row++, 1);
  grid->addWidget(chbInit, row++, 1);
  grid->addWidget(lbBaud, row, 0);
  grid->addWidget(cbBaud, row++, 1);
  grid->addWidget(lbParity, row, 0);
  grid->addWidget(cbParity, row++, 1);
  grid->addWidget(chbLRC, row++, 1);
  grid->addWidget(lbTimeout, row, 0);
  grid->addWidget(seTimeout, row++, 1);
  grid->addWidget(bbSearch, row++, 1, Qt::AlignRight);

  auto* centre = new QGridLayout();
  centre->addWidget(panel, 1, 1);
  centre->setRowStretch(0, 1);
  centre->setRowStretch(2, 1);
  centre->setColumnStretch(0, 1);
  centre->setColumnStretch(2, 1);
  Outer->addLayout(centre, 1);

  connect(cbProtocol, &QComboBox::currentIndexChanged, this, [this](int index) {
    Run([&] {
      Page->cbProtocol.ItemIndex = index;
      Page->cbProtocolChange();
    });
  });
  connect(cbBaud, &QComboBox::currentIndexChanged, this, [this](int index) {
    Run([&] {
      Page->cbBaud.ItemIndex = index;
      Page->cbBaudChange();
    });
  });
  connect(cbParity, &QComboBox::currentIndexChanged, this, [this](int index) {
    Run([&] {
      Page->cbParity.ItemIndex = index;
      Page->cbParityChange();
    });
  });
  connect(chbInit, &QCheckBox::toggled, this, [this](bool on) {
    Run([&] {
      Page->chbInit.Checked = on;
      Page->chbInitClick();
    });
  });
  connect(chbLRC, &QCheckBox::toggled, this, [this](bool on) {
    Run([&] {
      Page->chbLRC.Checked = on;
      Page->chbLRCClick();
    });
  });
  connect(seTimeout, &QSpinBox::valueChanged, this, [this](int value) {
    Run([&] {
      Page->seTimeout.Value = value;
      Page->seTimeoutChange();
    });
  });
  connect(bbSearch, &QPushButton::clicked, this, [this] { Run([&] { Page->bbSearchClick(); }); });

  Sync();
}

QComboBox* TPortView::MakeList(const TPortPageList& list) {
  auto* box = new QComboBox(this);
  for (const auto& item : list.Items) box->addItem(Q(item));
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return box;
}

template <typename F>
void TPortView::Run(F&& handler) {
  if (Syncing) return;
  try {
    handler();
  } catch (const std::exception& e) {
    Ui().ShowError(e.what());
  }
  Sync();
}

void TPortView::Sync() {
  Syncing = true;
  lbCaption->setText(Q(Page->lbCaption));
  SyncList(cbProtocol, Page->cbProtocol);
  SyncList(cbBaud, Page->cbBaud);
  SyncList(cbParity, Page->cbParity);
  {
    QSignalBlocker block(chbInit);
    chbInit->setChecked(Page->chbInit.Checked);
    chbInit->setEnabled(Page->chbInit.Enabled);
  }
  {
    QSignalBlocker block(chbLRC);
    chbLRC->setChecked(Page->chbLRC.Checked);
    chbLRC->setEnabled(Page->chbLRC.Enabled);
  }
  {
    QSignalBlocker block(seTimeout);
    seTimeout->setValue(Page->seTimeout.Value);
    seTimeout->setEnabled(Page->seTimeout.Enabled);
  }
  lbProtocol->setEnabled(Page->lbProtocol.Enabled);
  lbBaud->setEnabled(Page->lbBaud.Enabled);
  lbParity->setEnabled(Page->lbParity.Enabled);
  lbTimeout->setEnabled(Page->lbTimeout.Enabled);
  bbSearch->setText(Q(Page->bbSearch.Caption));
  bbSearch->setEnabled(Page->bbSearch.Enabled);
  Syncing = false;
}

void RegisterPortPageView() {
  RegisterPageView("TPortForm", [](TprForm* page, QWidget* parent) -> QWidget* {
    auto* port = dynamic_cast<TPortForm*>(page);
    if (!port) return new QWidget(parent);
    return new TPortView(port, parent);
  });
}

#include "app/PortView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>

#include "app/ChoiceWidgets.h"
#include "app/PageView.h"
#include "app/QtUi.h"
#include "app/SearchDialog.h"
#include "shell/PortUnit.h"

namespace {

QString Q(const std::string& text) { return ToQt(text); }

void SyncList(QComboBox* box, const TPortPageList& list) {
  QSignalBlocker block(box);
  box->setCurrentIndex(list.ItemIndex);
  box->setEnabled(list.Enabled);
}

}  // namespace

TPortView::TPortView(TPortForm* page, QWidget* parent) : TPageWidget(page, parent) {
  InstallSearchDialog();

  auto* panel = new QWidget(Content());
  panel->setObjectName("pPort");
  auto* grid = new QGridLayout(panel);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(8);

  lbProtocol = new QLabel(Q(page->lbProtocol.Caption), panel);
  cbProtocol = MakeList(page->cbProtocol, panel);
  chbInit = new QCheckBox(Q(page->chbInit.Caption), panel);
  lbBaud = new QLabel(Q(page->lbBaud.Caption), panel);
  cbBaud = MakeList(page->cbBaud, panel);
  lbParity = new QLabel(Q(page->lbParity.Caption), panel);
  cbParity = MakeList(page->cbParity, panel);
  chbLRC = new QCheckBox(Q(page->chbLRC.Caption), panel);
  lbTimeout = new QLabel(Q(page->lbTimeout.Caption), panel);
  seTimeout = new TChoiceSpinBox(panel);
  seTimeout->setRange(page->seTimeout.MinValue, page->seTimeout.MaxValue);
  bbSearch = new QPushButton(panel);
  // Sized for the wider of its two captions, so switching INIT mode never cuts it.
  bbSearch->setMinimumWidth(
      std::max(bbSearch->fontMetrics().horizontalAdvance(Q("Поиск модулей")),
               bbSearch->fontMetrics().horizontalAdvance(Q("Поиск модуля"))) +
      32);
  // The by-id name is long: a read-only field shows it whole on demand (scrolling, copying).
  lbById = new QLabel(Q(page->lbById.Caption), panel);
  edById = new QLineEdit(QString::fromStdString(page->ById), panel);
  edById->setObjectName("edById");
  edById->setReadOnly(true);
  edById->setToolTip(edById->text());
  edById->setCursorPosition(0);
  lbById->setVisible(!page->ById.empty());
  edById->setVisible(!page->ById.empty());

  cbProtocol->setObjectName("cbProtocol");
  chbInit->setObjectName("chbInit");
  cbBaud->setObjectName("cbBaud");
  cbParity->setObjectName("cbParity");
  chbLRC->setObjectName("chbLRC");
  seTimeout->setObjectName("seTimeout");
  bbSearch->setObjectName("bbSearch");

  int row = 0;
  grid->addWidget(lbById, row, 0);
  grid->addWidget(edById, row++, 1);
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

  // The panel keeps its natural size in the middle of the page.
  auto* centre = new QGridLayout(Content());
  centre->addWidget(panel, 1, 1);
  centre->setRowStretch(0, 1);
  centre->setRowStretch(2, 1);
  centre->setColumnStretch(0, 1);
  centre->setColumnStretch(2, 1);

  connect(cbProtocol, &QComboBox::currentIndexChanged, this, [this](int index) {
    Handle([index](TPortForm& p) {
      p.cbProtocol.ItemIndex = index;
      p.cbProtocolChange();
    });
  });
  connect(cbBaud, &QComboBox::currentIndexChanged, this, [this](int index) {
    Handle([index](TPortForm& p) {
      p.cbBaud.ItemIndex = index;
      p.cbBaudChange();
    });
  });
  connect(cbParity, &QComboBox::currentIndexChanged, this, [this](int index) {
    Handle([index](TPortForm& p) {
      p.cbParity.ItemIndex = index;
      p.cbParityChange();
    });
  });
  connect(chbInit, &QCheckBox::toggled, this, [this](bool on) {
    Handle([on](TPortForm& p) {
      p.chbInit.Checked = on;
      p.chbInitClick();
    });
  });
  connect(chbLRC, &QCheckBox::toggled, this, [this](bool on) {
    Handle([on](TPortForm& p) {
      p.chbLRC.Checked = on;
      p.chbLRCClick();
    });
  });
  connect(seTimeout, &QSpinBox::valueChanged, this, [this](int value) {
    Handle([value](TPortForm& p) {
      p.seTimeout.Value = value;
      p.seTimeoutChange();
    });
  });
  connect(bbSearch, &QPushButton::clicked, this,
          [this] { Handle([](TPortForm& p) { p.bbSearchClick(); }); });
}

TPortForm* TPortView::Port() const { return static_cast<TPortForm*>(Page()); }

QComboBox* TPortView::MakeList(const TPortPageList& list, QWidget* parent) {
  auto* box = new TChoiceComboBox(parent);
  for (const auto& item : list.Items) box->addItem(Q(item));
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return box;
}

void TPortView::Handle(const std::function<void(TPortForm&)>& change) {
  if (Refreshing) return;
  Guard([&] {
    if (TPortForm* page = Port()) change(*page);
  });
  if (Port()) RefreshAll();
}

void TPortView::Refresh() {
  TPortForm* page = Port();
  if (!page) return;
  Refreshing = true;
  SyncList(cbProtocol, page->cbProtocol);
  SyncList(cbBaud, page->cbBaud);
  SyncList(cbParity, page->cbParity);
  {
    QSignalBlocker block(chbInit);
    chbInit->setChecked(page->chbInit.Checked);
    chbInit->setEnabled(page->chbInit.Enabled);
  }
  {
    QSignalBlocker block(chbLRC);
    chbLRC->setChecked(page->chbLRC.Checked);
    chbLRC->setEnabled(page->chbLRC.Enabled);
  }
  {
    QSignalBlocker block(seTimeout);
    seTimeout->setValue(page->seTimeout.Value);
    seTimeout->setEnabled(page->seTimeout.Enabled);
  }
  lbProtocol->setEnabled(page->lbProtocol.Enabled);
  lbBaud->setEnabled(page->lbBaud.Enabled);
  lbParity->setEnabled(page->lbParity.Enabled);
  lbTimeout->setEnabled(page->lbTimeout.Enabled);
  bbSearch->setText(Q(page->bbSearch.Caption));
  bbSearch->setEnabled(page->bbSearch.Enabled);
  Refreshing = false;
}

void RegisterPortPageView() {
  RegisterPageView("TPortForm", [](TprForm* page, QWidget* parent) -> QWidget* {
    return new TPortView(static_cast<TPortForm*>(page), parent);
  });
}

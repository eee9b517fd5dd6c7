#include "app/RhoCalibrateDialog.h"

#include <QComboBox>
#include <algorithm>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/ChoiceWidgets.h"
#include "app/ErrorBox.h"
#include "app/QtUi.h"
#include "pages/RhoCalibrateUnit.h"

namespace texts = RhoCalibrateForm;

namespace {

// Every text of the wizard is looked up where it reaches the screen.
QString Q(const char* text) { return ToQt(text); }

QLabel* Label(const char* text, QWidget* parent, bool bold = false) {
  auto* label = new QLabel(Q(text), parent);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  return label;
}

QPixmap Symbol(const QColor& colour, bool tick) {
  const qreal ratio = 2;  // drawn at twice the size, sharp on high-density screens too
  QPixmap pixmap(QSize(32, 32) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(colour.darker(140), 1.5));
  p.setBrush(colour);
  p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
  p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (tick) {
    QPainterPath path;
    path.moveTo(9, 16.5);
    path.lineTo(14, 21.5);
    path.lineTo(23, 11);
    p.drawPath(path);
  } else {
    p.drawLine(QPointF(11, 11), QPointF(21, 21));
    p.drawLine(QPointF(21, 11), QPointF(11, 21));
  }
  return pixmap;
}

// A result page: the symbol beside the bold title, the texts below it.
QWidget* ResultPage(const QPixmap& symbol, const char* title, QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* grid = new QGridLayout(page);
  auto* image = new QLabel(page);
  image->setPixmap(symbol);
  image->setFixedSize(32, 32);
  grid->addWidget(image, 0, 0, Qt::AlignTop);
  grid->addWidget(Label(title, page, true), 0, 1);
  grid->setColumnStretch(1, 1);
  return page;
}

}  // namespace

QPixmap SuccessSymbol() { return Symbol(QColor(0x2e, 0x9d, 0x3a), true); }
QPixmap FailureSymbol() { return Symbol(QColor(0xd0, 0x2b, 0x27), false); }

TRhoCalibrateDialog::TRhoCalibrateDialog(TRhoCalibrateForm& model, QWidget* parent)
    : QDialog(parent), Model(model) {
  setObjectName("TRhoCalibrateForm");
  setWindowTitle(Q(texts::Caption));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setModal(true);

  pcWizard = new QTabWidget(this);
  pcWizard->setObjectName("pcWizard");
  pcWizard->tabBar()->hide();
  pcWizard->setDocumentMode(true);

  // Preparation.
  auto* tsPrepare = new QWidget(pcWizard);
  {
    auto* column = new QVBoxLayout(tsPrepare);
    column->addWidget(Label(texts::PrepareTitle, tsPrepare, true));
    for (const char* line : texts::PrepareLines) column->addWidget(Label(line, tsPrepare));
    auto* grid = new QGridLayout;
    // The kind and the channel change only on the user's choice, never under a passing wheel.
    cbType = new TChoiceComboBox(tsPrepare);
    cbType->setObjectName("cbType");
    for (const char* item : texts::TypeItems) cbType->addItem(Q(item));
    cbChannel = new TChoiceComboBox(tsPrepare);
    cbChannel->setObjectName("cbChannel");
    for (const char* item : texts::ChannelItems) cbChannel->addItem(Q(item));
    QLabel* type = Label(texts::lbType, tsPrepare);
    QLabel* channel = Label(texts::lbChannel, tsPrepare);
    type->setBuddy(cbType);
    channel->setBuddy(cbChannel);
    grid->addWidget(type, 0, 0);
    grid->addWidget(cbType, 0, 1);
    grid->addWidget(channel, 1, 0);
    grid->addWidget(cbChannel, 1, 1);
    grid->setColumnStretch(2, 1);
    column->addSpacing(6);
    column->addLayout(grid);
    column->addStretch();
  }

  // The measured value.
  auto* tsValue = new QWidget(pcWizard);
  {
    auto* column = new QVBoxLayout(tsValue);
    std::vector<QLabel*> lines;
    for (const char* line : texts::ValueLines)
      column->addWidget(lines.emplace_back(Label(line, tsValue)));
    edValue = new QLineEdit(tsValue);
    edValue->setObjectName("edValue");
    // The lines above the field ask for the value: the first names it.
    lines.front()->setBuddy(edValue);
    edValue->setMaxLength(texts::ValueMaxLength);
    edValue->setMaximumWidth(edValue->fontMetrics().horizontalAdvance(QString(20, QChar('0'))));
    // The unit of the value beside the field: mA or V, after the kind chosen.
    lbUnit = new QLabel(tsValue);
    lbUnit->setObjectName("lbUnit");
    auto* field = new QHBoxLayout;
    field->addWidget(edValue);
    field->addWidget(lbUnit);
    field->addStretch();
    column->addSpacing(6);
    column->addLayout(field);
    column->addStretch();
  }

  QWidget* tsYes = ResultPage(SuccessSymbol(), texts::SuccessTitle, pcWizard);
  {
    auto* grid = static_cast<QGridLayout*>(tsYes->layout());
    int row = 1;
    for (const char* line : texts::SuccessLines) grid->addWidget(Label(line, tsYes), row++, 1);
    lbOldSettings = new QLabel(tsYes);
    lbOldSettings->setObjectName("lbOldSettings");
    lbOldSettings->setTextFormat(Qt::PlainText);
    lbOldSettings->setWordWrap(true);
    grid->addWidget(lbOldSettings, row++, 1);
    grid->setRowStretch(row, 1);
  }
  QWidget* tsNo = ResultPage(FailureSymbol(), texts::FailureTitle, pcWizard);
  {
    auto* grid = static_cast<QGridLayout*>(tsNo->layout());
    lbErr = new QLabel(tsNo);
    lbErr->setObjectName("lbErr");
    lbErr->setTextFormat(Qt::PlainText);
    // The page is as wide as the longest reason, so that none is cut.
    int widest = 0;
    for (const char* reason : {texts::ReasonInternal, texts::ReasonLink, texts::ReasonLinkValue,
                               texts::ReasonCoefficient, texts::ReasonCancelled})
      widest = std::max(widest, lbErr->fontMetrics().horizontalAdvance(Q(texts::ErrorPrefix) + Q(reason)));
    lbErr->setMinimumWidth(widest + 2);
    grid->addWidget(lbErr, 1, 1);
    grid->setRowStretch(2, 1);
  }
  QWidget* pages[] = {tsPrepare, tsValue, tsYes, tsNo};
  const char* names[] = {"tsPrepare", "tsValue", "tsYes", "tsNo"};
  for (int i = 0; i < TRhoCalibrateForm::PageCount; ++i) {
    pages[i]->setObjectName(names[i]);
    pcWizard->addTab(pages[i], Q(texts::PageCaptions[i]));
  }

  btForward = new QPushButton(Q(texts::btForwardNext), this);
  btForward->setObjectName("btForward");
  btCancel = new QPushButton(Q(texts::btCancel), this);
  btCancel->setObjectName("btCancel");
  // Enter presses "Далее >" wherever the focus is, even on "Отмена".
  btForward->setDefault(true);
  btForward->setAutoDefault(false);
  btCancel->setAutoDefault(false);
  // Wide enough for every caption the forward button takes.
  int width = btForward->sizeHint().width();
  for (const char* caption : {texts::btForwardDone, texts::btForwardClose}) {
    btForward->setText(Q(caption));
    width = std::max(width, btForward->sizeHint().width());
  }
  btForward->setMinimumWidth(width);
  btCancel->setMinimumWidth(width);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btForward);
  buttons->addWidget(btCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pcWizard, 1);
  layout->addLayout(buttons);

  connect(cbType, &QComboBox::currentIndexChanged, this, [this](int i) {
    Model.cbType = i;
    lbUnit->setText(QString::fromStdString(Model.lbUnit()));
  });
  connect(cbChannel, &QComboBox::currentIndexChanged, this,
          [this](int i) { Model.cbChannel = i; });
  connect(edValue, &QLineEdit::textChanged, this,
          [this](const QString& text) { Model.edValue = text.toStdString(); });
  connect(btForward, &QPushButton::clicked, this, [this] { Guarded([this] { Model.btForwardClick(); }); });
  connect(btCancel, &QPushButton::clicked, this, [this] { Guarded([this] { Model.btCancelClick(); }); });

  Model.OnChanged = [this] { Sync(); };
  Model.OnFocusValue = [this] { edValue->setFocus(); };
  Model.OnClose = [this](TModalResult result) {
    QDialog::done(result == TModalResult::Ok ? QDialog::Accepted : QDialog::Rejected);
  };
  cbType->setCurrentIndex(Model.cbType);
  cbChannel->setCurrentIndex(Model.cbChannel);
  edValue->setText(QString::fromStdString(Model.edValue));
  Sync();
  // The dialog border: the size the pages need, not resizable.
  setFixedSize(sizeHint());
}

TRhoCalibrateDialog::~TRhoCalibrateDialog() {
  Model.OnChanged = nullptr;
  Model.OnFocusValue = nullptr;
  Model.OnClose = nullptr;
}

void TRhoCalibrateDialog::Sync() {
  pcWizard->setCurrentIndex(Model.ActivePage());
  btForward->setText(ToQt(Model.btForwardCaption()));
  btCancel->setEnabled(Model.btCancelEnabled());
  lbErr->setText(QString::fromStdString(Model.lbErr()));
  lbUnit->setText(QString::fromStdString(Model.lbUnit()));
  lbOldSettings->setText(QString::fromStdString(Model.lbOldSettings()));
}

void TRhoCalibrateDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  Guarded([this] { Model.FormShow(); });
  if (Model.ActivePage() == TRhoCalibrateForm::tsPrepare) cbType->setFocus();
}

void TRhoCalibrateDialog::reject() {
  Guarded([this] { Model.Close(TModalResult::Cancel); });
}

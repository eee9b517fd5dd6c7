#include "app/AboutForm.h"

#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "app/ErrorBox.h"
#include "app/QtUi.h"
#include "app/TreeIcons.h"

namespace {
constexpr int Margin = 8;
constexpr int PanelPadding = 12;

QLabel* MakeLabel(QWidget* parent, const char* name, const std::string& text) {
  auto* label = new QLabel(ToQt(text), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->adjustSize();
  return label;
}
}  // namespace

TAboutView::TAboutView(QWidget* parent, std::optional<TVersionParts> version)
    : QDialog(parent), Form(version) {
  setObjectName("AboutForm");
  setWindowTitle(ToQt(TAboutForm::Caption));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  Form.OpenUrl = [](const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
  };

  pnDescription = new QFrame(this);
  pnDescription->setObjectName("pnDescription");
  pnDescription->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  imProgramIcon = new QLabel(pnDescription);
  imProgramIcon->setObjectName("imProgramIcon");
  imProgramIcon->setPixmap(ProgramIcon().pixmap(32, 32));
  imProgramIcon->setFixedSize(32, 32);
  lbProductName1 = MakeLabel(pnDescription, "lbProductName1", Form.lbProductName1);
  lbProductName2 = MakeLabel(pnDescription, "lbProductName2", Form.lbProductName2);
  lbVerInfo = MakeLabel(pnDescription, "lbVerInfo", Form.lbVerInfo);
  lbMaker1 = MakeLabel(pnDescription, "lbMaker1", Form.lbMaker1);
  lbMaker2 = MakeLabel(pnDescription, "lbMaker2", Form.lbMaker2);
  lbMaker3 = MakeLabel(pnDescription, "lbMaker3", Form.lbMaker3);
  lbURL = MakeLabel(pnDescription, "lbURL", Form.lbURL);
  lbURL->setCursor(Qt::PointingHandCursor);
  QPalette link = lbURL->palette();
  link.setColor(QPalette::WindowText, link.color(QPalette::Link));
  lbURL->setPalette(link);
  QFont underlined = lbURL->font();
  underlined.setUnderline(true);
  lbURL->setFont(underlined);
  lbURL->adjustSize();
  lbURL->installEventFilter(this);

  btOK = new QPushButton(ToQt("ОК"), this);
  btOK->setObjectName("btOK");
  btOK->setDefault(true);
  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
  LayOut();
}

void TAboutView::LayOut() {
  const int textLeft = PanelPadding + 32 + PanelPadding;
  int y = PanelPadding;
  lbProductName1->move(textLeft, y);
  y += lbProductName1->height() + 2;
  lbProductName2->move(textLeft, y);
  y += lbProductName2->height() + 10;
  lbVerInfo->move(textLeft, y);
  imProgramIcon->move(PanelPadding, PanelPadding);
  y += lbVerInfo->height() + 16;
  lbMaker1->move(PanelPadding, y);
  lbURL->move(lbMaker1->geometry().right() + 1 + 8, y);
  y += lbMaker1->height() + 2;
  lbMaker2->move(PanelPadding, y);
  y += lbMaker2->height() + 2;
  lbMaker3->move(PanelPadding, y);
  y += lbMaker3->height() + PanelPadding;

  int right = 0;
  for (QLabel* label : {lbProductName1, lbProductName2, lbVerInfo, lbMaker1, lbMaker2, lbMaker3,
                        lbURL})
    right = std::max(right, label->geometry().right() + 1);
  const int panelWidth = right + PanelPadding;
  pnDescription->setGeometry(Margin, Margin, panelWidth, y);
  const QSize button = btOK->sizeHint().expandedTo(QSize(75, 25));
  btOK->setGeometry(Margin + (panelWidth - button.width()) / 2, Margin + y + Margin,
                    button.width(), button.height());
  setFixedSize(Margin + panelWidth + Margin, btOK->geometry().bottom() + 1 + Margin);
}

void TAboutView::FormShow() {
  Form.FormShow(lbMaker1->geometry().right() + 1);
  lbURL->move(Form.lbURLLeft, lbMaker1->y());
  lbVerInfo->setText(ToQt(Form.lbVerInfo));
  lbVerInfo->adjustSize();
  LayOut();
}

void TAboutView::showEvent(QShowEvent* event) {
  Guarded([this] { FormShow(); });
  QDialog::showEvent(event);
}

void TAboutView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    reject();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TAboutView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lbURL && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Guarded([this] { Form.lbURLClick(); });
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

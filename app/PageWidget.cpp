#include "app/PageWidget.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/ErrorBox.h"
#include "app/PageView.h"
#include "app/QtUi.h"
#include "shell/prUnit.h"

void RegisterPlainPageView() {
  RegisterPageView("TprForm",
                   [](TprForm* page, QWidget* parent) { return new TPageWidget(page, parent); });
}

void StyleCaptionLine(QLabel* label) {
  label->setFixedHeight(TPageWidget::CaptionHeight);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
  palette.setColor(QPalette::WindowText, palette.color(QPalette::ToolTipText));
  label->setPalette(palette);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setTextFormat(Qt::PlainText);
  // A long caption (a by-id port name) is cut at the pane's edge rather than widening the
  // pane and squeezing the tree; its tool tip holds it whole.
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  label->setMinimumWidth(1);
}

TPageWidget::TPageWidget(TprForm* page, QWidget* parent) : QWidget(parent), Model(page) {
  setObjectName(page ? QString::fromStdString(page->ClassName) : QStringLiteral("TprForm"));
  // A page covers the pane and its waiting text wholly.
  setAutoFillBackground(true);
  lbCaption = new QLabel(this);
  lbCaption->setObjectName("lbCaption");
  StyleCaptionLine(lbCaption);
  ContentArea = new QWidget(this);
  ContentArea->setObjectName("ContentArea");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(lbCaption);
  layout->addWidget(ContentArea, 1);
  if (Model) Model->OnChanged = [this] { RefreshAll(); };
}

TPageWidget::~TPageWidget() {
  if (Model) Model->OnChanged = nullptr;
}

void TPageWidget::RefreshAll() {
  if (!Model) return;
  lbCaption->setText(ToQt(Model->lbCaption));
  lbCaption->setToolTip(lbCaption->text().trimmed());
  Refresh();
}

void TPageWidget::Release() {
  if (Model) Model->OnChanged = nullptr;
  Model = nullptr;
  hide();
  deleteLater();
}

void TPageWidget::Guard(const std::function<void()>& action) { Guarded(action); }

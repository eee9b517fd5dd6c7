// The view of the computer node's page: the list of supported models in a read-only, flat
// text field with the button-face background, wrapped to the page's width.
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "app/PageView.h"
#include "app/PageWidget.h"
#include "app/QtUi.h"
#include "shell/CompUnit.h"

namespace {

class TCompView : public TPageWidget {
 public:
  TCompView(TCompForm* page, QWidget* parent) : TPageWidget(page, parent), Form(page) {
    mMain = new QPlainTextEdit(Content());
    mMain->setObjectName("mMain");
    mMain->setReadOnly(true);
    mMain->setFrameShape(QFrame::NoFrame);
    QPalette palette = mMain->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Button));
    mMain->setPalette(palette);
    auto* layout = new QVBoxLayout(Content());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mMain);
  }

 protected:
  void Refresh() override {
    if (!Page()) return;
    const QString text = ToQt(Form->mMain);
    if (mMain->toPlainText() != text) mMain->setPlainText(text);
    // No label stands beside the text: its first line ("...поддерживает:") names it.
    mMain->setAccessibleName(text.section('\n', 0, 0).trimmed());
    mMain->setLineWrapMode(Form->WordWrap ? QPlainTextEdit::WidgetWidth
                                          : QPlainTextEdit::NoWrap);
  }

  void resizeEvent(QResizeEvent* event) override {
    TPageWidget::resizeEvent(event);
    if (Page()) Guard([this] { Form->FormResize(); });
  }

 private:
  TCompForm* Form;
  QPlainTextEdit* mMain;
};

}  // namespace

void RegisterCompPageView() {
  // The page of a module of no known model is a text page of the same kind.
  for (const char* name : {"TCompForm", "TUnknownForm"})
    RegisterPageView(name, [](TprForm* page, QWidget* parent) {
      return new TCompView(static_cast<TCompForm*>(page), parent);
    });
}

#pragma once
// Base of the view of every page. It carries the caption line every page has (lbCaption: 18
// pixels high across the top, in the system's tool-tip colours, text vertically centred), the
// page's notice line under it (lbNotice, shown only while the page model has a notice) and
// below them the content area where a derived view puts its controls.
//
// To add the view of a page:
//   class TKappaView : public TPageWidget {
//    public:
//     TKappaView(TKappaForm* page, QWidget* parent) : TPageWidget(page, parent) {
//       auto* layout = new QVBoxLayout(Content());   // build the controls into Content()
//       ...
//     }
//    protected:
//     void Refresh() override { ... }                 // read the page model into the controls
//   };
//   // in the view's .cpp, called from RegisterAppPageViews (app/AppPageViews.cpp):
//   void RegisterKappaPageView() {
//     RegisterPageView("TKappaForm", [](TprForm* p, QWidget* w) {
//       return new TKappaView(static_cast<TKappaForm*>(p), w); });
//   }
//
// The main window calls RefreshAll() once the view is built, and the view calls it again each
// time the page model calls Changed(). When the page is released the main window calls
// Release(): Page() becomes nullptr at once and the widget is deleted once the events already
// queued for it have been handled, so handlers check Page() first. Run handler bodies through
// Guard() so that an error shows the default error box instead of crossing the event loop.
#include <QWidget>
#include <functional>

class QLabel;
class TprForm;

class TPageWidget : public QWidget {
  Q_OBJECT
 public:
  TPageWidget(TprForm* page, QWidget* parent);
  ~TPageWidget() override;

  TprForm* Page() const { return Model; }
  QLabel* CaptionLabel() const { return lbCaption; }
  QLabel* NoticeLabel() const { return lbNotice; }
  // Where the derived view puts its controls (below the caption line, the rest of the page).
  QWidget* Content() const { return ContentArea; }

  // Reads the caption line and then the rest of the page (Refresh) from the page model.
  void RefreshAll();
  // The page was released: forget it and go once the queued events are handled.
  void Release();

  static constexpr int CaptionHeight = 18;

 protected:
  // Reads the page model into the controls of the derived view.
  virtual void Refresh() {}
  // Runs a handler body; an error shows the default error box.
  void Guard(const std::function<void()>& action);

 private:
  TprForm* Model;
  QLabel* lbCaption;
  QLabel* lbNotice;
  QWidget* ContentArea;
};

// Gives a widget the caption line look: tool-tip colours, height 18, text vertically centred.
void StyleCaptionLine(QLabel* label);

// The caption-only view of the plain TprForm (an unrecognised module) and the view of the
// computer node's page; called by RegisterAppPageViews.
void RegisterPlainPageView();
void RegisterCompPageView();

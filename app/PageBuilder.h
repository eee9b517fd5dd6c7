#pragma once
// The one builder of page widgets: renders a container's layout description (grids of labels
// and controls, tab controls with their sheets) and binds every control it places.
#include <QLabel>
#include <QWidget>
#include <vector>

#include "app/ControlBinding.h"
#include "app/PageWidget.h"

// Builds the widgets of the container and of everything it holds, binding them in binding.
QWidget* BuildContainerView(TContainer& container, TControlBinding& binding, QWidget* parent);

// A whole page body: the root container of the set with a binding that lives as a child of
// the returned widget.
QWidget* BuildControlsView(TControlSet& set, QWidget* parent, TControlBinding** bindingOut = nullptr);

// The view of a page whose controls are a control set: the controls built under the caption
// line, bound, and brought in line with the model on every refresh. A derived view places
// Body() in Content().
class TControlsPageView : public TPageWidget {
  Q_OBJECT
 public:
  TControlsPageView(TprForm* page, TControlSet& controls, QWidget* parent);
  // The widget of the page's control of that name (nullptr if none, or once the page is gone),
  // for tests and the renderer.
  QWidget* Widget(const char* controlName) const;

 protected:
  void Refresh() override { Binding->SyncAll(); }
  QWidget* Body() const { return Built; }
  TControlBinding* Binding = nullptr;

 private:
  QWidget* Built;
};

// A control named by a label, and what tells it apart from the others the label names (the
// channel over its column, "время" for a second field of a row; empty for none).
struct TLabelledWidget {
  QWidget* Widget;
  QString What;
};

// Names the controls of a label for the accessibility bus (screen readers, automation): the
// label becomes the buddy of the first control it names, and a control that the label alone
// does not tell apart gets the label's text followed by what does ("Выходы: 3"). A control
// with a name of its own (a caption, an icon button's hint) keeps it, with what tells it
// apart added. text is what the label says of them (its own text when empty; the headers of
// a column together, where they stand in several rows). The builder calls this for every row
// it lays out; label may be null.
void NameByLabel(QLabel* label, const std::vector<TLabelledWidget>& controls, QString text = {});

// "Выходы:" and "3" make "Выходы: 3", a text with no colon gets one ("Сброс защелок: 3").
QString JoinedName(const QString& what, const QString& which);

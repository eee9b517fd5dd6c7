#pragma once
// The one builder of page widgets: renders a container's layout description (grids of labels
// and controls, tab controls with their sheets) and binds every control it places.
#include <QWidget>

#include "app/ControlBinding.h"

// Builds the widgets of the container and of everything it holds, binding them in binding.
QWidget* BuildContainerView(TContainer& container, TControlBinding& binding, QWidget* parent);

// A whole page body: the root container of the set with a binding that lives as a child of
// the returned widget.
QWidget* BuildControlsView(TControlSet& set, QWidget* parent, TControlBinding** bindingOut = nullptr);

#pragma once
// Qt views of page models. Each page class registers one factory under its page class name
// ("TCompForm", "TPortForm", "TKappaForm", ...); the main window asks for the view of the page
// a node just showed and places it in its right-hand pane.
#include <QWidget>
#include <functional>
#include <string>

class TprForm;

using TPageViewFactory = std::function<QWidget*(TprForm* page, QWidget* parent)>;

void RegisterPageView(const std::string& pageClassName, TPageViewFactory factory);
// The view for the page (the plain caption-only view when its class registered none).
QWidget* CreatePageView(const std::string& pageClassName, TprForm* page, QWidget* parent);
// The program's one start-up registration: every page class (RegisterPageClasses) and the view
// of each. Called once before the main window is created.
void RegisterAppPageViews();

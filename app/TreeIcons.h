#pragma once
// The three images of the device tree: 0 computer, 1 serial port, 2 module. Each icon shows
// the same picture when its node is selected. Drawn on each call: keep the ones you use.
#include <QIcon>

QIcon TreeIcon(int imageIndex);
// The program's icon (the about box, the window).
QIcon ProgramIcon();

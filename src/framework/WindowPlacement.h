#pragma once

#include <QString>

class QWidget;

namespace zendrel {

class WindowPositions;

// Places a window from its procedure's section of the position file, on the screens of this desktop;
// a window with nothing stored keeps the place its design gives it.
void restorePlacement(QWidget* window, const WindowPositions& positions, const QString& procedure);
// Writes the window's place and size (its normal ones when it is maximized) under its procedure's name.
void savePlacement(const QWidget* window, WindowPositions& positions, const QString& procedure);

} // namespace zendrel

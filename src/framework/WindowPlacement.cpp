#include "framework/WindowPlacement.h"

#include "framework/WindowPositions.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zendrel {

void restorePlacement(QWidget* window, const WindowPositions& positions, const QString& procedure) {
    if (window == nullptr) {
        return;
    }
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->availableGeometry());
    }
    const QScreen* primaryScreen = QGuiApplication::primaryScreen();
    const QRect primary = primaryScreen != nullptr ? primaryScreen->availableGeometry() : QRect();
    if (const auto geometry = positions.restore(procedure, screens, primary)) {
        window->setGeometry(*geometry);
    }
}

void savePlacement(const QWidget* window, WindowPositions& positions, const QString& procedure) {
    if (window == nullptr) {
        return;
    }
    // A maximized or full-screen window is remembered by the size it returns to.
    QRect geometry = window->geometry();
    if (window->isMaximized() || window->isFullScreen()) {
        const QRect normal = window->normalGeometry();
        if (normal.isValid()) {
            geometry = normal;
        }
    }
    positions.save(procedure, geometry);
}

} // namespace zendrel

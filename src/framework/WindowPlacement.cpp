#include "framework/WindowPlacement.h"

#include "framework/WindowPositions.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>
#include <algorithm>

namespace zendrel {

namespace {

// The window that a dialog belongs to on the screen: the first visible one among its owners.
QWidget* visibleOwner(QWidget* window) {
    for (QWidget* p = window->parentWidget(); p != nullptr; p = p->parentWidget()) {
        p = p->window();
        if (p->isVisible() && !p->isMinimized()) {
            return p;
        }
    }
    QWidget* active = QApplication::activeWindow();
    if (active != nullptr && active != window && active->isVisible() && !active->isMinimized()) {
        return active;
    }
    return nullptr;
}

} // namespace

bool restorePlacement(QWidget* window, const WindowPositions& positions, const QString& procedure) {
    if (window == nullptr) {
        return false;
    }
    const auto geometry = positions.stored(procedure);
    if (!geometry) {
        return false;
    }
    const QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
    if (geometry->width() < least.width() || geometry->height() < least.height()) {
        return false;
    }
    const QList<QScreen*> screens = QGuiApplication::screens();
    const bool onScreen = std::any_of(screens.begin(), screens.end(),
                                      [&](const QScreen* s) { return s->availableGeometry().intersects(*geometry); });
    if (!onScreen) {
        return false;
    }
    window->setGeometry(*geometry);
    return true;
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

bool centreOnOwner(QWidget* window) {
    if (window == nullptr) {
        return false;
    }
    const QWidget* owner = visibleOwner(window);
    if (owner == nullptr) {
        return false;
    }
    const QRect over = owner->geometry();
    QRect placed(QPoint(), window->size());
    placed.moveCenter(over.center());
    if (const QScreen* screen = owner->screen()) {
        const QRect room = screen->availableGeometry();
        placed.moveLeft(std::max(room.left(), std::min(placed.left(), room.right() - placed.width() + 1)));
        placed.moveTop(std::max(room.top(), std::min(placed.top(), room.bottom() - placed.height() + 1)));
    }
    window->setGeometry(placed);
    return true;
}

PlacedDialog::PlacedDialog(WindowPositions* positions, const QString& procedure, QWidget* parent)
    : QDialog(parent), m_positions(positions), m_procedure(procedure) {
    setObjectName(procedure);
}

PlacedDialog::~PlacedDialog() {
    if (m_positions && m_shown) {
        savePlacement(this, *m_positions, m_procedure);
    }
}

void PlacedDialog::place() {
    if (m_positions) {
        m_placed = restorePlacement(this, *m_positions, m_procedure);
    }
}

void PlacedDialog::showEvent(QShowEvent* e) {
    if (!e->spontaneous() && !m_shown && !m_placed && isWindow()) {
        // Over the frame, not where the toolkit would put a dialog whose owner is hidden (the corner).
        centreOnOwner(this);
    }
    m_shown = true;
    QDialog::showEvent(e);
}

} // namespace zendrel

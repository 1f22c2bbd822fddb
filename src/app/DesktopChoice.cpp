#include "app/DesktopChoice.h"

#include "platform/NoDisplay.h"
#include "platform/atspi/AtspiTexts.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "platform/x11/QtClipboard.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Keyboard.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

namespace zendrel {

OpenedDesktop openDesktop(bool withKeyboard, const std::vector<std::string>& ownAppIds) {
    OpenedDesktop d;
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    QString lacking;
    if (waylandSession) {
        std::shared_ptr<wayland::WaylandConnection> c = wayland::WaylandConnection::open();
        if (c && c->canSend()) {
            d.kind = DesktopKind::Wayland;
            auto desktop = std::make_unique<wayland::WaylandDesktop>(*c, ownAppIds);
            // What a window shows comes from the accessibility bus; without the bus the contents check fails.
            desktop->setWindowTexts(&atspi::sharedWindowTextSource());
            d.desktop = std::move(desktop);
            if (withKeyboard) {
                d.keyboard = std::make_unique<wayland::WaylandKeyboard>(*c);
            }
            d.owner = c;
            return d;
        }
        lacking = c ? QString::fromStdString(c->missingForSending())
                    : QStringLiteral("a connection to ") + qEnvironmentVariable("WAYLAND_DISPLAY");
    }
    std::shared_ptr<x11::X11Connection> x = x11::X11Connection::open();
    if (x) {
        d.kind = DesktopKind::X11;
        d.desktop = std::make_unique<x11::X11Desktop>(*x);
        if (withKeyboard) {
            d.keyboard = std::make_unique<x11::X11Keyboard>(*x);
        }
        d.owner = x;
        if (waylandSession) {
            d.note = QStringLiteral("This Wayland desktop offers no way to type into its own windows (it lacks %1): "
                                    "Zendrel types into XWayland windows only.")
                         .arg(lacking);
        }
        return d;
    }
    d.desktop = std::make_unique<NoDesktop>();
    if (withKeyboard) {
        d.keyboard = std::make_unique<NoKeyboard>();
    }
    if (waylandSession) {
        d.note = QStringLiteral("This Wayland desktop offers no way to type into its windows (it lacks %1), and "
                                "there is no X display: nothing can be sent.")
                     .arg(lacking);
    }
    return d;
}

std::unique_ptr<Clipboard> openClipboard() {
    if (std::unique_ptr<Clipboard> c = wayland::WaylandClipboard::open()) {
        return c;
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return std::make_unique<x11::QtClipboard>();
    }
    return nullptr;
}

QString desktopKindName(DesktopKind kind) {
    switch (kind) {
    case DesktopKind::Wayland:
        return QStringLiteral("wayland");
    case DesktopKind::X11:
        return QStringLiteral("x11");
    case DesktopKind::None:
        break;
    }
    return QStringLiteral("none");
}

std::vector<std::string> ownApplicationIds() {
    std::vector<std::string> ids;
    if (!QCoreApplication::instance()) {
        return ids;
    }
    // What the toolkit names its windows by: the desktop file's name, else the program file's base name.
    QString desktopFile = QGuiApplication::desktopFileName();
    if (desktopFile.endsWith(QLatin1String(".desktop"))) {
        desktopFile.chop(8);
    }
    if (!desktopFile.isEmpty()) {
        ids.push_back(desktopFile.toStdString());
    }
    ids.push_back(QFileInfo(QCoreApplication::applicationFilePath()).baseName().toStdString());
    return ids;
}

} // namespace zendrel

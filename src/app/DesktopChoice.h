#pragma once

// Which desktop the programs and zendrel-cli type into, chosen at start the same way everywhere: a Wayland
// session whose compositor offers a virtual keyboard and the list of top-level windows is typed into
// natively; otherwise an X display (on a Wayland session that is XWayland, whose windows alone can be
// reached, which the programs say); otherwise none, and sending says that no desktop was found.
#include "platform/Desktop.h"
#include "platform/Keyboard.h"
#include "platform/Shell.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace zendrel {

enum class DesktopKind { Wayland, X11, None };

struct OpenedDesktop {
    DesktopKind kind = DesktopKind::None;
    std::shared_ptr<void> owner;  // the connection and whatever else the two below need
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<Keyboard> keyboard;  // null unless asked for
    // Said once where the user sees it (the status bar) when the choice is not what the session suggests.
    QString note;
};

// Opens the chosen desktop; `withKeyboard` also makes its keyboard. `ownAppIds`: the application ids of the
// calling program's own windows (how a Wayland desktop tells them).
OpenedDesktop openDesktop(bool withKeyboard, const std::vector<std::string>& ownAppIds = {});

// The clipboard, chosen beside the desktop: on a Wayland session whose compositor offers data control, that
// protocol's, so that a copy is made and cleared again while no window of this program has the focus (the
// toolkit's own Wayland clipboard cannot); otherwise the toolkit's, which needs a QGuiApplication. Null when
// there is neither.
std::unique_ptr<Clipboard> openClipboard();

// The backend's name as `zendrel-cli windows` prints it.
QString desktopKindName(DesktopKind kind);

// The application ids a Wayland compositor knows this program's windows by.
std::vector<std::string> ownApplicationIds();

} // namespace zendrel

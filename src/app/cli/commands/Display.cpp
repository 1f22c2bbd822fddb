#include "app/cli/commands/Display.h"

#include "app/cli/Command.h"

#include <cstdio>

namespace zendrel::cli {

OpenedDesktop connectDesktop(bool withKeyboard) {
    OpenedDesktop d = openDesktop(withKeyboard);
    if (d.kind == DesktopKind::None) {
        throw Refusal{QStringLiteral("There is no desktop to type into: no Wayland compositor with a virtual keyboard "
                                     "and a window list (WAYLAND_DISPLAY is \"%1\") and no X display (DISPLAY is "
                                     "\"%2\").")
                          .arg(QString::fromLocal8Bit(qgetenv("WAYLAND_DISPLAY")),
                               QString::fromLocal8Bit(qgetenv("DISPLAY")))};
    }
    if (!d.note.isEmpty()) {
        std::fprintf(stderr, "zendrel-cli: %s\n", qPrintable(d.note));
    }
    return d;
}

} // namespace zendrel::cli

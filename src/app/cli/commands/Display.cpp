#include "app/cli/commands/Display.h"

#include "app/cli/Command.h"

namespace zendrel::cli {

std::unique_ptr<x11::X11Connection> connectDisplay() {
    auto c = x11::X11Connection::open();
    if (!c) {
        throw Refusal{QStringLiteral("There is no X display to work on (DISPLAY is \"%1\").")
                          .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")))};
    }
    return c;
}

} // namespace zendrel::cli

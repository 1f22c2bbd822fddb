#include "app/DisplayServices.h"

#include "platform/NoDisplay.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Keyboard.h"

#include <cstdio>
#include <cstdlib>

namespace zendrel {

SendBackends displayBackends() {
    struct Owned {
        std::unique_ptr<x11::X11Connection> connection;
        std::unique_ptr<Keyboard> keyboard;
        std::unique_ptr<Desktop> desktop;
    };
    auto owned = std::make_shared<Owned>();
    owned->connection = x11::X11Connection::open();
    if (owned->connection) {
        owned->keyboard = std::make_unique<x11::X11Keyboard>(*owned->connection);
        owned->desktop = std::make_unique<x11::X11Desktop>(*owned->connection);
    } else {
        owned->keyboard = std::make_unique<NoKeyboard>();
        owned->desktop = std::make_unique<NoDesktop>();
    }
    return {owned, owned->keyboard.get(), owned->desktop.get()};
}

ThreadDesktop threadDesktop() {
    ThreadDesktop d;
    d.connection = x11::X11Connection::open();
    if (d.connection) {
        d.desktop = std::make_unique<x11::X11Desktop>(*d.connection);
    } else {
        d.desktop = std::make_unique<NoDesktop>();
    }
    return d;
}

TerminateHandler endProgram(const char* program) {
    return [program](const QString& reason) {
        std::fprintf(stderr, "%s: %s\n", program, qPrintable(reason));
        std::exit(1);
    };
}

} // namespace zendrel

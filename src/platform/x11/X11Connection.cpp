#include "platform/x11/X11Connection.h"

#include <X11/Xlib.h>

#include <atomic>
#include <mutex>

namespace zendrel::x11 {

namespace {

std::atomic<unsigned long> g_errors{0};

int recordError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open(const char* name) {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(recordError);
    });
    Display* d = XOpenDisplay(name);
    if (!d) {
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(d));
}

X11Connection::~X11Connection() {
    XCloseDisplay(m_display);
}

void X11Connection::syncNow() {
    XSync(m_display, False);
}

unsigned long X11Connection::errorCount() {
    return g_errors.load();
}

} // namespace zendrel::x11

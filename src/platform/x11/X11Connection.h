#pragma once

#include <memory>
#include <string>

typedef struct _XDisplay Display;

namespace zendrel::x11 {

// A connection to the X server. Protocol errors (a window that closed meanwhile) are caught and counted
// instead of ending the program, as Xlib would by default.
class X11Connection {
public:
    // Connects to the display named (or $DISPLAY); null when there is none.
    static std::unique_ptr<X11Connection> open(const char* name = nullptr);
    ~X11Connection();

    Display* display() const { return m_display; }
    // Runs `f` and reports whether the server answered any of its requests with an error.
    template <class F> bool failsWithError(F&& f) {
        const unsigned long before = errorCount();
        f();
        syncNow();
        return errorCount() != before;
    }
    void syncNow();
    static unsigned long errorCount();

private:
    explicit X11Connection(Display* d) : m_display(d) {}
    Display* m_display;
};

} // namespace zendrel::x11

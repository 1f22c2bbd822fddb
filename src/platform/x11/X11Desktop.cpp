#include "platform/x11/X11Desktop.h"

#include "platform/atspi/AtspiTexts.h"

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <cstdlib>

#include <chrono>
#include <functional>
#include <thread>

namespace zendrel::x11 {

namespace {

// Reads a window property as an array of items; empty when the window or the property is missing.
template <class T> std::vector<T> property(Display* d, Window w, Atom name, Atom type) {
    std::vector<T> out;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, name, 0, 1 << 20, False, type, &actualType, &format, &count, &after, &data) ==
            Success &&
        data) {
        if (actualType == type || type == AnyPropertyType) {
            if (format == 32) {
                const auto* longs = reinterpret_cast<const unsigned long*>(data);
                for (unsigned long i = 0; i < count; ++i) {
                    out.push_back(static_cast<T>(longs[i]));
                }
            } else if (format == 8) {
                for (unsigned long i = 0; i < count; ++i) {
                    out.push_back(static_cast<T>(data[i]));
                }
            }
        }
        XFree(data);
    }
    return out;
}

std::vector<Window> children(Display* d, Window w, Window* parent = nullptr) {
    Window root = 0;
    Window par = 0;
    Window* kids = nullptr;
    unsigned int n = 0;
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &par, &kids, &n)) {
        out.assign(kids, kids + n);
        if (kids) {
            XFree(kids);
        }
    }
    if (parent) {
        *parent = par;
    }
    return out;
}

} // namespace

X11Desktop::X11Desktop(X11Connection& connection, AccessibleTexts* accessible)
    : m_conn(connection), m_accessible(accessible) {}

AccessibleTexts* X11Desktop::defaultAccessibleTexts() {
    return &atspi::sharedAccessibleTexts();
}

unsigned long X11Desktop::atom(const char* name) {
    return XInternAtom(m_conn.display(), name, False);
}

std::string X11Desktop::title(WindowId window) {
    Display* d = m_conn.display();
    const auto utf8 = property<char>(d, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"));
    if (!utf8.empty()) {
        return std::string(utf8.begin(), utf8.end());
    }
    XTextProperty text{};
    std::string out;
    if (XGetWMName(d, window, &text) && text.value) {
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(d, &text, &list, &n) >= Success && list && n > 0) {
            out = list[0];
        } else {
            out.assign(reinterpret_cast<char*>(text.value), text.nitems);
        }
        if (list) {
            XFreeStringList(list);
        }
        XFree(text.value);
    }
    return out;
}

bool X11Desktop::hasWindowManager() {
    Display* d = m_conn.display();
    const auto check = property<Window>(d, DefaultRootWindow(d), atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
    if (check.empty()) {
        return false;
    }
    // The check window names itself too; a stale property of a window manager that ended does not.
    const auto again = property<Window>(d, check.front(), atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
    return !again.empty() && again.front() == check.front();
}

std::vector<std::string> X11Desktop::titles(const std::vector<WindowId>& windows) {
    // All requests go out before the first answer is read: one round trip for any number of windows.
    Display* d = m_conn.display();
    xcb_connection_t* c = XGetXCBConnection(d);
    const xcb_atom_t netName = static_cast<xcb_atom_t>(atom("_NET_WM_NAME"));
    const xcb_atom_t utf8 = static_cast<xcb_atom_t>(atom("UTF8_STRING"));
    std::vector<xcb_get_property_cookie_t> net;
    std::vector<xcb_get_property_cookie_t> plain;
    net.reserve(windows.size());
    plain.reserve(windows.size());
    for (WindowId w : windows) {
        net.push_back(xcb_get_property(c, 0, static_cast<xcb_window_t>(w), netName, utf8, 0, 1024));
        plain.push_back(xcb_get_property(c, 0, static_cast<xcb_window_t>(w), XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024));
    }
    std::vector<std::string> out(windows.size());
    for (size_t i = 0; i < windows.size(); ++i) {
        xcb_get_property_reply_t* r = xcb_get_property_reply(c, net[i], nullptr);
        xcb_get_property_reply_t* p = xcb_get_property_reply(c, plain[i], nullptr);
        if (r && r->type == utf8 && r->format == 8 && xcb_get_property_value_length(r) > 0) {
            out[i].assign(static_cast<const char*>(xcb_get_property_value(r)),
                          static_cast<size_t>(xcb_get_property_value_length(r)));
        } else if (p && p->format == 8 && xcb_get_property_value_length(p) > 0) {
            const auto* v = static_cast<const unsigned char*>(xcb_get_property_value(p));
            const int n = xcb_get_property_value_length(p);
            if (p->type == XCB_ATOM_STRING) {
                // Latin-1 to UTF-8.
                for (int k = 0; k < n; ++k) {
                    if (v[k] < 0x80) {
                        out[i] += static_cast<char>(v[k]);
                    } else {
                        out[i] += static_cast<char>(0xC0 | (v[k] >> 6));
                        out[i] += static_cast<char>(0x80 | (v[k] & 0x3F));
                    }
                }
            } else if (p->type == utf8) {
                out[i].assign(reinterpret_cast<const char*>(v), static_cast<size_t>(n));
            } else {
                out[i] = title(windows[i]);  // compound text: let Xlib convert it
            }
        }
        std::free(r);
        std::free(p);
    }
    return out;
}

std::vector<WindowInfo> X11Desktop::topLevelWindows() {
    Display* d = m_conn.display();
    const Window root = DefaultRootWindow(d);
    std::vector<Window> stack;
    if (hasWindowManager()) {
        stack = property<Window>(d, root, atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
        if (stack.empty()) {
            stack = property<Window>(d, root, atom("_NET_CLIENT_LIST"), XA_WINDOW);
        }
    }
    if (stack.empty()) {
        stack = children(d, root);
    }
    // Both lists run bottom to top; the search wants the front first.
    std::vector<WindowId> ids(stack.rbegin(), stack.rend());
    const std::vector<std::string> names = titles(ids);
    std::vector<WindowInfo> out;
    out.reserve(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        out.push_back({ids[i], names[i]});
    }
    return out;
}

std::vector<WindowInfo> X11Desktop::descendants(WindowId window) {
    std::vector<WindowInfo> out;
    Display* d = m_conn.display();
    std::vector<WindowId> ids;
    std::function<void(Window, int)> walk = [&](Window w, int depth) {
        if (depth > 64) {
            return;
        }
        for (Window c : children(d, w)) {
            ids.push_back(c);
            walk(c, depth + 1);
        }
    };
    walk(window, 0);
    const std::vector<std::string> names = titles(ids);
    for (size_t i = 0; i < ids.size(); ++i) {
        out.push_back({ids[i], names[i]});
    }
    if (m_accessible) {
        const auto pid = property<long>(d, window, atom("_NET_WM_PID"), XA_CARDINAL);
        if (!pid.empty()) {
            // A program that did not answer in time leaves its controls out: the window passes only by
            // its X children this time, and is read again on the next search.
            for (std::string& text : m_accessible->read(pid.front(), title(window)).texts) {
                out.push_back({0, std::move(text)});
            }
        }
    }
    return out;
}

WindowId X11Desktop::focusedWindow() {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_conn.display(), &focus, &revert);
    return focus == PointerRoot ? 0 : focus;
}

bool X11Desktop::isWithin(WindowId window, WindowId ancestor) {
    Display* d = m_conn.display();
    const Window root = DefaultRootWindow(d);
    for (Window w = window; w != 0 && w != root;) {
        if (w == ancestor) {
            return true;
        }
        Window parent = 0;
        children(d, w, &parent);
        w = parent;
    }
    return false;
}

bool X11Desktop::isOwnWindow(WindowId window) {
    Display* d = m_conn.display();
    const Window root = DefaultRootWindow(d);
    const Atom pidAtom = atom("_NET_WM_PID");
    // The focus may sit on a child of a top-level window, or on the frame a window manager put around it.
    for (Window w = window; w != 0 && w != root;) {
        const auto pid = property<long>(d, w, pidAtom, XA_CARDINAL);
        if (!pid.empty()) {
            return pid.front() == static_cast<long>(getpid());
        }
        Window parent = 0;
        children(d, w, &parent);
        w = parent;
    }
    return false;
}

bool X11Desktop::isMinimized(WindowId window) {
    Display* d = m_conn.display();
    const Atom wmState = atom("WM_STATE");
    const auto state = property<long>(d, window, wmState, wmState);
    if (!state.empty() && state.front() == IconicState) {
        return true;
    }
    const Atom hidden = atom("_NET_WM_STATE_HIDDEN");
    for (Atom a : property<Atom>(d, window, atom("_NET_WM_STATE"), XA_ATOM)) {
        if (a == hidden) {
            return true;
        }
    }
    return false;
}

void X11Desktop::activate(WindowId window, bool restore) {
    Display* d = m_conn.display();
    const bool minimized = isMinimized(window);
    if (minimized && !restore) {
        return;
    }
    const Window root = DefaultRootWindow(d);
    const bool managed = hasWindowManager();
    m_conn.failsWithError([&] {
        if (managed) {
            // Source indication 2: the request comes on the user's behalf, like a pager's.
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = window;
            e.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
            e.xclient.format = 32;
            e.xclient.data.l[0] = 2;
            e.xclient.data.l[1] = CurrentTime;
            XSendEvent(d, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
        }
        if (minimized) {
            XMapRaised(d, window);
        }
        XRaiseWindow(d, window);
    });
    // Without a window manager, or when it does not answer, the focus is given directly.
    for (int i = 0; managed && i < 20; ++i) {
        const WindowId f = focusedWindow();
        if (f != 0 && isWithin(f, window)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    focusDirectly(window);
}

bool X11Desktop::focusDirectly(WindowId window) {
    Display* d = m_conn.display();
    XWindowAttributes attrs{};
    if (m_conn.failsWithError([&] { XGetWindowAttributes(d, window, &attrs); }) || attrs.map_state != IsViewable) {
        return false;
    }
    return !m_conn.failsWithError([&] { XSetInputFocus(d, window, RevertToParent, CurrentTime); });
}

} // namespace zendrel::x11

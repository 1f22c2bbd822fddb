#pragma once

#include "platform/AccessibleTexts.h"
#include "platform/Desktop.h"
#include "platform/x11/X11Connection.h"

namespace zendrel::x11 {

// The windows of an X display. With a window manager the top-level windows are its clients in stacking
// order; without one, the children of the root window. Titles come from _NET_WM_NAME, else WM_NAME.
// A window's descendants are its X child windows followed by what its controls show on the accessibility
// bus (its program found by _NET_WM_PID, the window by its title), read by `accessible` unless that is null.
class X11Desktop final : public Desktop {
public:
    explicit X11Desktop(X11Connection& connection, AccessibleTexts* accessible = defaultAccessibleTexts());
    static AccessibleTexts* defaultAccessibleTexts();

    std::vector<WindowInfo> topLevelWindows() override;
    std::vector<WindowInfo> descendants(WindowId window) override;
    WindowId focusedWindow() override;
    bool isWithin(WindowId window, WindowId ancestor) override;
    void activate(WindowId window, bool restore) override;
    bool focusDirectly(WindowId window) override;
    bool isOwnWindow(WindowId window) override;

    bool hasWindowManager();
    bool isMinimized(WindowId window);
    std::string title(WindowId window);
    // The titles of many windows, fetched in one round trip.
    std::vector<std::string> titles(const std::vector<WindowId>& windows);

private:
    unsigned long atom(const char* name);

    X11Connection& m_conn;
    AccessibleTexts* m_accessible;
};

} // namespace zendrel::x11

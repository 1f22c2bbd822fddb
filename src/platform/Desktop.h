#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zendrel {

using WindowId = uint64_t;

struct WindowInfo {
    WindowId id = 0;
    std::string text;  // UTF-8 title, or the text a child window shows
};

// The windows of the desktop.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Top-level windows, front to back, including hidden ones and those without a title.
    virtual std::vector<WindowInfo> topLevelWindows() = 0;
    // Every descendant of a window, at all levels, with its text (blank when it has none).
    virtual std::vector<WindowInfo> descendants(WindowId window) = 0;
    // The window that has the keyboard focus, 0 for none.
    virtual WindowId focusedWindow() = 0;
    // Whether `window` is `ancestor` or lies inside it.
    virtual bool isWithin(WindowId window, WindowId ancestor) = 0;
    // Brings a window to the front and gives it the focus; restores it first when it is minimized and
    // `restore` is set. The result is only a hint: the window manager may refuse.
    virtual void activate(WindowId window, bool restore) = 0;
    // Gives a window the input focus directly, without the window manager (for direct sending).
    virtual bool focusDirectly(WindowId window) = 0;
    // Whether there is a display at all whose windows could be typed into.
    virtual bool available() { return true; }
    // Whether a window (or the top-level window it lies in) belongs to this program itself.
    virtual bool isOwnWindow(WindowId) { return false; }
    // Where the focus goes back to when a window of this program holds it and cannot step aside (a compositor
    // without minimising): the window the user was in before, 0 for none or where the window manager hands
    // the focus on itself.
    virtual WindowId previousWindow() { return 0; }
};

} // namespace zendrel

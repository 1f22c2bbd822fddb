#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zendrel {

// A top-level window as a source of its texts knows it where the window system names no child windows.
struct WindowIdentity {
    std::string title;
    std::string appId;  // the application's id as the window system reports it (may be blank)
};

// What a window shows inside it, read from outside the window system (the accessibility bus). A desktop
// whose windows have no readable children of their own asks one of these for the contents check.
class WindowTextSource {
public:
    virtual ~WindowTextSource() = default;
    // The texts shown in the window, each at most as the window list keeps them; nullopt when they could
    // not be read (no bus, no matching application, no answer in time): then the window does not pass.
    virtual std::optional<std::vector<std::string>> textsOf(const WindowIdentity& window) = 0;
};

} // namespace zendrel

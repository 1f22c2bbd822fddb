#pragma once

#include "platform/Desktop.h"
#include "platform/WindowTextSource.h"
#include "platform/wayland/WaylandConnection.h"

#include <map>
#include <string>
#include <vector>

struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace zendrel::wayland {

// The top-level windows of a wlroots compositor through its foreign-toplevel protocol. The protocol tells
// no stacking order, so the order is the one the user made: the most recently activated window first, then
// the windows never activated, newest first. Child windows are not part of the protocol: their texts come
// from a WindowTextSource when one is set; without it a window has no children, so a contents check never
// passes without having looked.
class WaylandDesktop final : public Desktop {
public:
    // `ownAppIds`: the application ids of this program's own windows.
    WaylandDesktop(WaylandConnection& connection, std::vector<std::string> ownAppIds = {});
    ~WaylandDesktop() override;

    std::vector<WindowInfo> topLevelWindows() override;
    std::vector<WindowInfo> descendants(WindowId window) override;
    WindowId focusedWindow() override;
    bool isWithin(WindowId window, WindowId ancestor) override { return window == ancestor; }
    void activate(WindowId window, bool restore) override;
    // The compositor is the only one to give the focus: this activates, as a window manager would.
    bool focusDirectly(WindowId window) override;
    bool available() override { return m_manager != nullptr; }
    bool isOwnWindow(WindowId window) override;
    // The most recently activated window of another program that is not minimised: sway, for one, cannot
    // minimise, so this program's frame would keep the focus.
    WindowId previousWindow() override;

    // Where the texts inside windows are read from; null for nowhere (the contents check fails closed).
    void setWindowTexts(WindowTextSource* texts) { m_texts = texts; }
    // The application id of a window, blank for none or an unknown window.
    std::string appId(WindowId window);

private:
    struct Toplevel {
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        std::string title;
        std::string appId;
        bool activated = false;
        bool minimized = false;
        uint64_t activatedAt = 0;  // order of the last activation, 0 for never
        uint64_t createdAt = 0;
        // What arrives before the next "done".
        std::string pendingTitle;
        std::string pendingAppId;
        bool pendingActivated = false;
        bool pendingMinimized = false;
    };
    void update();
    Toplevel* find(WindowId window);
    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle);
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1*);

    WaylandConnection& m_conn;
    std::vector<std::string> m_ownAppIds;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    std::map<WindowId, Toplevel> m_toplevels;
    WindowId m_nextId = 0x100;
    uint64_t m_sequence = 0;
    WindowTextSource* m_texts = nullptr;
};

} // namespace zendrel::wayland

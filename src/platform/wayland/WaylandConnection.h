#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_interface;

namespace zendrel::wayland {

// A connection to the Wayland compositor of $WAYLAND_DISPLAY and the globals it offers that typing, the
// window list and the clipboard need. Each user (keyboard, desktop, clipboard) binds what it needs itself,
// so that the events of its objects arrive only after it listens.
class WaylandConnection {
public:
    // Connects; null when there is no Wayland session or the compositor cannot be reached.
    static std::unique_ptr<WaylandConnection> open();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return m_display; }
    wl_seat* seat() const { return m_seat; }
    // Whether the seat has a keyboard now (a seat without input devices has none until a virtual one exists).
    bool seatHasKeyboard() const { return (m_seatCapabilities & 2u) != 0; }

    // Whether the compositor offers a virtual keyboard and the list of top-level windows: what sending needs.
    bool canSend() const { return m_virtualKeyboard.name != 0 && m_toplevels.name != 0; }
    bool hasDataControl() const { return m_dataControl.name != 0; }
    // The globals' names for a message: what the compositor lacks of the two that sending needs.
    std::string missingForSending() const;

    // Binds a global of the three protocols (null when the compositor lacks it), at most at `maxVersion`.
    void* bindVirtualKeyboardManager();
    void* bindToplevelManager(uint32_t maxVersion);
    void* bindDataControlManager(uint32_t maxVersion);

    // Waits until the compositor has handled every request sent so far and every event it sent meanwhile
    // is dispatched. False when the connection is broken.
    bool roundtrip();

private:
    struct Global {
        uint32_t name = 0;
        uint32_t version = 0;
    };
    explicit WaylandConnection(wl_display* d) : m_display(d) {}
    void* bind(const Global& g, const wl_interface* interface, uint32_t maxVersion);
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    static void globalRemove(void* data, wl_registry* registry, uint32_t name);

    wl_display* m_display;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    uint32_t m_seatCapabilities = 0;
    Global m_virtualKeyboard;
    Global m_toplevels;
    Global m_dataControl;
};

} // namespace zendrel::wayland

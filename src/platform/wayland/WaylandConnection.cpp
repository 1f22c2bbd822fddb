#include "platform/wayland/WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zendrel::wayland {

std::unique_ptr<WaylandConnection> WaylandConnection::open() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) {
        return nullptr;
    }
    wl_display* d = wl_display_connect(nullptr);
    if (!d) {
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> c(new WaylandConnection(d));
    static const wl_registry_listener listener = {&WaylandConnection::global, &WaylandConnection::globalRemove};
    c->m_registry = wl_display_get_registry(d);
    wl_registry_add_listener(c->m_registry, &listener, c.get());
    // The globals, then the seat's capabilities.
    if (!c->roundtrip() || !c->roundtrip()) {
        return nullptr;
    }
    return c;
}

WaylandConnection::~WaylandConnection() {
    if (m_seat) {
        wl_seat_destroy(m_seat);
    }
    if (m_registry) {
        wl_registry_destroy(m_registry);
    }
    wl_display_disconnect(m_display);
}

void WaylandConnection::global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                               uint32_t version) {
    auto* c = static_cast<WaylandConnection*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !c->m_seat) {
        // The first seat: the one whose keyboard the user types on.
        c->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
        static const wl_seat_listener seatListener = {
            [](void* data, wl_seat*, uint32_t capabilities) {
                static_cast<WaylandConnection*>(data)->m_seatCapabilities = capabilities;
            },
            [](void*, wl_seat*, const char*) {},
        };
        wl_seat_add_listener(c->m_seat, &seatListener, c);
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        c->m_virtualKeyboard = {name, version};
    } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        c->m_toplevels = {name, version};
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        c->m_dataControl = {name, version};
    }
}

void WaylandConnection::globalRemove(void* data, wl_registry*, uint32_t name) {
    auto* c = static_cast<WaylandConnection*>(data);
    for (Global* g : {&c->m_virtualKeyboard, &c->m_toplevels, &c->m_dataControl}) {
        if (g->name == name) {
            *g = {};
        }
    }
}

std::string WaylandConnection::missingForSending() const {
    std::string missing;
    if (m_virtualKeyboard.name == 0) {
        missing = zwp_virtual_keyboard_manager_v1_interface.name;
    }
    if (m_toplevels.name == 0) {
        missing += (missing.empty() ? "" : ", ");
        missing += zwlr_foreign_toplevel_manager_v1_interface.name;
    }
    return missing;
}

void* WaylandConnection::bind(const Global& g, const wl_interface* interface, uint32_t maxVersion) {
    if (g.name == 0) {
        return nullptr;
    }
    return wl_registry_bind(m_registry, g.name, interface, std::min(g.version, maxVersion));
}

void* WaylandConnection::bindVirtualKeyboardManager() {
    return bind(m_virtualKeyboard, &zwp_virtual_keyboard_manager_v1_interface, 1);
}

void* WaylandConnection::bindToplevelManager(uint32_t maxVersion) {
    return bind(m_toplevels, &zwlr_foreign_toplevel_manager_v1_interface, maxVersion);
}

void* WaylandConnection::bindDataControlManager(uint32_t maxVersion) {
    return bind(m_dataControl, &zwlr_data_control_manager_v1_interface, maxVersion);
}

bool WaylandConnection::roundtrip() {
    return wl_display_roundtrip(m_display) >= 0;
}

} // namespace zendrel::wayland

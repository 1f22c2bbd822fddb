#include "platform/wayland/WaylandDesktop.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace zendrel::wayland {

namespace {

struct HandleContext {
    WaylandDesktop* desktop;
    WindowId id;
};

bool hasState(wl_array* states, uint32_t wanted) {
    const auto* s = static_cast<const uint32_t*>(states->data);
    const size_t n = states->size / sizeof(uint32_t);
    return std::find(s, s + n, wanted) != s + n;
}

} // namespace

WaylandDesktop::WaylandDesktop(WaylandConnection& connection, std::vector<std::string> ownAppIds)
    : m_conn(connection), m_ownAppIds(std::move(ownAppIds)) {
    m_manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(m_conn.bindToplevelManager(3));
    if (!m_manager) {
        return;
    }
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {&WaylandDesktop::toplevel,
                                                                       &WaylandDesktop::finished};
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &listener, this);
    // The windows that exist now, each with its first state.
    m_conn.roundtrip();
    m_conn.roundtrip();
}

WaylandDesktop::~WaylandDesktop() {
    for (auto& [id, t] : m_toplevels) {
        delete static_cast<HandleContext*>(zwlr_foreign_toplevel_handle_v1_get_user_data(t.handle));
        zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
    }
    if (m_manager) {
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    }
    wl_display_flush(m_conn.display());
}

void WaylandDesktop::finished(void* data, zwlr_foreign_toplevel_manager_v1*) {
    auto* self = static_cast<WaylandDesktop*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(self->m_manager);
    self->m_manager = nullptr;
}

void WaylandDesktop::toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* self = static_cast<WaylandDesktop*>(data);
    const WindowId id = self->m_nextId++;
    Toplevel& t = self->m_toplevels[id];
    t.handle = handle;
    t.createdAt = ++self->m_sequence;
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        // title
        [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
            auto* c = static_cast<HandleContext*>(data);
            if (Toplevel* t = c->desktop->find(c->id)) {
                t->pendingTitle = title ? title : "";
            }
        },
        // app_id
        [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
            auto* c = static_cast<HandleContext*>(data);
            if (Toplevel* t = c->desktop->find(c->id)) {
                t->pendingAppId = appId ? appId : "";
            }
        },
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
        // state
        [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
            auto* c = static_cast<HandleContext*>(data);
            if (Toplevel* t = c->desktop->find(c->id)) {
                t->pendingActivated = hasState(states, ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED);
                t->pendingMinimized = hasState(states, ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED);
            }
        },
        // done: the changes since the last one hold together
        [](void* data, zwlr_foreign_toplevel_handle_v1*) {
            auto* c = static_cast<HandleContext*>(data);
            WaylandDesktop* d = c->desktop;
            if (Toplevel* t = d->find(c->id)) {
                if (t->pendingActivated && !t->activated) {
                    t->activatedAt = ++d->m_sequence;
                }
                t->title = t->pendingTitle;
                t->appId = t->pendingAppId;
                t->activated = t->pendingActivated;
                t->minimized = t->pendingMinimized;
            }
        },
        // closed
        [](void* data, zwlr_foreign_toplevel_handle_v1* handle) {
            auto* c = static_cast<HandleContext*>(data);
            c->desktop->m_toplevels.erase(c->id);
            zwlr_foreign_toplevel_handle_v1_destroy(handle);
            delete c;
        },
        // parent (version 3)
        [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
    };
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, new HandleContext{self, id});
}

WaylandDesktop::Toplevel* WaylandDesktop::find(WindowId window) {
    const auto it = m_toplevels.find(window);
    return it == m_toplevels.end() ? nullptr : &it->second;
}

void WaylandDesktop::update() {
    if (m_manager) {
        m_conn.roundtrip();
    }
}

std::vector<WindowInfo> WaylandDesktop::topLevelWindows() {
    update();
    std::vector<std::pair<const Toplevel*, WindowId>> order;
    order.reserve(m_toplevels.size());
    for (const auto& [id, t] : m_toplevels) {
        order.emplace_back(&t, id);
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        if (a.first->activatedAt != b.first->activatedAt) {
            return a.first->activatedAt > b.first->activatedAt;
        }
        return a.first->createdAt > b.first->createdAt;
    });
    std::vector<WindowInfo> windows;
    windows.reserve(order.size());
    for (const auto& [t, id] : order) {
        windows.push_back({id, t->title});
    }
    return windows;
}

std::vector<WindowInfo> WaylandDesktop::descendants(WindowId window) {
    std::vector<WindowInfo> children;
    const Toplevel* t = find(window);
    if (!t || !m_texts) {
        return children;
    }
    if (const auto texts = m_texts->textsOf({t->title, t->appId})) {
        for (const std::string& text : *texts) {
            children.push_back({window, text});
        }
    }
    return children;
}

WindowId WaylandDesktop::focusedWindow() {
    update();
    WindowId focused = 0;
    uint64_t latest = 0;
    for (const auto& [id, t] : m_toplevels) {
        if (t.activated && t.activatedAt >= latest) {
            focused = id;
            latest = t.activatedAt;
        }
    }
    return focused;
}

void WaylandDesktop::activate(WindowId window, bool restore) {
    Toplevel* t = find(window);
    if (!t || !m_conn.seat()) {
        return;
    }
    if (restore && t->minimized) {
        zwlr_foreign_toplevel_handle_v1_unset_minimized(t->handle);
    }
    zwlr_foreign_toplevel_handle_v1_activate(t->handle, m_conn.seat());
    m_conn.roundtrip();
}

bool WaylandDesktop::focusDirectly(WindowId window) {
    if (!find(window)) {
        return false;
    }
    activate(window, false);
    return true;
}

bool WaylandDesktop::isOwnWindow(WindowId window) {
    const Toplevel* t = find(window);
    return t && !t->appId.empty() &&
           std::find(m_ownAppIds.begin(), m_ownAppIds.end(), t->appId) != m_ownAppIds.end();
}

WindowId WaylandDesktop::previousWindow() {
    for (const WindowInfo& w : topLevelWindows()) {
        const Toplevel* t = find(w.id);
        if (t && !t->minimized && !isOwnWindow(w.id)) {
            return w.id;
        }
    }
    return 0;
}

std::string WaylandDesktop::appId(WindowId window) {
    const Toplevel* t = find(window);
    return t ? t->appId : std::string();
}

} // namespace zendrel::wayland

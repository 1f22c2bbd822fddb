#include "platform/atspi/AtspiTexts.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zendrel::atspi {

namespace {

constexpr long kTextLength = 254;
constexpr const char* kBusName = "org.a11y.Bus";
constexpr const char* kBusPath = "/org/a11y/bus";
constexpr const char* kStatus = "org.a11y.Status";

std::mutex& lock() {
    static std::mutex m;
    return m;
}

// Asks the session bus's accessibility service whether toolkits are to describe their windows and, when
// they are not, switches it on. False when there is no session bus or no accessibility service on it.
bool switchOnAccessibility() {
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !*session) {
        return false;  // no session bus: never let libdbus start one
    }
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* c = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!c) {
        dbus_error_free(&error);
        return false;
    }
    dbus_connection_set_exit_on_disconnect(c, FALSE);
    bool found = false;
    bool enabled = false;
    DBusMessage* get = dbus_message_new_method_call(kBusName, kBusPath, DBUS_INTERFACE_PROPERTIES, "Get");
    const char* iface = kStatus;
    const char* property = "IsEnabled";
    dbus_message_append_args(get, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &property, DBUS_TYPE_INVALID);
    if (DBusMessage* reply = dbus_connection_send_with_reply_and_block(c, get, 2000, &error)) {
        DBusMessageIter it;
        DBusMessageIter variant;
        if (dbus_message_iter_init(reply, &it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT) {
            dbus_message_iter_recurse(&it, &variant);
            if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_BOOLEAN) {
                dbus_bool_t value = FALSE;
                dbus_message_iter_get_basic(&variant, &value);
                found = true;
                enabled = value;
            }
        }
        dbus_message_unref(reply);
    }
    dbus_error_free(&error);
    dbus_message_unref(get);
    if (found && !enabled) {
        DBusMessage* set = dbus_message_new_method_call(kBusName, kBusPath, DBUS_INTERFACE_PROPERTIES, "Set");
        DBusMessageIter it;
        DBusMessageIter variant;
        dbus_message_iter_init_append(set, &it);
        dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &iface);
        dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &property);
        dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, DBUS_TYPE_BOOLEAN_AS_STRING, &variant);
        const dbus_bool_t on = TRUE;
        dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &on);
        dbus_message_iter_close_container(&it, &variant);
        dbus_error_init(&error);
        if (DBusMessage* reply = dbus_connection_send_with_reply_and_block(c, set, 2000, &error)) {
            dbus_message_unref(reply);
        }
        dbus_error_free(&error);
        dbus_message_unref(set);
    }
    dbus_connection_close(c);
    dbus_connection_unref(c);
    return found;
}

GMainContext* g_context = nullptr;

// The bus, looked for once per process (under the lock).
bool connected() {
    static const bool bus = [] {
        if (!switchOnAccessibility()) {
            return false;
        }
        if (atspi_init() > 1 || !atspi_get_a11y_bus()) {
            return false;
        }
        // libatspi hands its connections to the process's default main loop; that loop belongs to the
        // thread that runs the windows, while readings may come from any thread. They get a loop of their
        // own instead, run at the start of each reading.
        g_context = g_main_context_new();
        atspi_set_main_context(g_context);
        return true;
    }();
    return bus;
}

// Takes in what the bus sent since the last reading: programs that came and went, and the answers that tell
// libatspi that a program it found hung answers again.
void catchUp() {
    for (int i = 0; i < 10000 && g_main_context_iteration(g_context, FALSE); ++i) {
    }
}

using Steady = std::chrono::steady_clock;

// One reading: every call to the program gets only the time left, so that one that hangs costs at most
// the limit.
class Walk {
public:
    Walk(const TextLimits& limits, AccessibleReading& out)
        : m_limits(limits), m_out(out), m_deadline(Steady::now() + std::chrono::milliseconds(limits.timeLimitMs)) {}

    // Arms the next call; false when the time is up.
    bool arm() {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Steady::now()).count();
        if (left <= 0) {
            m_out.timedOut = true;
            return false;
        }
        atspi_set_timeout(static_cast<int>(left), static_cast<int>(left));
        return true;
    }
    // After a call that failed: whether it failed by running out of time.
    bool late(GError*& error) {
        const bool failed = error != nullptr;
        g_clear_error(&error);
        if (failed && Steady::now() >= m_deadline) {
            m_out.timedOut = true;
        }
        return m_out.timedOut;
    }
    // After a call to the program itself about its windows: any failure means it does not answer (libatspi
    // fails the calls to a program at once while it counts it as hung).
    bool unanswered(GError*& error) {
        if (error) {
            m_out.timedOut = true;
        }
        g_clear_error(&error);
        return m_out.timedOut;
    }

    void add(gchar* text) {
        if (text && *text) {
            if (g_utf8_validate(text, -1, nullptr)) {
                const char* end = g_utf8_strlen(text, -1) > kTextLength ? g_utf8_offset_to_pointer(text, kTextLength)
                                                                        : text + std::strlen(text);
                m_out.texts.emplace_back(static_cast<const char*>(text), end);
            }
        }
        g_free(text);
    }

    // The window's descendants, depth first, in tree order.
    void descend(AtspiAccessible* node, int depth) {
        GError* error = nullptr;
        if (depth > m_limits.maxDepth || !arm()) {
            return;
        }
        const int count = atspi_accessible_get_child_count(node, &error);
        if (late(error)) {
            return;
        }
        for (int i = 0; i < count && m_nodes < m_limits.maxNodes; ++i) {
            if (!arm()) {
                return;
            }
            AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, &error);
            if (late(error) || !child) {
                if (child) {
                    g_object_unref(child);
                }
                if (m_out.timedOut) {
                    return;
                }
                continue;
            }
            ++m_nodes;
            readNode(child);
            if (!m_out.timedOut) {
                descend(child, depth + 1);
            }
            g_object_unref(child);
            if (m_out.timedOut) {
                return;
            }
        }
    }

private:
    void readNode(AtspiAccessible* node) {
        GError* error = nullptr;
        if (!arm()) {
            return;
        }
        gchar* name = atspi_accessible_get_name(node, &error);
        if (late(error)) {
            g_free(name);
            return;
        }
        const std::string named = name ? name : "";
        add(name);
        if (!arm()) {
            return;
        }
        add(atspi_accessible_get_description(node, &error));
        if (late(error) || !arm()) {
            return;
        }
        if (AtspiText* text = atspi_accessible_get_text_iface(node)) {
            if (arm()) {
                const int length = atspi_text_get_character_count(text, &error);
                if (!late(error) && length > 0 && arm()) {
                    gchar* shown = atspi_text_get_text(text, 0, std::min<long>(length, kTextLength), &error);
                    if (late(error) || (shown && named == shown)) {
                        g_free(shown);  // a label's text is its name: listed once
                    } else {
                        add(shown);
                    }
                }
            }
            g_object_unref(text);
        }
    }

    const TextLimits& m_limits;
    AccessibleReading& m_out;
    Steady::time_point m_deadline;
    int m_nodes = 0;
};

} // namespace

bool AtspiTexts::busAvailable() {
    const std::lock_guard<std::mutex> hold(lock());
    return connected();
}

AccessibleReading AtspiTexts::read(int64_t pid, const std::string& title) {
    AccessibleReading out;
    if (pid <= 0 || pid == static_cast<int64_t>(getpid())) {
        return out;  // this program would have to answer itself while it waits
    }
    const std::lock_guard<std::mutex> hold(lock());
    if (!connected()) {
        return out;
    }
    catchUp();
    Walk walk(m_limits, out);
    GError* error = nullptr;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) {
        return out;
    }
    // The programs on the bus come and go: ask the registry afresh.
    atspi_accessible_clear_cache(desktop);
    const int programs = walk.arm() ? atspi_accessible_get_child_count(desktop, &error) : 0;
    walk.late(error);
    bool found = false;
    for (int i = 0; i < programs && !found && !out.timedOut; ++i) {
        if (!walk.arm()) {
            break;
        }
        AtspiAccessible* program = atspi_accessible_get_child_at_index(desktop, i, &error);
        if (walk.late(error) || !program) {
            if (program) {
                g_object_unref(program);
            }
            continue;
        }
        // The process id comes from the bus itself, not from the program.
        const guint owner = walk.arm() ? atspi_accessible_get_process_id(program, &error) : 0;
        g_clear_error(&error);
        if (static_cast<int64_t>(owner) == pid) {
            // What the program shows may have changed since the last reading.
            atspi_accessible_clear_cache(program);
            const int windows = walk.arm() ? atspi_accessible_get_child_count(program, &error) : 0;
            walk.unanswered(error);
            for (int k = 0; k < windows && !found && !out.timedOut; ++k) {
                if (!walk.arm()) {
                    break;
                }
                AtspiAccessible* window = atspi_accessible_get_child_at_index(program, k, &error);
                if (walk.unanswered(error) || !window) {
                    if (window) {
                        g_object_unref(window);
                    }
                    continue;
                }
                gchar* name = walk.arm() ? atspi_accessible_get_name(window, &error) : nullptr;
                walk.unanswered(error);
                const bool titled = name && title == name;
                g_free(name);
                if (titled) {
                    walk.descend(window, 1);
                    found = true;
                }
                g_object_unref(window);
            }
        }
        g_object_unref(program);
    }
    g_object_unref(desktop);
    if (out.timedOut) {
        out.texts.clear();
    }
    return out;
}

AccessibleTexts& sharedAccessibleTexts() {
    static AtspiTexts texts;
    return texts;
}

} // namespace zendrel::atspi

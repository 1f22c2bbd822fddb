#include "platform/atspi/AtspiTexts.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
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

// The session bus, kept once the accessibility service was found on it: it tells which process owns a name.
DBusConnection* g_session = nullptr;

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
    if (found) {
        g_session = c;
    } else {
        dbus_connection_close(c);
        dbus_connection_unref(c);
    }
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
    // An object on the bus: the connection that owns it and its path; what a reading learns about it.
    struct Node {
        std::string owner;
        std::string path;
        int depth = 0;
        std::string name;
        std::string description;
        int32_t characters = 0;
        std::string text;
    };

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

    // The programs on the bus other than this one, in the registry's order, each with its process id as the
    // bus itself tells it (not the program); `visit(program, pid)` returns true to stop.
    template <class Visit> void programs(Visit visit) {
        GError* error = nullptr;
        AtspiAccessible* desktop = atspi_get_desktop(0);
        if (!desktop) {
            return;
        }
        // The programs on the bus come and go: ask the registry afresh.
        atspi_accessible_clear_cache(desktop);
        const int count = arm() ? atspi_accessible_get_child_count(desktop, &error) : 0;
        late(error);
        bool stop = false;
        for (int i = 0; i < count && !stop && !m_out.timedOut; ++i) {
            if (!arm()) {
                break;
            }
            AtspiAccessible* program = atspi_accessible_get_child_at_index(desktop, i, &error);
            if (late(error) || !program) {
                if (program) {
                    g_object_unref(program);
                }
                continue;
            }
            const guint owner = arm() ? atspi_accessible_get_process_id(program, &error) : 0;
            g_clear_error(&error);
            if (owner != 0 && static_cast<pid_t>(owner) != getpid()) {
                stop = visit(program, static_cast<int64_t>(owner));
            }
            g_object_unref(program);
        }
        g_object_unref(desktop);
    }

    // The object a program's accessible stands for.
    static Node nodeOf(AtspiAccessible* accessible) {
        AtspiObject* object = ATSPI_OBJECT(accessible);
        Node n;
        if (object->app && object->app->bus_name && object->path) {
            n.owner = object->app->bus_name;
            n.path = object->path;
        }
        return n;
    }

    // The top-level windows titled exactly `title` of the given programs: every program is asked at once,
    // then every window's name at once.
    std::vector<Node> windowsTitled(const std::vector<Node>& programs, const std::string& title) {
        DBusConnection* bus = atspi_get_a11y_bus();
        std::vector<Node> asked;
        std::copy_if(programs.begin(), programs.end(), std::back_inserter(asked),
                     [](const Node& p) { return !p.owner.empty() && !p.path.empty(); });
        const std::vector<Node> windows = childrenOf(bus, asked, 0);
        std::vector<DBusPendingCall*> names;
        for (const Node& w : windows) {
            names.push_back(property(bus, w, "org.a11y.atspi.Accessible", "Name"));
        }
        std::vector<Node> titled;
        for (size_t i = 0; i < windows.size(); ++i) {
            if (stringOf(answer(names[i])) == title) {
                titled.push_back(windows[i]);
            }
        }
        return titled;
    }

    // The program's name on the bus; blank when it does not say.
    std::string nameOf(AtspiAccessible* program) {
        GError* error = nullptr;
        gchar* name = arm() ? atspi_accessible_get_name(program, &error) : nullptr;
        unanswered(error);
        std::string out = name ? name : "";
        g_free(name);
        return out;
    }

    // Which process owns a name on the session bus (asked of the bus, not of a program); 0 for none.
    int64_t ownerOf(const std::string& busName) {
        if (!g_session || busName.empty() || busName.front() == ':' ||
            !dbus_validate_bus_name(busName.c_str(), nullptr)) {
            return 0;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Steady::now()).count();
        if (left <= 0) {
            return 0;
        }
        DBusMessage* m = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                                      "GetConnectionUnixProcessID");
        const char* name = busName.c_str();
        dbus_message_append_args(m, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
        DBusError error;
        dbus_error_init(&error);
        dbus_uint32_t pid = 0;
        if (DBusMessage* reply = dbus_connection_send_with_reply_and_block(g_session, m, static_cast<int>(left), &error)) {
            if (!dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &pid, DBUS_TYPE_INVALID)) {
                pid = 0;
            }
            dbus_message_unref(reply);
        }
        dbus_error_free(&error);
        dbus_message_unref(m);
        return pid;
    }

    // Reads the window titled `title` of the programs: the first such window, or with `onlyOne` the window
    // only when there is no other. What a reading cut off by the time limit found is left out.
    void readWindow(const std::vector<Node>& programs, const std::string& title, bool onlyOne) {
        const std::vector<Node> windows = programs.empty() ? programs : windowsTitled(programs, title);
        if (!windows.empty() && (!onlyOne || windows.size() == 1) && !m_out.timedOut) {
            descend(windows.front());
            m_out.found = true;
        }
        if (m_out.timedOut) {
            m_out.texts.clear();
            m_out.found = false;
        }
    }

    // The window's descendants, level by level. All questions about one level go out before the first
    // answer is awaited, so a reading costs one round trip per level rather than several per control.
    void descend(const Node& window) {
        if (window.owner.empty() || window.path.empty()) {
            return;
        }
        DBusConnection* bus = atspi_get_a11y_bus();
        std::vector<Node> nodes;
        std::vector<size_t> level;
        std::vector<Node> next = childrenOf(bus, std::vector<Node>{window}, 1);
        while (!next.empty() && !m_out.timedOut) {
            level.clear();
            for (Node& n : next) {
                if (static_cast<int>(nodes.size()) >= m_limits.maxNodes) {
                    break;
                }
                level.push_back(nodes.size());
                nodes.push_back(std::move(n));
            }
            std::vector<Node> current;
            for (size_t i : level) {
                current.push_back(nodes[i]);
            }
            readLevel(bus, current);
            for (size_t k = 0; k < level.size(); ++k) {
                nodes[level[k]] = std::move(current[k]);
            }
            next.clear();
            if (static_cast<int>(nodes.size()) < m_limits.maxNodes && !m_out.timedOut) {
                std::vector<Node> parents;
                for (size_t i : level) {
                    if (nodes[i].depth < m_limits.maxDepth) {
                        parents.push_back(nodes[i]);
                    }
                }
                next = childrenOf(bus, parents, nodes[level.front()].depth + 1);
            }
        }
        // Level by level; within a level in the order of the parents.
        for (Node& n : nodes) {
            add(n.name);
            add(n.description);
            if (n.text != n.name) {
                add(n.text);  // a label's text is its name: listed once
            }
        }
    }

private:
    std::vector<Node> childrenOf(DBusConnection* bus, const std::vector<Node>& parents, int depth) {
        std::vector<DBusPendingCall*> calls;
        for (const Node& p : parents) {
            calls.push_back(ask(bus, p, "org.a11y.atspi.Accessible", "GetChildren"));
        }
        std::vector<Node> out;
        for (DBusPendingCall* call : calls) {
            DBusMessage* reply = answer(call);
            DBusMessageIter it;
            DBusMessageIter array;
            if (reply && dbus_message_iter_init(reply, &it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_ARRAY) {
                dbus_message_iter_recurse(&it, &array);
                while (dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRUCT) {
                    DBusMessageIter ref;
                    dbus_message_iter_recurse(&array, &ref);
                    const char* owner = nullptr;
                    const char* path = nullptr;
                    dbus_message_iter_get_basic(&ref, &owner);
                    dbus_message_iter_next(&ref);
                    dbus_message_iter_get_basic(&ref, &path);
                    if (owner && *owner && path && std::strcmp(path, "/org/a11y/atspi/null") != 0) {
                        Node n;
                        n.owner = owner;
                        n.path = path;
                        n.depth = depth;
                        out.push_back(std::move(n));
                    }
                    dbus_message_iter_next(&array);
                }
            }
            if (reply) {
                dbus_message_unref(reply);
            }
        }
        return out;
    }

    void readLevel(DBusConnection* bus, std::vector<Node>& level) {
        std::vector<DBusPendingCall*> calls;
        for (const Node& n : level) {
            calls.push_back(property(bus, n, "org.a11y.atspi.Accessible", "Name"));
            calls.push_back(property(bus, n, "org.a11y.atspi.Accessible", "Description"));
            calls.push_back(property(bus, n, "org.a11y.atspi.Text", "CharacterCount"));
        }
        for (size_t i = 0; i < level.size(); ++i) {
            level[i].name = stringOf(answer(calls[3 * i]));
            level[i].description = stringOf(answer(calls[3 * i + 1]));
            level[i].characters = countOf(answer(calls[3 * i + 2]));
        }
        // The text itself, up to what the list keeps, of the controls that have one. A text as long as the
        // control's name is taken to be the name (labels and buttons show their name): not asked for.
        std::vector<std::pair<size_t, DBusPendingCall*>> texts;
        for (size_t i = 0; i < level.size() && !m_out.timedOut; ++i) {
            if (level[i].characters > 0 &&
                level[i].characters != g_utf8_strlen(level[i].name.c_str(), static_cast<gssize>(level[i].name.size()))) {
                const dbus_int32_t from = 0;
                const dbus_int32_t to = std::min<dbus_int32_t>(level[i].characters, kTextLength);
                DBusMessage* m = dbus_message_new_method_call(level[i].owner.c_str(), level[i].path.c_str(),
                                                              "org.a11y.atspi.Text", "GetText");
                dbus_message_append_args(m, DBUS_TYPE_INT32, &from, DBUS_TYPE_INT32, &to, DBUS_TYPE_INVALID);
                texts.emplace_back(i, send(bus, m));
            }
        }
        for (auto& [i, call] : texts) {
            DBusMessage* reply = answer(call);
            const char* text = nullptr;
            if (reply && dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) && text) {
                level[i].text = text;
            }
            if (reply) {
                dbus_message_unref(reply);
            }
        }
    }

    // Sends a question with the time that is left; null when the time is up.
    DBusPendingCall* send(DBusConnection* bus, DBusMessage* m) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Steady::now()).count();
        DBusPendingCall* call = nullptr;
        if (left > 0 && !m_out.timedOut) {
            dbus_connection_send_with_reply(bus, m, &call, static_cast<int>(left));
        } else {
            m_out.timedOut = true;
        }
        dbus_message_unref(m);
        return call;
    }
    DBusPendingCall* ask(DBusConnection* bus, const Node& n, const char* iface, const char* method) {
        return send(bus, dbus_message_new_method_call(n.owner.c_str(), n.path.c_str(), iface, method));
    }
    DBusPendingCall* property(DBusConnection* bus, const Node& n, const char* iface, const char* name) {
        DBusMessage* m = dbus_message_new_method_call(n.owner.c_str(), n.path.c_str(), DBUS_INTERFACE_PROPERTIES, "Get");
        dbus_message_append_args(m, DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
        return send(bus, m);
    }
    // The answer to a question, or null for an error; a question left unanswered at its time limit makes
    // the whole reading fail.
    DBusMessage* answer(DBusPendingCall* call) {
        if (!call) {
            return nullptr;
        }
        dbus_pending_call_block(call);
        DBusMessage* reply = dbus_pending_call_steal_reply(call);
        dbus_pending_call_unref(call);
        if (reply && dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR) {
            if (std::strcmp(dbus_message_get_error_name(reply), DBUS_ERROR_NO_REPLY) == 0 ||
                Steady::now() >= m_deadline) {
                m_out.timedOut = true;
            }
            dbus_message_unref(reply);
            return nullptr;
        }
        return reply;
    }
    // A property's value: a text, or a whole number.
    static bool variant(DBusMessage* reply, int type, DBusMessageIter& value) {
        DBusMessageIter it;
        if (!reply || !dbus_message_iter_init(reply, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT) {
            return false;
        }
        dbus_message_iter_recurse(&it, &value);
        return dbus_message_iter_get_arg_type(&value) == type;
    }
    static std::string stringOf(DBusMessage* reply) {
        DBusMessageIter value;
        std::string out;
        if (variant(reply, DBUS_TYPE_STRING, value)) {
            const char* s = nullptr;
            dbus_message_iter_get_basic(&value, &s);
            out = s ? s : "";
        }
        if (reply) {
            dbus_message_unref(reply);
        }
        return out;
    }
    static int32_t countOf(DBusMessage* reply) {
        DBusMessageIter value;
        dbus_int32_t n = 0;
        if (variant(reply, DBUS_TYPE_INT32, value)) {
            dbus_message_iter_get_basic(&value, &n);
        }
        if (reply) {
            dbus_message_unref(reply);
        }
        return n;
    }

    void add(const std::string& text) {
        if (text.empty() || !g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
            return;
        }
        const char* begin = text.c_str();
        const char* end = g_utf8_strlen(begin, -1) > kTextLength ? g_utf8_offset_to_pointer(begin, kTextLength)
                                                                 : begin + text.size();
        m_out.texts.emplace_back(begin, end);
    }

    const TextLimits& m_limits;
    AccessibleReading& m_out;
    Steady::time_point m_deadline;
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
    std::vector<Walk::Node> program;
    walk.programs([&](AtspiAccessible* accessible, int64_t owner) {
        if (owner == pid) {
            program.push_back(Walk::nodeOf(accessible));
        }
        return !program.empty();
    });
    walk.readWindow(program, title, false);
    return out;
}

namespace {

std::string folded(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        c = g_ascii_tolower(c);
    }
    return out;
}

// Whether a program known by `name` is what the window system calls `appId`: the same name in any case,
// or the last part of a reverse-domain id ("org.example.Editor" for "editor").
bool sameProgram(const std::string& appId, const std::string& name) {
    if (name.empty()) {
        return false;
    }
    const std::string id = folded(appId);
    const std::string other = folded(name);
    if (id == other) {
        return true;
    }
    const size_t dot = id.rfind('.');
    return dot != std::string::npos && dot + 1 < id.size() && id.compare(dot + 1, std::string::npos, other) == 0;
}

// The file name of the program a process runs; blank when it cannot be seen.
std::string executableOf(int64_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%lld/exe", static_cast<long long>(pid));
    char target[4096];
    const ssize_t n = readlink(path, target, sizeof target - 1);
    if (n <= 0) {
        return {};
    }
    std::string exe(target, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
        exe.resize(exe.size() - deleted.size());
    }
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? exe : exe.substr(slash + 1);
}

} // namespace

AccessibleReading AtspiTexts::readTitled(const WindowIdentity& window) {
    AccessibleReading out;
    if (window.title.empty()) {
        return out;  // untitled windows cannot be told apart by title
    }
    const std::lock_guard<std::mutex> hold(lock());
    if (!connected()) {
        return out;
    }
    catchUp();
    Walk walk(m_limits, out);
    // The programs the id names (every program when there is none); the others are not asked about their
    // windows at all.
    const int64_t owner = window.appId.empty() ? 0 : walk.ownerOf(window.appId);
    std::vector<Walk::Node> programs;
    walk.programs([&](AtspiAccessible* program, int64_t pid) {
        if (window.appId.empty() || pid == owner || sameProgram(window.appId, executableOf(pid)) ||
            sameProgram(window.appId, walk.nameOf(program))) {
            programs.push_back(Walk::nodeOf(program));
        }
        return false;
    });
    // Two windows of the title, of two programs or of one, could each be the one the window system means:
    // neither is read.
    walk.readWindow(programs, window.title, true);
    return out;
}

std::optional<std::vector<std::string>> AtspiTexts::textsOf(const WindowIdentity& window) {
    AccessibleReading r = readTitled(window);
    if (!r.found) {
        return std::nullopt;
    }
    return std::move(r.texts);
}

namespace {

AtspiTexts& shared() {
    static AtspiTexts texts;
    return texts;
}

} // namespace

AccessibleTexts& sharedAccessibleTexts() {
    return shared();
}

WindowTextSource& sharedWindowTextSource() {
    return shared();
}

} // namespace zendrel::atspi

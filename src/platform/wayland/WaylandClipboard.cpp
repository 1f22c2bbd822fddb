#include "platform/wayland/WaylandClipboard.h"

#include "base/Secrets.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zendrel::wayland {

namespace {

constexpr const char* kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "TEXT", "STRING"};
constexpr const char* kSecretHint = "x-kde-passwordManagerHint";
// How long a paste from the clipboard's owner may take.
constexpr int kReadTimeoutMs = 2000;

void writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
}

} // namespace

// A copy of ours on offer: what a paste gets, until another copy replaces it or the clipboard ends.
struct WaylandClipboard::Source {
    WaylandClipboard* owner;
    zwlr_data_control_source_v1* proxy;
    std::string text;
    bool secret = false;
    ~Source() {
        zwlr_data_control_source_v1_destroy(proxy);
        wipe(text);
    }
};

struct WaylandClipboard::Offer {
    zwlr_data_control_offer_v1* offer = nullptr;
    std::vector<std::string> types;
};

std::unique_ptr<WaylandClipboard> WaylandClipboard::open() {
    auto connection = WaylandConnection::open();
    if (!connection || !connection->hasDataControl() || !connection->seat()) {
        return nullptr;
    }
    std::unique_ptr<WaylandClipboard> c(new WaylandClipboard(std::move(connection)));
    if (!c->m_device) {
        return nullptr;
    }
    return c;
}

WaylandClipboard::WaylandClipboard(std::unique_ptr<WaylandConnection> connection) : m_conn(std::move(connection)) {
    // A paster that closes its end early must not end this program.
    signal(SIGPIPE, SIG_IGN);
    m_manager = static_cast<zwlr_data_control_manager_v1*>(m_conn->bindDataControlManager(2));
    if (!m_manager) {
        return;
    }
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_conn->seat());
    static const zwlr_data_control_device_v1_listener deviceListener = {
        // data_offer: a new offer, its types follow
        [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            auto* o = new Offer{offer, {}};
            static const zwlr_data_control_offer_v1_listener offerListener = {
                [](void* data, zwlr_data_control_offer_v1*, const char* type) {
                    static_cast<Offer*>(data)->types.emplace_back(type);
                },
            };
            zwlr_data_control_offer_v1_add_listener(offer, &offerListener, o);
        },
        // selection: the clipboard changed
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            auto* self = static_cast<WaylandClipboard*>(data);
            if (self->m_selection) {
                zwlr_data_control_offer_v1_destroy(self->m_selection->offer);
                delete self->m_selection;
            }
            self->m_selection = offer ? static_cast<Offer*>(zwlr_data_control_offer_v1_get_user_data(offer)) : nullptr;
            ++self->m_changes;
        },
        // finished: the seat is gone
        [](void* data, zwlr_data_control_device_v1* device) {
            auto* self = static_cast<WaylandClipboard*>(data);
            zwlr_data_control_device_v1_destroy(device);
            self->m_device = nullptr;
        },
        // primary_selection (version 2): not the clipboard; its offer is let go
        [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
            if (offer) {
                delete static_cast<Offer*>(zwlr_data_control_offer_v1_get_user_data(offer));
                zwlr_data_control_offer_v1_destroy(offer);
            }
        },
    };
    zwlr_data_control_device_v1_add_listener(m_device, &deviceListener, this);
    m_conn->roundtrip();
    m_conn->roundtrip();
    m_changes = 0;
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

WaylandClipboard::~WaylandClipboard() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        wake();
        m_thread.join();
    }
    if (m_selection) {
        zwlr_data_control_offer_v1_destroy(m_selection->offer);
        delete m_selection;
    }
    for (Source* source : m_sources) {
        delete source;
    }
    if (m_device) {
        zwlr_data_control_device_v1_destroy(m_device);
    }
    if (m_manager) {
        zwlr_data_control_manager_v1_destroy(m_manager);
    }
    if (m_wake >= 0) {
        close(m_wake);
    }
}

void WaylandClipboard::wake() {
    const uint64_t one = 1;
    (void)!write(m_wake, &one, sizeof one);
}

void WaylandClipboard::run() {
    wl_display* d = m_conn->display();
    for (;;) {
        while (wl_display_prepare_read(d) != 0) {
            wl_display_dispatch_pending(d);
        }
        wl_display_flush(d);
        pollfd fds[2] = {{wl_display_get_fd(d), POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            wl_display_cancel_read(d);
            break;
        }
        if (fds[0].revents & POLLIN) {
            wl_display_read_events(d);
        } else {
            wl_display_cancel_read(d);
        }
        const bool broken = wl_display_dispatch_pending(d) < 0 || (fds[0].revents & (POLLERR | POLLHUP));
        std::vector<std::function<void()>> tasks;
        bool stop = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            uint64_t count = 0;
            (void)!read(m_wake, &count, sizeof count);
            tasks.swap(m_tasks);
            stop = m_stop;
        }
        for (auto& task : tasks) {
            if (!broken) {
                task();
            }
            wl_display_flush(d);
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_finished;
        }
        m_done.notify_all();
        if (stop) {
            break;
        }
        if (broken) {
            // The compositor went away: tasks still coming are answered as done, with nothing done.
            std::unique_lock<std::mutex> lock(m_mutex);
            while (!m_stop) {
                m_finished += m_tasks.size();
                m_tasks.clear();
                m_done.notify_all();
                lock.unlock();
                pollfd w{m_wake, POLLIN, 0};
                poll(&w, 1, -1);
                uint64_t count = 0;
                (void)!read(m_wake, &count, sizeof count);
                lock.lock();
            }
            break;
        }
    }
}

void WaylandClipboard::onThread(const std::function<void()>& task) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_stop) {
        return;
    }
    m_tasks.push_back(task);
    const uint64_t ticket = ++m_queued;
    wake();
    m_done.wait(lock, [&] { return m_finished >= ticket || m_stop; });
}

std::string WaylandClipboard::text() {
    int readEnd = -1;
    onThread([&] {
        if (!m_selection) {
            return;
        }
        const auto& types = m_selection->types;
        for (const char* type : kTextTypes) {
            if (std::find(types.begin(), types.end(), type) == types.end()) {
                continue;
            }
            int fds[2];
            if (pipe2(fds, O_CLOEXEC) != 0) {
                return;
            }
            zwlr_data_control_offer_v1_receive(m_selection->offer, type, fds[1]);
            close(fds[1]);
            readEnd = fds[0];
            return;
        }
    });
    std::string text;
    if (readEnd < 0) {
        return text;
    }
    // Read here, not on the clipboard's thread: when this program owns the clipboard, that thread writes it.
    char buffer[4096];
    for (;;) {
        pollfd p{readEnd, POLLIN, 0};
        if (poll(&p, 1, kReadTimeoutMs) <= 0) {
            break;
        }
        const ssize_t n = read(readEnd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    close(readEnd);
    return text;
}

void WaylandClipboard::setText(const std::string& text, bool secret) {
    onThread([&] {
        if (!m_device) {
            return;
        }
        zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(m_manager);
        static const zwlr_data_control_source_v1_listener sourceListener = {
            // send: a paste
            [](void* data, zwlr_data_control_source_v1*, const char* type, int32_t fd) {
                const auto* s = static_cast<Source*>(data);
                if (std::string(type) == kSecretHint) {
                    writeAll(fd, "secret");
                } else {
                    writeAll(fd, s->text);
                }
                close(fd);
            },
            // cancelled: another copy replaced ours
            [](void* data, zwlr_data_control_source_v1*) {
                auto* s = static_cast<Source*>(data);
                auto& live = s->owner->m_sources;
                live.erase(std::remove(live.begin(), live.end(), s), live.end());
                delete s;
            },
        };
        m_sources.push_back(new Source{this, source, text, secret});
        zwlr_data_control_source_v1_add_listener(source, &sourceListener, m_sources.back());
        for (const char* type : kTextTypes) {
            zwlr_data_control_source_v1_offer(source, type);
        }
        if (secret) {
            zwlr_data_control_source_v1_offer(source, kSecretHint);
        }
        zwlr_data_control_device_v1_set_selection(m_device, source);
        // The selection event for the new source arrives before this returns, as on X11.
        m_conn->roundtrip();
    });
}

} // namespace zendrel::wayland

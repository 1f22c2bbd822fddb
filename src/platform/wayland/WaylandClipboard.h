#pragma once

#include "platform/Shell.h"
#include "platform/wayland/WaylandConnection.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace zendrel::wayland {

// The clipboard through the compositor's data-control protocol, which works whether or not a window of this
// program has the focus (clearing it after a while must work while the user is elsewhere). A thread of its
// own answers other programs' pastes for as long as this program owns the clipboard; every request of the
// other threads is carried out on it. A secret copy carries "x-kde-passwordManagerHint: secret".
class WaylandClipboard final : public Clipboard {
public:
    // Null when there is no Wayland session or its compositor lacks the protocol.
    static std::unique_ptr<WaylandClipboard> open();
    ~WaylandClipboard() override;

    std::string text() override;
    void setText(const std::string& text, bool secret) override;
    uint64_t changeCount() override { return m_changes.load(); }

private:
    struct Offer;
    struct Source;
    explicit WaylandClipboard(std::unique_ptr<WaylandConnection> connection);
    void run();
    // Runs `task` on the clipboard's thread and waits for it.
    void onThread(const std::function<void()>& task);
    void wake();

    std::unique_ptr<WaylandConnection> m_conn;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    zwlr_data_control_device_v1* m_device = nullptr;
    Offer* m_selection = nullptr;  // the clipboard's current offer, on the thread only
    std::vector<Source*> m_sources;  // our copies other programs may still paste, on the thread only
    std::atomic<uint64_t> m_changes{0};
    int m_wake = -1;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::vector<std::function<void()>> m_tasks;
    uint64_t m_finished = 0;
    uint64_t m_queued = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace zendrel::wayland

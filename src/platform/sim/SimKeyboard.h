#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Keyboard.h"

#include <functional>
#include <string>
#include <vector>

namespace zendrel::sim {

class SimDesktop;

// A keyboard after the Windows model: characters map to virtual keys as on a US layout, and a non-letter
// is typed with Shift exactly when it is one of the 21 shifted characters. Every key event is recorded
// with the time and the window that had the focus, and the events render into the text a US-layout
// application would receive.
class SimKeyboard final : public Keyboard {
public:
    struct Event {
        int vk;
        bool down;
        int64_t time;     // monotonic hundredths of the clock
        WindowId window;  // focused window at the time, 0 without a desktop
        bool caps;        // Caps Lock after the event
    };

    explicit SimKeyboard(Clock* clock = nullptr, SimDesktop* desktop = nullptr);

    void keyDown(int virtualKey) override;
    void keyUp(int virtualKey) override;
    bool capsLockOn() override { return m_caps; }
    bool typeCharacter(char32_t c) override;
    bool waitForModifiersReleased(int timeoutMs) override;

    void setCapsLock(bool on) { m_caps = on; }
    // Modifiers the "user" holds; they stay held for the given virtual milliseconds of waiting.
    void holdModifiersFor(int64_t hundredths) { m_heldUntil = (m_clock ? m_clock->monotonic() : 0) + hundredths; }
    // Calls back after the n-th event, to change the desktop in the middle of typing.
    void onEvent(size_t n, std::function<void()> action) { m_triggers.push_back({n, std::move(action)}); }

    const std::vector<Event>& events() const { return m_events; }
    void clear() { m_events.clear(); }
    // The text received, as a US-layout application renders the events; keys that make no character
    // appear as <Name>, chords as <Ctrl+Shift+C>.
    std::string text() const { return render(0, false); }
    std::string textReceivedBy(WindowId window) const { return render(window, true); }
    // "Dn16 Dn65 Up65 Up16" style listing of the events.
    std::string trace() const;

    // The Windows model's virtual key of a character (low byte of its key scan), 255 when there is none.
    static int virtualKeyOf(char32_t c);
    static bool isShiftedCharacter(char32_t c);

private:
    std::string render(WindowId window, bool filter) const;
    void record(int vk, bool down);

    Clock* m_clock;
    SimDesktop* m_desktop;
    bool m_caps = false;
    int64_t m_heldUntil = -1;
    std::vector<Event> m_events;
    std::vector<std::pair<size_t, std::function<void()>>> m_triggers;
};

} // namespace zendrel::sim

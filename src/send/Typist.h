#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Keyboard.h"
#include "send/SendPlan.h"
#include "send/SendText.h"

#include <atomic>
#include <functional>

namespace zendrel {

struct SendSettings {
    int groupSize = 7;      // ZD_BS: most characters typed in one group
    int64_t interval = 50;  // ZD_GD: hundredths of a second between groups
    // Set when the program is closing: waits end and typing stops at once.
    const std::atomic<bool>* cancel = nullptr;
};

// Turns an expanded send text into keystrokes: the group interpreter for ordinary sending and the
// direct typer for "Direct Send".
class Typist {
public:
    Typist(Keyboard& keyboard, Clock& clock, SendSettings settings);

    // Called before every group, token and character; typing stops as soon as it says no (the focus
    // left the window being typed into).
    void setGuard(std::function<bool()> guard) { m_guard = std::move(guard); }

    // Returns after at least n hundredths of a second, across midnight too.
    void waitHundredths(int64_t n);
    // Presses and releases one key code with the modifiers its bits name, in the documented order.
    void pressKey(int code);
    // Types each character as one keystroke. False when the guard stopped it.
    bool typeCharacters(const QString& text);
    // Types an expanded send text into the window that has the focus, by the group interpreter's plan.
    // False when the guard stopped it.
    bool typeSendText(const ExpandedText& text);
    // Carries out the steps of a plan. False when the guard stopped it.
    bool run(const std::vector<SendStep>& steps);
    // The characters of the last text that the keyboard could not type, by their place among the
    // characters typed (1 for the first); empty when every one was typed.
    const std::vector<qsizetype>& untypable() const { return m_untypable; }
    // Whether the last text stopped because the user kept holding Shift, Ctrl, Alt or Super.
    bool modifiersHeld() const { return m_modifiersHeld; }

    // How long a modifier the user holds is waited for before a group or a key, in milliseconds.
    static constexpr int kModifierWaitMs = 3000;
    // The direct typer: no groups, no interval; repeat counts such as [Tab 3]; a token must close within
    // 33 characters. focusMode 0 leaves the focus, 1 gives it to the window, 2 also gives it back.
    bool directSendText(Desktop& desktop, WindowId window, const ExpandedText& text, int focusMode);

private:
    bool guard();
    // Runs a plan between the keyboard's preparation for its characters and its finish.
    bool runPrepared(const std::vector<SendStep>& steps);

    Keyboard& m_keyboard;
    Clock& m_clock;
    SendSettings m_settings;
    std::function<bool()> m_guard;
    bool m_stopped = false;
    bool m_modifiersHeld = false;
    qsizetype m_typed = 0;
    std::vector<qsizetype> m_untypable;
};

} // namespace zendrel

#pragma once

#include "base/MessageService.h"
#include "platform/Shell.h"
#include "send/Typist.h"
#include "send/WindowFinder.h"

namespace zendrel {

// One text to type into one window.
struct SendRequest {
    QString title;     // title rule; blank or "~..." for the window that has the focus
    QString contents;  // text a child of the window must show; blank for none
    ExpandedText text;
    bool direct = false;
};

enum class SendOutcome {
    Sent,
    NoWindow,       // no window matches the title
    FocusRefused,   // the window was found but the keyboard focus could not be brought into it
    ModifiersHeld,  // the user kept holding Shift, Ctrl, Alt or Super
    Stopped,        // the focus left the window while typing
    NoDisplay,      // there is no display to type into
    Untypable,      // some characters of the text could not be typed on this keyboard
};

// Locates, activates and types, never into a window other than the one located: after activation the
// focus must have reached the window, and typing stops when it leaves.
class Sender {
public:
    Sender(Keyboard& keyboard, Desktop& desktop, Clock& clock, SendSettings settings);

    SendOutcome send(const SendRequest& request, Activation variant);
    // Types into an already located window (the monitor's second look at a window).
    SendOutcome sendTo(WindowId window, const SendRequest& request, Activation variant);
    // After an Untypable outcome: the characters that could not be typed, by their place in the text.
    const std::vector<qsizetype>& untypable() const { return m_untypable; }

    // How long activation may take to bring the focus in, and how long a held modifier is waited for.
    static constexpr int64_t kFocusWait = 100;  // hundredths
    // How long a send into the focused window waits for the focus to leave the program's own windows.
    static constexpr int64_t kOwnFocusWait = 300;  // hundredths
    static constexpr int kModifierWaitMs = Typist::kModifierWaitMs;

private:
    // Types with the guard on `window`; direct sending only into a window located by its title.
    SendOutcome typeInto(WindowId window, const SendRequest& request, bool located);
    // A blank or "~" title: the window focused once the program's own windows have let the focus go.
    SendOutcome typeIntoFocused(const SendRequest& request);

    std::vector<qsizetype> m_untypable;
    Keyboard& m_keyboard;
    Desktop& m_desktop;
    Clock& m_clock;
    SendSettings m_settings;
};

// The message for an outcome other than Sent, titled "Cannot Send"; `untypable` names the characters that
// could not be typed, by their place in the text.
QString cannotSendText(SendOutcome outcome, const QString& title, const std::vector<qsizetype>& untypable = {});

// Starts the program or document of an entry without waiting for it. Nothing is started for a blank
// name, one that begins with a control character, or (unless `startNotApplicable`) "N/A". A failure is
// the "Critical Error Message". Returns whether something was started.
bool startEntryProgram(const QString& filename, Shell& shell, MessageService& messages, bool startNotApplicable = false);

} // namespace zendrel

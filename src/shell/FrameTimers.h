#pragma once

#include "platform/Clock.h"
#include "base/ClipboardFilter.h"
#include "platform/Shell.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace zendrel {

// The main frame's timed duties, apart from sending: clearing the clipboard a number of seconds after it
// last changed, the inactivity deadline that starts the automatic close down, and the texts of the status
// bar. Deadlines are instants of the day-and-time clock, so one missed across midnight or while the
// machine slept fires at the next tick.
class FrameTimers {
public:
    FrameTimers(Clock& clock, Clipboard& clipboard);

    // A new time counts from now.
    void setClearSeconds(int64_t seconds);
    void setInactivityMinutes(int64_t minutes);
    // Called on every user input in any window of the program.
    void userActivity();

    struct MonitorState {
        bool on = false;
        QStringList users;  // users whose password lists are open, in order
    };
    // One tick of the frame's timer. `startCountdown` is called when the inactivity deadline passes.
    void tick(const MonitorState& monitor, const std::function<void()>& startCountdown);

    // Status bar: field 2 (countdowns, monitor), field 3 (weekday and date), field 4 (time).
    QString countdownText() const { return m_field2; }
    QString dateText() const { return m_field3; }
    QString timeText() const { return m_field4; }

    // On closing: the clipboard is left holding a harmless text when clearing is on.
    void closing();

    static const QString& dayNames();

private:
    Clock& m_clock;
    Clipboard& m_clipboard;
    int64_t m_clearSeconds = 0;
    int64_t m_inactivityMinutes = 0;
    QString m_savedText;
    uint64_t m_seenChanges = 0;
    int64_t m_clearDeadline = 0;
    int64_t m_inactivityDeadline = 0;
    QString m_field2;
    QString m_field3;
    QString m_field4;
};


// The countdown of the "Automatic Close Down" window: ten seconds from its opening.
class CloseDownCountdown {
public:
    explicit CloseDownCountdown(Clock& clock) : m_clock(clock), m_deadline(clock.now() + 1000) {}
    // The line under the question: "10 Seconds." at first, then the seconds left.
    QString line() const;
    bool expired() const { return m_clock.now() > m_deadline; }
    void tick() { m_ticked = true; }

private:
    Clock& m_clock;
    int64_t m_deadline;
    bool m_ticked = false;
};

} // namespace zendrel

#include "shell/FrameTimers.h"

#include "base/Dates.h"

namespace zendrel {

FrameTimers::FrameTimers(Clock& clock, Clipboard& clipboard) : m_clock(clock), m_clipboard(clipboard) {
    m_seenChanges = m_clipboard.changeCount();
    m_savedText = QString::fromStdString(m_clipboard.text()).left(1000);
}

const QString& FrameTimers::dayNames() {
    static const QString names = QStringLiteral("Sunday   Monday   Tuesday  WednesdayThursday Friday   Saturday ");
    return names;
}

void FrameTimers::setClearSeconds(int64_t seconds) {
    seconds = std::max<int64_t>(seconds, 0);
    if (seconds != m_clearSeconds) {
        m_clearSeconds = seconds;
        m_clearDeadline = 0;
    }
}

void FrameTimers::setInactivityMinutes(int64_t minutes) {
    m_inactivityMinutes = std::max<int64_t>(minutes, 0);
    userActivity();
}

void FrameTimers::userActivity() {
    m_inactivityDeadline = m_inactivityMinutes > 0 ? m_clock.now() + m_inactivityMinutes * 6000 : 0;
}

void FrameTimers::tick(const MonitorState& monitor, const std::function<void()>& startCountdown) {
    const int64_t now = m_clock.now();
    const int32_t today = m_clock.today();
    QString day = dayNames().mid((today % 7) * 9, 9);
    while (day.endsWith(QLatin1Char(' '))) {
        day.chop(1);
    }
    m_field3 = day + QStringLiteral(", ") + longDate(today);
    m_field4 = shortTime(m_clock.clock());
    m_field2.clear();

    if (m_clearSeconds > 0) {
        const int64_t c = m_clearSeconds * 100;
        const QString text = QString::fromStdString(m_clipboard.text()).left(1000);
        const uint64_t changes = m_clipboard.changeCount();
        // Any change restarts the count, whatever it put there.
        if (text != m_savedText || changes != m_seenChanges || m_clearDeadline == 0) {
            m_clearDeadline = now + c;
            m_savedText = text;
            m_seenChanges = changes;
        }
        if (now > m_clearDeadline) {
            m_clipboard.setText(std::string(), false);
            m_seenChanges = m_clipboard.changeCount();
            m_savedText.clear();
            m_clearDeadline = now + c;
        }
        if (!m_savedText.trimmed().isEmpty()) {
            m_field2 = QString::number((m_clearDeadline - now) / 100) + QStringLiteral(" seconds to clipboard clear");
        }
    }

    if (m_inactivityMinutes > 0) {
        if (m_inactivityDeadline == 0) {
            userActivity();
        }
        if (now > m_inactivityDeadline) {
            m_inactivityDeadline = now + m_inactivityMinutes * 6000;
            if (startCountdown) {
                startCountdown();
            }
        }
        m_field2 = QString::number((m_inactivityDeadline - now) / 100) + QStringLiteral(" seconds to shutdown");
    }

    if (m_field2.isEmpty()) {
        if (!monitor.on) {
            m_field2 = QStringLiteral("Monitor Off");
        } else if (!monitor.users.isEmpty()) {
            m_field2 = QStringLiteral("Monitoring ") + monitor.users.first().trimmed();
            if (monitor.users.size() > 1) {
                m_field2 += QStringLiteral(", ") + monitor.users.at(1).trimmed();
            }
        }
    }
}

void FrameTimers::closing() {
    if (m_clearSeconds > 0) {
        m_clipboard.setText("Cleared by Zendrel.", false);
    }
}


QString CloseDownCountdown::line() const {
    if (!m_ticked) {
        return QStringLiteral("10 Seconds.");
    }
    return QString::number(std::max<int64_t>(m_deadline - m_clock.now(), 0) / 100) + QStringLiteral(" seconds.");
}

} // namespace zendrel

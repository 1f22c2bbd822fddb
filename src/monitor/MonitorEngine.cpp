#include "monitor/MonitorEngine.h"

#include <algorithm>

namespace zendrel {

namespace {

constexpr int64_t kYear = int64_t{kHundredthsPerDay} * 366;

bool blank(const QString& s) {
    return fitText(s, 0).isEmpty();
}

} // namespace

MonitorEngine::MonitorEngine(EngineProgram program, DataStore& store, Keyboard& keyboard, Desktop& desktop,
                             Clock& clock, SendSettings settings, Callbacks callbacks)
    : m_program(program), m_store(store), m_keyboard(keyboard), m_desktop(desktop), m_clock(clock),
      m_settings(settings), m_callbacks(std::move(callbacks)) {}

MonitorEngine::~MonitorEngine() {
    clear();
}

int64_t MonitorEngine::repeatInterval(int64_t doNotRepeatSeconds) {
    // Computed in 64 bits; a negative value means "send once", a huge one is kept within a year.
    return std::clamp<int64_t>(doNotRepeatSeconds, 0, kYear / 100) * 100;
}

void MonitorEngine::notifyEmpty(bool before) {
    if (before != m_rows.empty() && m_callbacks.queueEmptyChanged) {
        m_callbacks.queueEmptyChanged(m_rows.empty());
    }
}

void MonitorEngine::insertRow(MonitorRow row) {
    const bool before = m_rows.empty();
    auto at = std::upper_bound(m_rows.begin(), m_rows.end(), row, [](const MonitorRow& a, const MonitorRow& b) {
        return a.windowTitle.compare(b.windowTitle, Qt::CaseInsensitive) < 0;
    });
    m_rows.insert(at, std::move(row));
    notifyEmpty(before);
}

void MonitorEngine::removeRow(size_t index) {
    const bool before = m_rows.empty();
    // The text holds a password: it is overwritten before the row goes.
    m_rows[index].pushText.wipe();
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
    notifyEmpty(before);
}

void MonitorEngine::clear() {
    const bool before = m_rows.empty();
    for (auto& r : m_rows) {
        r.pushText.wipe();
    }
    m_rows.clear();
    notifyEmpty(before);
}

void MonitorEngine::removeUserRows(const QString& user) {
    for (size_t i = m_rows.size(); i-- > 0;) {
        if (!m_rows[i].immediate && m_rows[i].user.compare(user, Qt::CaseInsensitive) == 0) {
            removeRow(i);
        }
    }
}

void MonitorEngine::queueEntryForSend(const PasswordRecord& entry) {
    MonitorRow row;
    row.windowTitle = fitText(entry.windowTitleToLocate, width::kWindowTitle);
    row.windowContents = fitText(entry.windowContents, width::kWindowContents);
    row.pushText = expandSendText(entry.paste, entry);
    // The wait runs on a clock that knows no midnight: a Send queued just before it still waits its seconds.
    row.dontCheckBefore = m_clock.monotonic() + int64_t{entry.secondsToWait} * 100;
    row.immediate = true;
    row.directSend = entry.directSend != 0;
    row.service = fitText(entry.service, width::kService);
    if (m_callbacks.minimize) {
        m_callbacks.minimize();
    }
    insertRow(std::move(row));
    if (!m_monitorOn) {
        // A Send goes at once with the monitor off, in either program; the monitor program's watched rows
        // stay as they are meanwhile.
        m_sendRequested = true;
        runSendPass(true);
    }
}

void MonitorEngine::loadMonitoredEntries(const QString& user) {
    Table<PasswordRecord> entries(m_store);
    KeyRange range;
    range.prefix = {user, int64_t{1}};
    const int64_t now = m_clock.monotonic();
    for (const PasswordRecord& e : entries.read(QStringLiteral("P_:KeyMonitor"), range)) {
        MonitorRow row;
        row.user = fitText(user, width::kUserName);
        row.windowTitle = fitText(e.windowTitleToLocate, width::kWindowTitle);
        row.windowContents = fitText(e.windowContents, width::kWindowContents);
        row.pushText = expandSendText(e.paste, e);
        row.dontCheckBefore = now + int64_t{e.secondsToWait} * 100;
        row.interval = repeatInterval(e.doNotRepeatSeconds);
        row.directSend = e.directSend != 0;
        row.secondsToWait = m_program == EngineProgram::Monitor ? e.secondsToWait : 0;
        row.service = fitText(e.service, width::kService);
        insertRow(std::move(row));
    }
}

void MonitorEngine::selectUser(const QString& user) {
    clear();
    m_users.clear();
    if (!blank(user)) {
        loadMonitoredEntries(user);
    }
}

void MonitorEngine::userOpened(const QString& user) {
    UserMark& m = m_users[fitText(user, width::kUserName).toCaseFolded()];
    m.name = fitText(user, width::kUserName);
    m.status = m.openLists == 0 && m.status != 'D' ? 'A' : 'C';
    ++m.openLists;
}

void MonitorEngine::userChanged(const QString& user) {
    auto it = m_users.find(fitText(user, width::kUserName).toCaseFolded());
    if (it != m_users.end() && it->second.openLists > 0) {
        it->second.status = 'C';
    }
}

void MonitorEngine::userClosed(const QString& user) {
    auto it = m_users.find(fitText(user, width::kUserName).toCaseFolded());
    if (it == m_users.end()) {
        return;
    }
    // A user stays monitored while another of his password lists is open.
    if (--it->second.openLists <= 0) {
        it->second.openLists = 0;
        it->second.status = 'D';
    }
}

void MonitorEngine::processUserList() {
    for (auto it = m_users.begin(); it != m_users.end();) {
        const QString user = it->second.name;
        switch (it->second.status) {
        case 'A':
            if (m_monitorOn) {
                loadMonitoredEntries(user);
            }
            break;
        case 'C':
            removeUserRows(user);
            if (m_monitorOn) {
                loadMonitoredEntries(user);
            }
            break;
        case 'D':
            removeUserRows(user);
            it = m_users.erase(it);
            continue;
        default:
            break;
        }
        it->second.status = ' ';
        ++it;
    }
}

void MonitorEngine::setMonitorOn(bool on) {
    if (m_program == EngineProgram::Monitor) {
        m_monitorOn = on;
        return;
    }
    // Switching empties the list; switching on loads every open list's entries afresh.
    clear();
    m_monitorOn = on;
    if (on) {
        for (auto& [user, mark] : m_users) {
            mark.status = 'A';
        }
        processUserList();
    }
}

bool MonitorEngine::isDue(const MonitorRow& row) const {
    return m_clock.monotonic() >= row.dontCheckBefore;
}

const std::vector<WindowInfo>& MonitorEngine::windows() {
    if (!m_windowsValid) {
        m_windows = m_desktop.topLevelWindows();
        m_windowsValid = true;
    }
    return m_windows;
}

void MonitorEngine::tick() {
    if (!m_rows.empty() && (m_monitorOn || m_sendRequested)) {
        runSendPass(m_sendRequested);
    }
}

void MonitorEngine::sendQueuedEntry(size_t index, WindowId window) {
    MonitorRow& row = m_rows[index];
    const Activation variant = m_program == EngineProgram::Main ? Activation::Main : Activation::Monitor;
    SendOutcome outcome;
    std::vector<qsizetype> untypable;
    {
        // The request shares the row's text; it is gone before the row may be wiped.
        Sender sender(m_keyboard, m_desktop, m_clock, m_settings);
        const SendRequest request{row.windowTitle, row.windowContents, row.pushText, row.directSend};
        outcome = sender.sendTo(window, request, variant);
        untypable = sender.untypable();
    }
    windowsChanged();
    const bool incomplete = outcome == SendOutcome::FocusRefused || outcome == SendOutcome::ModifiersHeld ||
                            (outcome == SendOutcome::Stopped && !row.immediate);
    if (incomplete) {
        // Nothing, or not all, was typed: a watched entry stays, also one typed only once (interval 0). The
        // window is tried again later, not on every pass: each try would take the focus from whatever the
        // user is doing.
        row.dontCheckBefore = m_clock.monotonic() + std::max<int64_t>(row.interval + 50, 500);
        return;
    }
    if (outcome == SendOutcome::Untypable && m_callbacks.message) {
        // Typing it again would leave the same holes: said once, and the entry goes on as sent.
        m_callbacks.message(QStringLiteral("Cannot Send"), cannotSendText(outcome, row.windowTitle, untypable));
    }
    if (outcome == SendOutcome::Sent && m_callbacks.sent) {
        QString title;
        for (const WindowInfo& w : m_desktop.topLevelWindows()) {
            if (w.id == window) {
                title = QString::fromStdString(w.text);
            }
        }
        m_callbacks.sent(row, title);
    }
    if (row.interval == 0 || row.immediate) {
        removeRow(index);
    } else {
        row.dontCheckBefore = m_clock.monotonic() + row.interval + 50;
    }
}

void MonitorEngine::runSendPass(bool requested) {
    if (m_inPass || m_rows.empty() || (!m_monitorOn && !requested)) {
        return;
    }
    m_inPass = true;
    windowsChanged();
    const Activation variant = m_program == EngineProgram::Main ? Activation::Main : Activation::Monitor;

    // Sweep 1, from the last row to the first: rows queued by Send.
    for (size_t i = m_rows.size(); i-- > 0;) {
        if (i >= m_rows.size()) {
            continue;
        }
        MonitorRow& row = m_rows[i];
        if (!m_monitorOn && requested && !row.immediate && m_program == EngineProgram::Main) {
            removeRow(i);
            continue;
        }
        if (!row.immediate || !isDue(row)) {
            continue;
        }
        if (cancelled()) {
            break;
        }
        // A one-off Send with a blank or "~" title types into the focused window, as it always has.
        Sender sender(m_keyboard, m_desktop, m_clock, m_settings);
        const SendOutcome outcome =
            sender.send({row.windowTitle, row.windowContents, row.pushText, row.directSend}, variant);
        windowsChanged();
        if (outcome != SendOutcome::Sent) {
            if (m_callbacks.message) {
                m_callbacks.message(QStringLiteral("Cannot Send"),
                                    cannotSendText(outcome, row.windowTitle, sender.untypable()));
            }
        } else if (m_callbacks.sent) {
            m_callbacks.sent(row, row.windowTitle);
        }
        removeRow(i);
    }

    // Sweep 2: monitored rows, typed only into a window located by its title, and only while the monitor is on.
    WindowFinder finder(m_desktop);
    for (size_t i = m_monitorOn ? m_rows.size() : 0; i-- > 0;) {
        if (i >= m_rows.size()) {
            continue;
        }
        const MonitorRow& row = m_rows[i];
        if (row.immediate || !isDue(row) || blank(row.windowTitle) || row.windowTitle.startsWith(QLatin1Char('~'))) {
            continue;
        }
        const Located found = finder.find(row.windowTitle, row.windowContents, windows());
        if (!found.found()) {
            continue;
        }
        if (cancelled()) {
            break;
        }
        if (row.secondsToWait > 0) {
            // The monitor program lets the window settle, then makes sure it is still the same one.
            const int64_t until = m_clock.monotonic() + row.secondsToWait * 100;
            while (m_clock.monotonic() < until && !cancelled()) {
                m_clock.sleep(until - m_clock.monotonic());
            }
            if (cancelled()) {
                break;
            }
            windowsChanged();
            const Located again = finder.find(row.windowTitle, {}, windows());
            if (!again.found() || again.window != found.window) {
                continue;
            }
        }
        sendQueuedEntry(i, found.window);
    }
    // A Send asked for passes while the monitor is off; once its rows are gone, nothing is asked any more.
    m_sendRequested = std::any_of(m_rows.begin(), m_rows.end(), [](const MonitorRow& r) { return r.immediate; });
    m_inPass = false;
}

} // namespace zendrel

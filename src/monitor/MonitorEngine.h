#pragma once

#include "data/DataStore.h"
#include "send/Sender.h"

#include <QString>

#include <functional>
#include <map>
#include <vector>

namespace zendrel {

// One pending send of the monitor list.
struct MonitorRow {
    QString windowTitle;     // title rule; blank for the window that has the focus
    QString windowContents;  // text a child of the window must show; blank for none
    ExpandedText pushText;   // the expanded send text (it holds the password)
    int64_t dontCheckBefore = 0;  // monotonic hundredths before which the row is skipped
    int64_t interval = 0;         // repeat pause in hundredths; 0 = send once
    bool immediate = false;       // queued by the Send command
    bool directSend = false;
    QString user;
    int64_t secondsToWait = 0;    // between finding the window and typing (the monitor program only)
    QString service;              // for reports of what was typed
};

enum class EngineProgram {
    Main,     // the main program: every user whose password list is open
    Monitor,  // the monitor program: its one chosen user
};

// The scheduler of all sending: immediate rows from Send, monitored rows typed whenever their window is
// present. Driven synchronously (by a timer's thread in the programs, directly in tests).
class MonitorEngine {
public:
    struct Callbacks {
        std::function<void(const QString& title, const QString& text)> message;  // "Cannot Send"
        std::function<void()> minimize;                    // the sending program gets out of the way
        std::function<void(const MonitorRow&, const QString& windowTitle)> sent;
        std::function<void(bool empty)> queueEmptyChanged;
    };

    MonitorEngine(EngineProgram program, DataStore& store, Keyboard& keyboard, Desktop& desktop, Clock& clock,
                  SendSettings settings, Callbacks callbacks);
    ~MonitorEngine();

    // The Send command: an immediate row for the entry.
    void queueEntryForSend(const PasswordRecord& entry);
    // Rows for every entry of the user that is marked for monitoring, in service order.
    void loadMonitoredEntries(const QString& user);

    // A password list of the user opened, had a monitored entry saved, or closed.
    void userOpened(const QString& user);
    void userChanged(const QString& user);
    void userClosed(const QString& user);
    // Applies the pending marks of the user list: loads, reloads or drops users' rows.
    void processUserList();

    // The monitor switch. In the main program switching empties the list, and switching on reloads
    // every open user's entries; the monitor program only stops or resumes its passes.
    void setMonitorOn(bool on);
    bool monitorOn() const { return m_monitorOn; }
    // The monitor program's user: the list is emptied and his monitored entries loaded.
    void selectUser(const QString& user);

    // One pass over the list; `requested` when a Send asked for it while the monitor is off.
    void runSendPass(bool requested);
    // The timer's duty: a pass when rows wait and the monitor is on or a Send was requested.
    void tick();

    const std::vector<MonitorRow>& rows() const { return m_rows; }
    void setSettings(SendSettings s) { m_settings = s; }
    // Empties the list, wiping the texts.
    void clear();

    static int64_t repeatInterval(int64_t doNotRepeatSeconds);

private:
    struct UserMark {
        QString name;  // as the lists gave it; the map's key is its case-folded form
        int openLists = 0;
        char status = ' ';
    };
    void insertRow(MonitorRow row);
    void removeRow(size_t index);
    void removeUserRows(const QString& user);
    bool isDue(const MonitorRow& row) const;
    bool cancelled() const { return m_settings.cancel && m_settings.cancel->load(); }
    // Types a row into a window that was located and reschedules or removes it.
    void sendQueuedEntry(size_t index, WindowId window);
    const std::vector<WindowInfo>& windows();
    void windowsChanged() { m_windowsValid = false; }
    void notifyEmpty(bool before);

    EngineProgram m_program;
    DataStore& m_store;
    Keyboard& m_keyboard;
    Desktop& m_desktop;
    Clock& m_clock;
    SendSettings m_settings;
    Callbacks m_callbacks;
    std::vector<MonitorRow> m_rows;  // in ascending order of window title
    std::map<QString, UserMark> m_users;  // the user list MU, by name
    bool m_monitorOn = true;
    bool m_sendRequested = false;
    bool m_inPass = false;
    std::vector<WindowInfo> m_windows;  // the desktop's windows, read once per pass until something is typed
    bool m_windowsValid = false;
};

} // namespace zendrel

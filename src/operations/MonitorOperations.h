#pragma once

#include "data/DataStore.h"
#include "platform/Clock.h"
#include "platform/Shell.h"
#include "platform/Tray.h"
#include "send/Typist.h"

#include <functional>
#include <optional>

namespace zendrel {

// The monitor program's preferences, as its preferences window shows them.
struct MonitorPreferences {
    bool stayOnTop = false;       // ZD_SOT
    bool askEveryRestore = false; // ZD_ASK
    bool askAtStart = false;      // ZD_ASKIMM
    int64_t sendInterval = 20;    // ZD_GD, hundredths of a second between groups
    int64_t groupSize = 7;        // ZD_BS
};

// The engine the monitor program drives: its worker thread in the program, the engine itself in tests.
class MonitorQueue {
public:
    virtual ~MonitorQueue() = default;
    // The list is emptied and the user's monitored entries loaded (none for a blank name).
    virtual void selectUser(const QString& user) = 0;
    virtual void queueEntry(const PasswordRecord& entry) = 0;
    virtual void setMonitorOn(bool on) = 0;
    // A send pass, never entered twice.
    virtual void runPass() = 0;
    // Whether the list holds no rows.
    virtual bool empty() const = 0;
    virtual void setSettings(SendSettings settings) = 0;
};

// What the monitor program asks of its window.
struct MonitorWindowLink {
    std::function<void()> hide;
    std::function<void(bool topmost)> show;                // shown, focused and raised
    std::function<std::optional<UserRecord>()> chooseUser; // the user selection; nothing when cancelled
    std::function<void(const QString& icon)> windowIcon;
    std::function<void()> userChanged; // the list shows the selected user's entries afresh
    std::function<void()> exit;        // closes the program in order
};

// The monitor program's commands and states: its start, the notification-area icon with its animation, the
// menus, hiding and restoring, its preferences and its send, copy and open commands. Messages go through the
// message service; the window only shows what this decides.
class MonitorOperations {
public:
    struct Services {
        DataStore& store;
        MessageService& messages;
        Clock& clock;
        Tray& tray;
        Clipboard& clipboard;
        Shell& shell;
        MonitorQueue& queue;
    };
    MonitorOperations(Services services, MonitorWindowLink window);

    static const QString kNoUserSelected;
    static const QString kTip;
    // The refusal on tables that the main program has never prepared.
    static const QString kMainNeverRun;
    static const QStringList& sendChoices();

    // False after the refusal on tables that the main program has never prepared.
    bool start();
    void minimize();
    void restore();
    // "Select &User": the choice made anew; the list follows it.
    void chooseUser();
    // An entry was added or changed here: the watched entries are loaded afresh.
    void entriesChanged();

    // The popup of the icon or the window, by the program's state, and what an item of it does.
    QStringList popupMenu() const;
    void menu(const QString& item);
    void click(Tray::Click click);
    // The notification area came or went: a hidden window is shown once nothing can bring it back.
    void trayHostChanged(bool present);

    void tick();

    // The commands on the selected entry with the send choice ("Preset", "Password", "Name", ...).
    void send(const PasswordRecord& entry, const QString& choice);
    void copy(const PasswordRecord& entry, const QString& choice);
    void open(const PasswordRecord& entry);

    // The preferences window: on opening, values out of their range are corrected and stored back; OK stores
    // all five and takes the pace of typing anew.
    MonitorPreferences openPreferences();
    void storePreferences(const MonitorPreferences& chosen, const MonitorPreferences& atOpening);

    const QString& selectedUser() const { return m_user; }
    bool userSelected() const { return m_user != kNoUserSelected; }
    bool monitorOn() const { return m_monitorOn; }
    bool iconShown() const { return m_iconShown; }
    bool windowShown() const { return m_windowShown; }
    const QString& trayIcon() const { return m_trayIcon; }
    const MonitorPreferences& settings() const { return m_settings; }

private:
    void readSettings(int64_t minimumInterval);
    void select(const std::optional<UserRecord>& user);
    QString baseIcon() const;
    void setTrayIcon(const QString& icon);

    Services m_s;
    MonitorWindowLink m_window;
    MonitorPreferences m_settings;
    QString m_user;
    bool m_monitorOn = true;
    bool m_iconShown = false;
    bool m_windowShown = false;
    bool m_opened = false;
    bool m_trayHost = true;
    int m_step = 0;
    int m_ticks = 0;
    QString m_trayIcon;
    int64_t m_clearSeconds = 0;
    // A secret this program put on the clipboard: when, and the clipboard's change count just after.
    std::optional<std::pair<int64_t, uint64_t>> m_copied;
};

} // namespace zendrel

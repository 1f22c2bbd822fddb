#pragma once

#include "data/DataStore.h"
#include "data/Passphrase.h"
#include "base/FileDialogs.h"
#include "platform/Random.h"
#include "framework/FrameEvents.h"
#include "framework/WindowPlacement.h"
#include "monitor/MonitorWorker.h"
#include "session/ConfigStore.h"
#include "shell/FrameTimers.h"
#include "shell/ReportWindows.h"
#include "shell/SyncWindows.h"

#include <QDialog>
#include <QEvent>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QTimer;
class QToolButton;

namespace zendrel {

class BrowsePasswords;
class WindowPositions;


// What the frame works with; the programs pass the real services, tests simulated ones.
struct FrameContext {
    DataStore& store;
    MessageService& messages;
    Clock& clock;
    Clipboard& clipboard;
    Settings settings;
    WindowPositions* positions = nullptr;
    BackendFactory sendBackends;
    QString guide;  // the user guide's HTML file
    // For the password windows: this thread's view of the desktop, program starts, the random source
    // of the generator, file choices, and the data directory (for KEYCODES.TXT).
    Desktop* desktop = nullptr;
    Shell* shell = nullptr;
    Random* random = nullptr;
    FileDialogs* dialogs = nullptr;
    QString dataDirectory;
    // The program's shared lock on the data directory, which a change of its passphrase takes alone; without it
    // the command is disabled.
    DirectoryLock* directoryLock = nullptr;
};

// "Automatic Close Down": ten seconds, then the program closes, unless "Cancel".
class CloseDownWindow : public PlacedDialog {
    Q_OBJECT

public:
    CloseDownWindow(Clock& clock, WindowPositions* positions, QWidget* parent);
    void tick();
    QString line() const;

Q_SIGNALS:
    void expired();

private:
    CloseDownCountdown m_countdown;
    QLabel* m_line;
    QTimer* m_timer;
};

// The main program's frame "Zendrel": menus, toolbar, status bar, the child windows, and the timed duties.
class Main : public QMainWindow {
    Q_OBJECT

public:
    explicit Main(FrameContext context, QWidget* parent = nullptr);
    ~Main() override;

    // One tick of the frame's timer (public so that tests can drive it on a virtual clock).
    void tick();
    void filterClipboard();
    void setMonitorOn(bool on);
    bool monitorOn() const { return m_monitorOn; }
    void refreshUserButtons();
    // "&User Setup": the user list as a child window.
    void browseUsers();
    // "S&ynchronize": the "Synchronize" window; the exchange path it offers is kept for the run.
    void synchronize();
    // "O&ptions": the "Zendrel Options" window; what it accepts takes effect at once.
    void showOptions();
    // "Passp&hrase ...": the "Data Directory Passphrase" window; the program's files are keyed anew at once.
    void passphrase();
    // "&Print": the reports, on the program's one printer, which "Print &Setup ..." sets up.
    void printReport(ReportKind kind);
    ReportWindows& reports();
    const Settings& settings() const { return m_ctx.settings; }
    // "&Import" and "&Export": the transfer windows; both commands are disabled while one runs.
    void transfer(bool importing);
    QAction* importAction() const { return m_importAction; }
    QAction* exportAction() const { return m_exportAction; }
    // "Pass&words" (preset 0: the user is chosen) and "User #1" to "User #3": a password list.
    BrowsePasswords* browsePasswords(int preset = 0);
    QList<BrowsePasswords*> passwordLists() const;
    QString statusField(int field) const;
    CloseDownWindow* closeDownWindow() const { return m_closeDown; }
    MonitorWorker& monitor() { return *m_worker; }
    FrameTimers& timers() { return m_timers; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void minimizeForSend();
    void settingsChanged();
    void buildMenus();
    void buildToolBar();
    void placeFirstTime();
    void startCountdown();
    void about();
    void contents();
    void arrangeIcons();
    void editCommand(const char* slot);
    void usersChanged();
    // Closes the frame once a dialog it asked to go has gone.
    void closeAfter(QPointer<QWidget> dialog);
    void updateOpenUsers();

    FrameContext m_ctx;
    FrameTimers m_timers;
    std::unique_ptr<MonitorWorker> m_worker;
    std::unique_ptr<SyncWindows> m_sync;
    std::unique_ptr<ReportWindows> m_reports;
    QMdiArea* m_mdi = nullptr;
    QTimer* m_timer = nullptr;
    QLabel* m_fields[3] = {};
    QToolButton* m_userButtons[3] = {};
    QAction* m_monitorAction = nullptr;
    QAction* m_importAction = nullptr;
    QAction* m_exportAction = nullptr;
    QLabel* m_marker = nullptr;
    CloseDownWindow* m_closeDown = nullptr;
    QStringList m_openUsers;
    bool m_monitorOn = false;
    bool m_sendRequested = false;
    bool m_queueEmpty = true;
    bool m_closing = false;
    int m_ticks = 0;
};

} // namespace zendrel

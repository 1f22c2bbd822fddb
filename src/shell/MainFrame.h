#pragma once

#include "data/DataStore.h"
#include "framework/WindowPlacement.h"
#include "monitor/MonitorWorker.h"
#include "session/ConfigStore.h"
#include "shell/FrameTimers.h"

#include <QDialog>
#include <QEvent>
#include <QMainWindow>

#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QTimer;
class QToolButton;

namespace zendrel {

class WindowPositions;

// Events that the windows post to the frame.
namespace frame_event {
constexpr QEvent::Type SendRequested = static_cast<QEvent::Type>(1174);  // an entry was queued while the monitor is off
constexpr QEvent::Type EntryQueued = static_cast<QEvent::Type>(1176);    // the frame gets out of the way
constexpr QEvent::Type UsersChanged = static_cast<QEvent::Type>(1177);   // open lists or monitored entries changed
} // namespace frame_event

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
    QString statusField(int field) const;
    CloseDownWindow* closeDownWindow() const { return m_closeDown; }
    MonitorWorker& monitor() { return *m_worker; }
    FrameTimers& timers() { return m_timers; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    void buildToolBar();
    void startCountdown();
    void about();
    void contents();
    void arrangeIcons();
    void editCommand(const char* slot);

    FrameContext m_ctx;
    FrameTimers m_timers;
    std::unique_ptr<MonitorWorker> m_worker;
    QMdiArea* m_mdi = nullptr;
    QTimer* m_timer = nullptr;
    QLabel* m_fields[3] = {};
    QToolButton* m_userButtons[3] = {};
    QAction* m_monitorAction = nullptr;
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

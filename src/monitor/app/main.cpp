// The monitor program: start-up in its order (the data directory, the run-time key, its tables, its position
// file "ZDMON.INI"), then its window, which goes to the notification area at once.
#include "base/ProcessHardening.h"
#include "app/DesktopChoice.h"
#include "app/DisplayServices.h"
#include "framework/Application.h"
#include "framework/QtFileDialogs.h"
#include "framework/QtMessageService.h"
#include "framework/WindowPositions.h"
#include "monitor/MonitorWindow.h"
#include "monitor/MonitorWorker.h"
#include "monitor/QtTray.h"
#include "platform/x11/PosixShell.h"
#include "session/ConfigStore.h"
#include "shell/PassphraseWindows.h"
#include "session/Startup.h"

#include <QDir>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace zendrel;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char** argv) {
    zendrel::hardenProcess();  // before any key or secret exists
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "zdmon: there is no display to open the window on (DISPLAY is not set).\n");
        return 1;
    }
    Application app(argc, argv);
    app.setApplicationName(QStringLiteral("Zendrel Monitor"));
    // The window goes to the notification area and back; closing it is not the end of the program.
    app.setQuitOnLastWindowClosed(false);
    QtMessageService messages;
    app.setMessages(&messages);
    const QStringList args = QCoreApplication::arguments();
    if (!enterDataDirectory(dataDirectoryArgument(args), messages)) {
        return 1;
    }
    // The run-time key, or the passphrase's key in its place, before any table is opened. The directory
    // lock is held for the whole run.
    DirectoryLock directoryLock;
    const std::optional<OwnerKeys> passphraseKeys = openDataDirectory(QDir::currentPath(), directoryLock, messages);
    if (!passphraseKeys) {
        return 1;
    }
    const OwnerKeys& keys = *passphraseKeys;
    SystemClock clock;
    DataStore store({QDir::currentPath(), keys, &messages, endProgram("zdmon"), &clock});
    for (const TableDef* t : {&tables::configuration(), &tables::passwords(), &tables::users()}) {
        store.open(*t);
    }
    WindowPositions positions(QDir::current().filePath(QStringLiteral("ZDMON.INI")));

    // The data-control clipboard on a Wayland compositor that has it, else the toolkit's.
    const std::unique_ptr<Clipboard> clipboard = openClipboard();
    const ThreadDesktop desktop = threadDesktop();
    if (!desktop.note.isEmpty()) {
        // The monitor has no status bar: the note goes where its start-up messages go.
        std::fprintf(stderr, "zdmon: %s\n", qPrintable(desktop.note));
    }
    x11::PosixShell shell;
    SystemRandom random;
    QtFileDialogs dialogs;
    dialogs.setDataDirectory(QDir::currentPath());
    Settings settings;
    settings.dateFormat = QStringLiteral("d17");

    MonitorWorker worker(EngineProgram::Monitor, store, clock, SendSettings{7, 20}, displayBackends);
    QtTray tray;
    MonitorWindow window(EntryServices{store, messages, clock, *clipboard, *desktop.desktop, shell, random, dialogs,
                                       &positions, &settings, QDir::currentPath()},
                         worker, tray);
    if (!window.start()) {
        return 1;
    }

    // Log-off and shut-down, and SIGTERM or SIGHUP: agree, then close in order.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager&) {
        QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
    });
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] { window.close(); });
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }
    if (args.contains(QStringLiteral("--report-started"))) {
        // For the start-up benchmark: say when the icon is in the notification area.
        QTimer::singleShot(0, &window, [&window] {
            std::printf("%s\n", window.operations().iconShown() ? "icon" : "window");
            std::fflush(stdout);
        });
    }
    return app.exec();
}

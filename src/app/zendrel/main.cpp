// The main program: start-up in its order — the data directory, the run-time key, the tables declared,
// the settings loaded (the first run writes the defaults and converts version 2.1's tables) — then the frame.
#include "base/ProcessHardening.h"
#include "app/DesktopChoice.h"
#include "app/DisplayServices.h"
#include "framework/Application.h"
#include "framework/QtFileDialogs.h"
#include "framework/QtMessageService.h"
#include "framework/WindowPositions.h"
#include "platform/x11/PosixShell.h"
#include "session/ConfigStore.h"
#include "shell/PassphraseWindows.h"
#include "session/Startup.h"
#include "shell/ConversionWindow.h"
#include "shell/MainFrame.h"
#include "shell/SyncWindows.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

using namespace zendrel;

namespace {

QString guidePath() {
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zendrel/guide/index.html");
    if (QFileInfo::exists(installed)) {
        return QFileInfo(installed).canonicalFilePath();
    }
    return QStringLiteral(ZENDREL_SOURCE_DIR "/docs/guide/index.html");
}

} // namespace

int main(int argc, char** argv) {
    zendrel::hardenProcess();  // before any key or secret exists
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "zendrel: there is no display to open the window on (DISPLAY is not set).\n");
        return 1;
    }
    Application app(argc, argv);
    app.setApplicationName(QStringLiteral("Zendrel"));
    QtMessageService messages;
    app.setMessages(&messages);
    const QStringList args = QCoreApplication::arguments();
    QString screenshot;
    if (const qsizetype i = args.indexOf(QStringLiteral("--screenshot")); i >= 0 && i + 1 < args.size()) {
        screenshot = QFileInfo(args.at(i + 1)).absoluteFilePath();
    }

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
    DataStore store({QDir::currentPath(), keys, &messages, endProgram("zendrel"), &clock});
    for (const TableDef* t : {&tables::configuration(), &tables::passwords(), &tables::users()}) {
        store.open(*t);
    }
    // Opened now, on this thread, so that any message about them is shown here and not by the sender.
    Table<PasswordRecord>(store).count();
    Table<UserRecord>(store).count();
    WindowPositions positions(QDir::current().filePath(QStringLiteral("POSITION.INI")));
    ConfigStore config(store);
    // On the first start, the users and entries of version 2.1 come over, each table in its progress window.
    const Settings settings =
        loadMainSettings(store, config, [&] { convertPreviousVersion(store, messages, &positions); });

    // The data-control clipboard on a Wayland compositor that has it, else the toolkit's.
    const std::unique_ptr<Clipboard> clipboard = openClipboard();
    // The window titles the entry form offers are read on this thread, through a connection of its own.
    const ThreadDesktop desktop = threadDesktop();
    x11::PosixShell shell;
    SystemRandom random;
    QtFileDialogs dialogs;
    dialogs.setDataDirectory(QDir::currentPath());
    {
        // A synchronization asked for on the command line runs instead of the frame, which then never opens.
        SyncWindows sync(store, messages, dialogs, &positions);
        bool failed = false;
        if (sync.fromCommandLine(args.mid(1), &failed)) {
            return failed ? 1 : 0;
        }
    }
    Main frame(FrameContext{store, messages, clock, *clipboard, settings, &positions, displayBackends, guidePath(),
                            desktop.desktop.get(), &shell, &random, &dialogs, QDir::currentPath(), &directoryLock});
    frame.show();
    if (!desktop.note.isEmpty()) {
        // Said once: a Wayland session whose windows cannot be typed into.
        frame.statusBar()->showMessage(desktop.note);
    }
    if (args.contains(QStringLiteral("--report-shown"))) {
        // For the start-up benchmark: say when the frame is on the screen, then end.
        QTimer::singleShot(0, &frame, [&frame] {
            std::printf("shown\n");
            std::fflush(stdout);
            frame.close();
        });
    }
    if (!screenshot.isEmpty()) {
        // The picture shows the program at its work: the first user's password list (on a new data
        // directory the default user's, made now).
        QTimer::singleShot(200, &frame, [&frame] {
            if (!frame.browsePasswords(1)) {
                frame.browsePasswords(0);
            }
        });
        QTimer::singleShot(1500, &frame, [&frame, &screenshot] {
            frame.grab().save(screenshot);
            frame.close();
        });
    }
    return app.exec();
}

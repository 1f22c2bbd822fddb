#include "base/ProcessHardening.h"
#include "app/cli/Cli.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <iostream>
#include <memory>
#include <unistd.h>

int main(int argc, char** argv) {
    zendrel::hardenProcess();  // before any key or secret exists
    // Only a command that needs the clipboard opens the display; every other one runs without it.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    std::unique_ptr<QCoreApplication> app;
    if (zendrel::cliNeedsClipboard(args) && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else if (zendrel::cliLaysOutPages(args)) {
        // Fonts without a display. Such an application complains of a missing runtime directory it never uses,
        // which would be a second line on standard error.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static const QtMessageHandler qtDefault = qInstallMessageHandler(nullptr);
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) {
                qtDefault(type, context, text);
            }
        });
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    args = QCoreApplication::arguments();
    args.removeFirst();
    zendrel::CliIo io{std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) == 1};
    return zendrel::runCli(args, io);
}

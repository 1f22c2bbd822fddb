// The clipboard between two programs on a real X server: this test writes, a second process (this
// program started with --read) reads what another program would see.
#include "platform/x11/QtClipboard.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <iostream>

using namespace zendrel;

namespace {

QString selfPath;

// Runs the reader without blocking this program's event loop, which must answer its requests.
QString readInAnotherProcess() {
    QProcess p;
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    p.start(selfPath, {"--read"});
    loop.exec();
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(ClipboardTest, ASecretCopyReachesOtherProgramsMarkedForClipboardManagers) {
    x11::QtClipboard clipboard;
    clipboard.setText("pässword 1", true);
    EXPECT_EQ(readInAnotherProcess(), "text=pässword 1\nhint=secret\n");
    clipboard.setText("plain", false);
    EXPECT_EQ(readInAnotherProcess(), "text=plain\nhint=\n");
    EXPECT_EQ(clipboard.text(), "plain");
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--read") {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        std::cout << "text=" << data->text().toStdString() << "\nhint="
                  << data->data(QStringLiteral("x-kde-passwordManagerHint")).toStdString() << "\n";
        return 0;
    }
    selfPath = QCoreApplication::applicationFilePath();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The clipboard between two programs on a real X server: this test writes, a second process (this
// program started with --read) reads what another program would see.
#include "platform/x11/QtClipboard.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
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

// What the program itself sees on the clipboard, its event loop running meanwhile.
QString clipboardAfter(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return QGuiApplication::clipboard()->text();
}

TEST(ClipboardTest, TheCommandLineHoldsAFieldForTheClipboardTimeAndThenClearsIt) {
    QTemporaryDir data;
    auto cli = [&data](const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        p.start(QStringLiteral(ZENDREL_CLI), QStringList{"--data", data.path()} + args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(30000);
        return p.exitCode();
    };
    ASSERT_EQ(cli({"entries", "add", "--user", "Default User", "--service", "Bank", "--name", "alice"}, "pw-1\n"), 0);
    ASSERT_EQ(cli({"settings", "set", "ZD_CI", "2"}), 0);
    QGuiApplication::clipboard()->setText("before");

    QProcess clip;
    clip.start(QStringLiteral(ZENDREL_CLI), {"--data", data.path(), "entries", "clip", "1", "--user", "Default User"});
    clip.closeWriteChannel();
    QString seen;
    for (int i = 0; i < 15 && seen != "pw-1"; ++i) {
        seen = clipboardAfter(100);
    }
    EXPECT_EQ(seen, "pw-1");
    EXPECT_EQ(readInAnotherProcess(), "text=pw-1\nhint=secret\n");
    clip.kill();
    clip.waitForFinished(5000);

    // Any other field of an entry is as much a secret.
    clip.start(QStringLiteral(ZENDREL_CLI),
               {"--data", data.path(), "entries", "clip", "1", "--user", "Default User", "--field", "name"});
    clip.closeWriteChannel();
    for (int i = 0; i < 15 && seen != "alice"; ++i) {
        seen = clipboardAfter(100);
    }
    EXPECT_EQ(readInAnotherProcess(), "text=alice\nhint=secret\n");
    QEventLoop loop;
    QObject::connect(&clip, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(clip.exitCode(), 0) << clip.readAllStandardError().toStdString();
    EXPECT_EQ(clipboardAfter(200), "") << "cleared after the clipboard setting's seconds";
}

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

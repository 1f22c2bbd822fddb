// The desktop's opener as the programs start it: a stand-in xdg-open on the path answers as the real one
// does when there is no browser, when it has handed the address on, and when it runs the browser itself.
#include "platform/x11/PosixShell.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class OpenerTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QByteArray path = qgetenv("PATH");

    void SetUp() override { qputenv("PATH", QFile::encodeName(dir.path()) + ":" + path); }
    void TearDown() override { qputenv("PATH", path); }

    // xdg-open that notes what it was given, then does `then`.
    void opener(const QByteArray& then) {
        QFile f(dir.filePath("xdg-open"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nprintf '%s' \"$1\" > '" + QFile::encodeName(dir.filePath("given")) + "'\n" + then + "\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QByteArray given() {
        QFile f(dir.filePath("given"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(OpenerTest, AnOpenerThatFindsNoProgramIsAFailureWithItsReason) {
    opener("exit 3");
    x11::PosixShell shell;
    std::string error;
    EXPECT_FALSE(shell.openDocument("https://bank.example", error));
    EXPECT_EQ(error, "no program to open it is installed");
    EXPECT_EQ(given(), "https://bank.example");

    opener("exit 2");
    EXPECT_FALSE(shell.openDocument("/nowhere/guide.html", error));
    EXPECT_EQ(error, "the file does not exist");
}

TEST_F(OpenerTest, AnOpenerThatHandsOnOrRunsTheBrowserItselfHasOpened) {
    opener("exit 0");
    x11::PosixShell shell;
    std::string error;
    EXPECT_TRUE(shell.openDocument("https://bank.example", error)) << error;

    // The browser in the foreground: the program goes on waiting no longer than the opener's time.
    opener("exec sleep 5");
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(shell.openDocument("https://mail.example", error)) << error;
    EXPECT_LT(t.elapsed(), 4500);
    EXPECT_EQ(given(), "https://mail.example");
}

TEST_F(OpenerTest, NoOpenerAtAllIsAFailure) {
    QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    x11::PosixShell shell;
    std::string error;
    EXPECT_FALSE(shell.openDocument("https://bank.example", error));
    EXPECT_EQ(error, "xdg-open is not installed");
}

} // namespace

#include "framework/WindowPositions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zendrel;

namespace {

const QRect kPrimary(0, 0, 1920, 1080);
const QRect kRightScreen(1920, 0, 1280, 1024);
const QList<QRect> kScreens = {kPrimary, kRightScreen};

class WindowPositionsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("POSITION.INI"));

    void write(const QByteArray& text) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(WindowPositionsTest, APositionComesBackUnderItsProcedureAndNowhereElse) {
    WindowPositions(file).save(QStringLiteral("BrowseUsers"), QRect(100, 120, 640, 480));
    WindowPositions(file).save(QStringLiteral("SelectUsers"), QRect(2000, 50, 300, 200));

    // A new store on the same file, as at the next start of the program.
    const WindowPositions positions(file);
    EXPECT_EQ(positions.restore(QStringLiteral("BrowseUsers"), kScreens, kPrimary), QRect(100, 120, 640, 480));
    EXPECT_EQ(positions.restore(QStringLiteral("SelectUsers"), kScreens, kPrimary), QRect(2000, 50, 300, 200));
    EXPECT_EQ(positions.restore(QStringLiteral("Main"), kScreens, kPrimary), std::nullopt);

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    for (const char* line : {"[BrowseUsers]", "X=100", "Y=120", "Width=640", "Height=480"}) {
        EXPECT_TRUE(text.contains(line)) << line << "\n" << text.toStdString();
    }
}

struct FitCase {
    QRect stored;
    QRect expected;
};

class FitToScreensTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitToScreensTest, AWindowOffEveryScreenIsMovedOntoThePrimaryOne) {
    QTemporaryDir dir;
    WindowPositions positions(dir.filePath(QStringLiteral("ZDMON.INI")));
    positions.save(QStringLiteral("Main"), GetParam().stored);
    EXPECT_EQ(positions.restore(QStringLiteral("Main"), kScreens, kPrimary), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, FitToScreensTest,
    ::testing::Values(
        // On a screen, even the secondary one or only partly, it stays where it was.
        FitCase{QRect(2500, 300, 400, 300), QRect(2500, 300, 400, 300)},
        FitCase{QRect(-200, -50, 400, 300), QRect(-200, -50, 400, 300)},
        // Where a screen was unplugged: keeps its size, comes as near as the primary screen allows.
        FitCase{QRect(3400, 500, 400, 300), QRect(1520, 500, 400, 300)},
        FitCase{QRect(-5000, -4000, 400, 300), QRect(0, 0, 400, 300)},
        FitCase{QRect(100, 1200, 400, 300), QRect(100, 780, 400, 300)},
        // Larger than the primary screen: shrunk to it.
        FitCase{QRect(5000, 5000, 2500, 1500), QRect(0, 0, 1920, 1080)}));

TEST_F(WindowPositionsTest, ColumnLayoutsWithSpecialCharactersInTheirKeysRoundTrip) {
    static const char raw[] = "\x00\x01\xff=;\"[x]\n\\ %3F";
    const QByteArray designed(raw, sizeof(raw) - 1);
    const QByteArray user("user layout");
    {
        WindowPositions positions(file);
        positions.setValue(QStringLiteral("BrowseUsers"), QStringLiteral("SRCFOriginal?Browse:1"), designed);
        positions.setValue(QStringLiteral("BrowseUsers"), QStringLiteral("SRCF?Browse:1"), user);
        positions.setValue(QStringLiteral("BrowsePasswords"), QStringLiteral("SRCF?Browse:1"), "other");
        positions.save(QStringLiteral("BrowseUsers"), QRect(1, 2, 3, 4));
    }
    WindowPositions positions(file);
    EXPECT_EQ(positions.value(QStringLiteral("BrowseUsers"), QStringLiteral("SRCFOriginal?Browse:1")), designed);
    EXPECT_EQ(positions.value(QStringLiteral("BrowseUsers"), QStringLiteral("SRCF?Browse:1")), user);
    EXPECT_EQ(positions.value(QStringLiteral("BrowsePasswords"), QStringLiteral("SRCF?Browse:1")), "other");
    EXPECT_EQ(positions.value(QStringLiteral("BrowseUsers"), QStringLiteral("SRCF?Browse:2")), QByteArray());
    EXPECT_EQ(positions.restore(QStringLiteral("BrowseUsers"), kScreens, kPrimary), QRect(1, 2, 3, 4));

    positions.remove(QStringLiteral("BrowseUsers"), QStringLiteral("SRCF?Browse:1"));
    EXPECT_EQ(WindowPositions(file).value(QStringLiteral("BrowseUsers"), QStringLiteral("SRCF?Browse:1")),
              QByteArray());
    EXPECT_EQ(WindowPositions(file).value(QStringLiteral("BrowseUsers"), QStringLiteral("SRCFOriginal?Browse:1")),
              designed);
}

class DamagedFileTest : public WindowPositionsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(DamagedFileTest, GivesNoPositionAndCanStillBeWritten) {
    write(QByteArray(GetParam()));
    WindowPositions positions(file);
    EXPECT_EQ(positions.restore(QStringLiteral("Main"), kScreens, kPrimary), std::nullopt);

    positions.save(QStringLiteral("Main"), QRect(10, 20, 300, 200));
    EXPECT_EQ(WindowPositions(file).restore(QStringLiteral("Main"), kScreens, kPrimary), QRect(10, 20, 300, 200));
}

INSTANTIATE_TEST_SUITE_P(
    Contents, DamagedFileTest,
    ::testing::Values("\x7f\x45\x4c\x46\x02\x01\x01 binary \xff\xfe garbage", "[Main\nX=10\nY=20\nWidth\n=\n",
                      "[Main]\nX=ten\nY=20\nWidth=300\nHeight=200\n", "[Main]\nX=10\nY=20\nWidth=300\n",
                      "[Main]\nX=10\nY=20\nWidth=0\nHeight=200\n", "[Main]\nX=10\nY=20\nWidth=-300\nHeight=200\n",
                      // Values whose corners would overflow a rectangle's arithmetic.
                      "[Main]\nX=2147483600\nY=20\nWidth=300\nHeight=200\n",
                      "[Main]\nX=10\nY=20\nWidth=2147483647\nHeight=99999999999999\n",
                      "[Main]\nX=@Rect(1 2 3 4)\nWidth=@ByteArray(\nHeight=@Variant(\\0\\0\\0\\x7f\\xff)\nY=\"\n"));

TEST_F(WindowPositionsTest, AFileThatCannotBeReadOrWrittenIsNoPosition) {
    // The position file's name taken by a directory.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("POSITION.INI")));
    WindowPositions positions(file);
    EXPECT_EQ(positions.restore(QStringLiteral("Main"), kScreens, kPrimary), std::nullopt);
    EXPECT_EQ(positions.value(QStringLiteral("Main"), QStringLiteral("SRCF?Browse:1")), QByteArray());
    // Writing fails quietly: a window that cannot keep its place must still close.
    positions.save(QStringLiteral("Main"), QRect(10, 20, 300, 200));
    positions.setValue(QStringLiteral("Main"), QStringLiteral("SRCF?Browse:1"), "x");
    EXPECT_TRUE(QFileInfo(file).isDir());
}

TEST_F(WindowPositionsTest, APositionFileThatIsNoRegularFileIsNeitherReadNorWritten) {
    ASSERT_EQ(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    WindowPositions positions(file);
    positions.save(QStringLiteral("Main"), QRect(10, 10, 300, 200));
    positions.setValue(QStringLiteral("Main"), QStringLiteral("State"), "x");
    EXPECT_FALSE(positions.restore(QStringLiteral("Main"), kScreens, kPrimary));
    EXPECT_TRUE(positions.value(QStringLiteral("Main"), QStringLiteral("State")).isEmpty());
    EXPECT_FALSE(QFileInfo(file).isFile());
}

} // namespace

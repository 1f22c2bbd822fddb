#include "support/ScriptedServices.h"
#include "support/Mounts.h"
#include "support/TestStore.h"
#include "base/Dates.h"
#include "entries/Attachment.h"
#include "entries/CalendarModel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zendrel;

namespace {

class AttachmentTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    Attachment attachment{messages, dialogs};

    QString file(const QString& name, const QByteArray& bytes) {
        const QString p = dir.filePath(name);
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return p;
    }
    static QByteArray pattern(int n) {
        QByteArray b(n, 0);
        for (int i = 0; i < n; ++i) {
            b[i] = static_cast<char>((i * 7 + 3) % 256);
        }
        return b;
    }
};

class RoundTripTest : public AttachmentTest, public ::testing::WithParamInterface<int> {};

TEST_P(RoundTripTest, AFileComesBackByteForByte) {
    const QByteArray bytes = pattern(GetParam());
    const QString source = file("in.bin", bytes);
    PasswordRecord e;
    dialogs.answers = {source, dir.filePath("out.bin")};
    ASSERT_EQ(attachment.encrypt(e), GetParam());
    EXPECT_EQ(messages.shown.last().title, "Complete");
    EXPECT_EQ(messages.shown.last().text, source + " read successfully.");
    EXPECT_EQ(e.encryptedFilename, source);
    ASSERT_TRUE(attachment.saveToDisk(e));
    EXPECT_EQ(messages.shown.last().text, dir.filePath("out.bin") + " written successfully.");
    QFile out(dir.filePath("out.bin"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), bytes);
    struct stat st {};
    stat(QFile::encodeName(dir.filePath("out.bin")).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(dialogs.titles(), QStringList({"Choose a File", "Save to..."}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RoundTripTest, ::testing::Values(1, 300, 65535));

TEST_F(AttachmentTest, AFileThatCannotBeStoredWholeKeepsThePreviousAttachment) {
    PasswordRecord e;
    ASSERT_GT(attachment.store(e, file("first.bin", "first")), 0);
    for (const QString& bad : {file("big.bin", pattern(65536)), file("empty.bin", {}), dir.filePath("missing")}) {
        EXPECT_EQ(attachment.store(e, bad), 0) << bad.toStdString();
        EXPECT_EQ(messages.shown.last().title, "Error");
        EXPECT_TRUE(messages.shown.last().text.startsWith("Unable to read file.  "));
    }
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
    EXPECT_EQ(attachment.store(e, dir.filePath("pipe")), 0) << "a pipe never holds the program up";
    EXPECT_EQ(attachment.store(e, dir.path()), 0);
    EXPECT_EQ(e.encryptedFile, "first");
    EXPECT_EQ(e.encryptedFilename, dir.filePath("first.bin"));
    // A second file replaces the first.
    ASSERT_GT(attachment.store(e, file("second.bin", "second")), 0);
    EXPECT_EQ(e.encryptedFile, "second");
}

TEST_F(AttachmentTest, CancelledDialogsAndAnEmptyAttachmentChangeNothing) {
    PasswordRecord e;
    dialogs.answers = {std::nullopt};
    EXPECT_EQ(attachment.encrypt(e), 0);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_FALSE(attachment.saveToDisk(e));
    EXPECT_EQ(messages.shown.last().text, "There is no file stored with this entry.");
    EXPECT_EQ(dialogs.requests.size(), 1) << "no save dialog for nothing";
    e.encryptedFile = "x";
    dialogs.answers = {std::nullopt};
    EXPECT_FALSE(attachment.saveToDisk(e));
    EXPECT_FALSE(attachment.write(e, "/nonexistent/dir/file"));
    EXPECT_TRUE(messages.shown.last().text.startsWith("Unable to write file.  "));
}

// The store's own files are neither read as an attachment nor written over, whatever name leads to them: a
// descriptor of them opened and closed would drop the store's locks, and saving over one would destroy it.
TEST(AttachmentStoreFilesTest, TheStoresOwnFilesAreRefusedByAnyName) {
    test::TestStore ts;
    Table<PasswordRecord>(ts.store()).count();
    ScriptedMessages messages;
    ScriptedFileDialogs dialogs;
    Attachment attachment{messages, dialogs, &ts.store()};
    const QString data = ts.file("ZD_DATA");
    QTemporaryDir other;
    const QString link = other.filePath("innocent.txt");
    ASSERT_TRUE(QFile::link(data, link));
    const QByteArray before = [&] {
        QFile f(data);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    PasswordRecord e;
    for (const QString& path : {data, link, QDir(ts.dir()).filePath("./ZD_DATA")}) {
        messages.shown.clear();
        EXPECT_EQ(attachment.store(e, path), 0);
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_EQ(messages.shown[0].text, "Unable to read file.  It is one of Zendrel's own data files.");
    }
    e.encryptedFile = "attached bytes";
    messages.shown.clear();
    EXPECT_FALSE(attachment.write(e, link));
    EXPECT_EQ(messages.shown.value(0).text, "Unable to write file.  It is one of Zendrel's own data files.");
    QFile f(data);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_TRUE(DataStore::isStoreFileName("zd_data-wal"));
    EXPECT_FALSE(DataStore::isStoreFileName("ZD_DATA.bak"));
}

// A file the program may only read is attached all the same: storing never opens it for writing.
TEST_F(AttachmentTest, AFileOnAReadOnlyMountIsAttached) {
    const QString original = file("readonly.bin", pattern(300));
    test::ReadOnlyMount mount(dir.path());
    if (!mount.ok()) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    PasswordRecord e;
    const qint64 stored = attachment.store(e, QDir(mount.path()).filePath("readonly.bin"));
    mount.unmount();
    EXPECT_EQ(stored, 300) << (messages.shown.isEmpty() ? std::string() : messages.shown[0].text.toStdString());
    EXPECT_EQ(e.encryptedFile, pattern(300));
    (void)original;
}

TEST(CalendarTest, TheFirstDayStandsInTheColumnOfItsWeekday) {
    const int32_t today = dayNumber(QDate(2026, 12, 8));
    CalendarModel sunday(dayNumber(QDate(2026, 2, 1)), today);  // a Sunday
    EXPECT_EQ(sunday.buttonOf(1), 0);
    EXPECT_EQ(sunday.buttonOf(28), 27);
    EXPECT_EQ(sunday.buttonOf(29), -1);
    CalendarModel saturday(dayNumber(QDate(2026, 8, 1)), today);  // a Saturday
    EXPECT_EQ(saturday.buttonOf(1), 6);
    CalendarModel leap(dayNumber(QDate(2024, 2, 10)), today);
    EXPECT_EQ(leap.buttonOf(29) >= 0, true);
    EXPECT_EQ(leap.dateOfButton(leap.buttonOf(29)), dayNumber(QDate(2024, 2, 29)));
    EXPECT_EQ(leap.dateOfButton(41), 0);
}

TEST(CalendarTest, SteppingWrapsAtTheEndsOfTheYearsShown) {
    const int32_t today = dayNumber(QDate(2026, 12, 8));
    CalendarModel c(dayNumber(QDate(2099, 12, 15)), today);
    c.nextYear();
    EXPECT_EQ(c.year(), 1801);
    c.previousYear();
    EXPECT_EQ(c.year(), 2099);
    c.nextMonth();
    EXPECT_EQ(c.month(), 1);
    EXPECT_EQ(c.year(), 1801);
    c.previousMonth();
    EXPECT_EQ(c.month(), 12);
    EXPECT_EQ(c.year(), 2099);
    QString error;
    EXPECT_FALSE(c.setMonth(13, error));
    EXPECT_EQ(error, "Month should be between 1 to 12");
    EXPECT_FALSE(c.setYear(1800, error));
    EXPECT_EQ(error, "Year should be between 1801 to 2099");
    EXPECT_EQ(c.year(), 2099);
}

TEST(CalendarTest, OpensOnTodayWithoutAUsableDateAndAsksForAPastDay) {
    const int32_t today = dayNumber(QDate(2026, 12, 8));
    CalendarModel none(0, today);
    EXPECT_EQ(none.month(), 12);
    EXPECT_EQ(none.year(), 2026);
    CalendarModel far(dayNumber(QDate(2150, 5, 1)), today);
    EXPECT_EQ(far.year(), 2026);
    EXPECT_FALSE(none.needsConfirmation(today));
    EXPECT_TRUE(none.needsConfirmation(today - 1));
}

} // namespace

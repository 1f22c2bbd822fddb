#include "framework/QtFileDialogs.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QListView>

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

TEST(QtFileDialogsTest, DialogsNeverStartInTheDataDirectory) {
    QTemporaryDir data;
    QTemporaryDir elsewhere;
    QtFileDialogs dialogs;
    dialogs.setDataDirectory(data.path());
    EXPECT_EQ(dialogs.startFor(data.path()), QDir::homePath());
    EXPECT_EQ(dialogs.startFor(""), QDir::homePath());
    EXPECT_EQ(dialogs.startFor(QDir(data.path()).filePath("ZD_DATA")), QDir(QDir::homePath()).filePath("ZD_DATA"));
    EXPECT_EQ(dialogs.startFor(elsewhere.filePath("a.txt")), elsewhere.filePath("a.txt"));
}

// Opened and cancelled on the data directory itself: its data files are not listed, the others are, and the
// store next to it goes on sharing its files (a dialog that opened one to guess its type would have dropped
// this program's locks on it).
TEST(QtFileDialogsTest, TheDataDirectoryIsListedWithoutItsDataFiles) {
    test::TestStore ts;
    Table<PasswordRecord>(ts.store()).count();
    QFile note(QDir(ts.dir()).filePath("notes.txt"));
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.close();
    QtFileDialogs dialogs;
    dialogs.setDataDirectory(ts.dir());
    QStringList listed;
    test::whenModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(dialog);
        dialog->setDirectory(ts.dir());
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_TRUE(view);
        test::waitFor([&] {
            listed.clear();
            for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
                listed << view->model()->index(r, 0, view->rootIndex()).data().toString();
            }
            return listed.contains("notes.txt");
        });
        dialog->reject();
    });
    EXPECT_FALSE(dialogs.openFile("Choose a File", "All Files|*.*", ts.dir()));
    EXPECT_TRUE(listed.contains("notes.txt")) << listed.join(',').toStdString();
    EXPECT_FALSE(listed.contains("ZD_DATA")) << listed.join(',').toStdString();
    EXPECT_FALSE(listed.contains("ZD_DATA-wal"));
    // Another program writes meanwhile and leaves: it must have seen this one still there, so the log it
    // leaves is intact, and this program reads every entry and writes on without a word.
    QProcess writer;
    writer.start(QStringLiteral(ZENDREL_STORE_WRITER), {ts.dir(), "300"});
    ASSERT_TRUE(writer.waitForFinished(60000));
    ASSERT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
    EXPECT_TRUE(QFileInfo::exists(QDir(ts.dir()).filePath("ZD_DATA-wal"))) << "the other program kept the log";
    Table<PasswordRecord> entries(ts.store());
    EXPECT_EQ(entries.count(), 300);
    PasswordRecord e = test::entry("Ann", "Bank", "ann");
    EXPECT_TRUE(entries.insert(e));
    EXPECT_EQ(entries.count(), 301);
    EXPECT_TRUE(ts.store().verify(tables::passwords()));
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

} // namespace

#include "framework/QtFileDialogs.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
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
    // The store still reads and writes as before.
    Table<PasswordRecord> entries(ts.store());
    PasswordRecord e = test::entry("Ann", "Bank", "ann");
    EXPECT_TRUE(entries.insert(e));
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

} // namespace

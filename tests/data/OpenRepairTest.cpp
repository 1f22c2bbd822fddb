#define SQLITE_HAS_CODEC 1
#include "support/Mounts.h"
#include "support/TestStore.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zendrel;
using zendrel::test::entry;

namespace {

// Runs a scenario in a child process without root's power to write anything, so that file modes
// matter; reports what the child returned (0 is success).
int withoutRoot(const std::function<int()>& scenario) {
    if (geteuid() != 0) {
        return scenario();
    }
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(90);
        }
        try {
            _exit(scenario());
        } catch (const std::exception& e) {
            fprintf(stderr, "scenario failed: %s\n", e.what());
            _exit(98);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

void fillStore(test::TestStore& ts) {
    Table<UserRecord> users(ts.store());
    UserRecord u = users.prime();
    u.name = "Harriet Secretname";
    u.password = u.confirmPassword = "UserPass-9f2k";
    ASSERT_TRUE(users.insert(u));
    Table<PasswordRecord> entries(ts.store());
    PasswordRecord e = entry("Harriet Secretname", "Bank", "harriet.login");
    e.password = e.confirmPassword = "EntryPass-71xq";
    e.notes = "NoteText-ppq";
    ASSERT_TRUE(entries.insert(e));
}

TEST(OpenRepairTest, AnEmptyDirectoryGetsPrivateEncipheredFilesWithoutAWord) {
    test::TestStore ts;
    fillStore(ts);
    Table<ScriptPasteRecord> scripts(ts.store());
    ScriptPasteRecord sp;
    sp.paste = "[Name][Tab]ScriptSecret-44";
    ASSERT_TRUE(scripts.insert(sp));
    EXPECT_TRUE(ts.messages().shown.isEmpty());

    const QString data = ts.file("ZD_DATA");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(data).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // While open, and after closing, no stored secret appears in the bytes of any file.
    for (int round = 0; round < 2; ++round) {
        for (const QString& f : QDir(ts.dir()).entryList(QDir::Files)) {
            const QByteArray bytes = QFile(ts.file(f)).open(QIODevice::ReadOnly) ? test::fileBytes(ts.file(f)) : QByteArray();
            for (const char* secret : {"Harriet", "Secretname", "UserPass", "EntryPass", "NoteText", "harriet.login",
                                       "ScriptSecret", "Default"}) {
                EXPECT_FALSE(bytes.contains(secret)) << f.toStdString() << " holds " << secret;
                EXPECT_FALSE(bytes.contains(QString::fromLatin1(secret).toUtf8().toHex()));
            }
        }
        ts.closeStore();
    }
}

TEST(OpenRepairTest, FilesAreUnreadableWithoutTheOwnerPassword) {
    test::TestStore ts;
    fillStore(ts);
    ts.closeStore();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(ts.file("ZD_DATA")).constData(), &db), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

struct BadFile {
    const char* label;
    std::function<void(const QString& path)> make;
};

class InvalidFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(InvalidFileTest, EndsInTheInvalidFileMessageAndLeavesTheFileAlone) {
    test::TestStore ts;
    const QString path = ts.file("ZD_DATA");
    GetParam().make(path);
    const QByteArray before = test::fileBytes(path);

    test::TestStore again(ts.dir());
    Table<UserRecord> users(again.store());
    EXPECT_THROW(users.count(), ProgramEnded);
    ASSERT_FALSE(again.messages().shown.isEmpty());
    EXPECT_EQ(again.messages().shown.last().title, "Invalid File");
    EXPECT_TRUE(again.messages().shown.last().text.startsWith("Error: ("));
    EXPECT_TRUE(again.messages().shown.last().text.endsWith("accessing ZD_DATA\\!Users.  Press OK to end this application."));
    EXPECT_EQ(again.ended, QStringList({"Invalid File!"}));
    again.closeStore();
    EXPECT_EQ(test::fileBytes(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, InvalidFileTest,
    ::testing::Values(
        BadFile{"random", [](const QString& p) {
                    QFile f(p);
                    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                    QByteArray b(8192, 0);
                    for (auto& c : b) {
                        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
                    }
                    f.write(b);
                }},
        BadFile{"other key",
                [](const QString& p) {
                    test::TestStore other;
                    Table<UserRecord>(other.store()).count();
                    other.closeStore();
                    sqlite3* db = nullptr;
                    sqlite3_open(QFile::encodeName(p).constData(), &db);
                    sqlite3_key(db, "another key", 11);
                    sqlite3_exec(db, "CREATE TABLE Users (Name TEXT)", nullptr, nullptr, nullptr);
                    sqlite3_close(db);
                }},
        BadFile{"truncated",
                [](const QString& p) {
                    {
                        test::TestStore full(QFileInfo(p).absolutePath());
                        fillStore(full);
                        for (int i = 0; i < 300; ++i) {
                            Table<PasswordRecord> e(full.store());
                            PasswordRecord r = entry("Harriet Secretname", QString::number(i), "n");
                            r.notes = QString(500, 'x');
                            e.insert(r);
                        }
                    }
                    QFile f(p);
                    ASSERT_TRUE(f.resize(f.size() / 3 + 100));
                }},
        BadFile{"plain database of another layout",
                [](const QString& p) {
                    test::TestStore other;
                    other.closeStore();
                    sqlite3* db = nullptr;
                    sqlite3_open(QFile::encodeName(p).constData(), &db);
                    const QByteArray key = keyLiteral(deriveRawKey(buildRuntimeKey()));
                    sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
                    sqlite3_exec(db, "CREATE TABLE Users (Name TEXT, Other INTEGER)", nullptr, nullptr, nullptr);
                    sqlite3_close(db);
                }}),
    [](const auto& info) {
        std::string s = info.param.label;
        for (auto& c : s) {
            if (!isalnum(static_cast<unsigned char>(c))) {
                c = '_';
            }
        }
        return s;
    });

TEST(OpenRepairTest, MessagesNameAFileOfItsOwnWithoutATableName) {
    test::TestStore ts;
    QFile f(ts.file("ZNDRL_S"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'z'));
    f.close();
    Table<ScriptPasteRecord> scripts(ts.store());
    EXPECT_THROW(scripts.count(), ProgramEnded);
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_TRUE(ts.messages().shown[0].text.endsWith("accessing ZNDRL_S.  Press OK to end this application."));
}

// Damages a key so that its entries no longer match its records while its declaration looks right, and
// leaves the file as a program that ended abnormally would.
void damageServiceKey(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    const QByteArray key = keyLiteral(deriveRawKey(buildRuntimeKey()));
    sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
    registerCollation(db);
    char* sql = nullptr;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE name = 'Pwd_KeyService'", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    const std::string original = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    std::string altered = original;
    altered.replace(altered.find("\"Service\", \"Name\")"), 18, "\"Name\", \"Service\")");
    auto setSql = [&](const std::string& s) {
        sql = sqlite3_mprintf("PRAGMA writable_schema = 1; UPDATE sqlite_master SET sql = %Q WHERE name = "
                              "'Pwd_KeyService'; PRAGMA writable_schema = 0;",
                              s.c_str());
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_free(sql);
    };
    setSql(altered);
    sqlite3_close(db);
    // Entries written under the altered declaration put the key's b-tree out of step with it.
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
    registerCollation(db);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO Pwd (User, Service, Name, Level) VALUES ('Harriet Secretname', 'Zoo', 'aaa', "
                           "4000), ('Harriet Secretname', 'Alpha', 'zzz', 4000)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    setSql(original);
    sqlite3_exec(db, "UPDATE zendrel_state SET value = 1 WHERE name = 'open'", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

TEST(OpenRepairTest, ADamagedKeyIsRebuiltAfterTheNoticeAndTheRecordsStay) {
    test::TestStore ts;
    fillStore(ts);
    ts.closeStore();
    damageServiceKey(ts.file("ZD_DATA"));

    test::TestStore again(ts.dir());
    Table<PasswordRecord> entries(again.store());
    EXPECT_EQ(entries.count(), 3);
    ASSERT_EQ(again.messages().shown.size(), 1);
    EXPECT_EQ(again.messages().shown[0].title, "Invalid Key");
    EXPECT_EQ(again.messages().shown[0].text, "ZD_DATA\\!Pwd key file is invalid. Key must be rebuilt.");
    KeyRange r;
    r.prefix = {QStringLiteral("Harriet Secretname")};
    QStringList order;
    for (const auto& e : entries.read("P_:KeyService", r)) {
        order << e.service;
    }
    EXPECT_EQ(order, QStringList({"Alpha", "Bank", "Zoo"}));
    EXPECT_TRUE(again.store().verify(tables::passwords()));
    EXPECT_EQ(again.messages().shown.size(), 1);
}

TEST(OpenRepairTest, TheSafeOpenAsksBeforeRebuildingAndEndsTheProgramOnNo) {
    test::TestStore ts;
    fillStore(ts);
    ts.closeStore();
    damageServiceKey(ts.file("ZD_DATA"));

    test::TestStore again(ts.dir());
    again.messages().answers = {Answer::No};
    EXPECT_THROW(again.store().safeOpen(tables::passwords()), ProgramEnded);
    ASSERT_EQ(again.messages().shown.size(), 1);
    EXPECT_EQ(again.messages().shown[0].title, "Invalid Key");
    EXPECT_EQ(again.messages().shown[0].buttons, Buttons::YesNo);
    EXPECT_EQ(again.messages().shown[0].text,
              again.file("ZD_DATA") + " key file is invalid.  Do you want to rebuild the key?");
    EXPECT_EQ(again.ended, QStringList({"Invalid Key!"}));

    test::TestStore yes(ts.dir());
    yes.messages().answers = {Answer::Yes};
    yes.store().safeOpen(tables::passwords());
    EXPECT_EQ(Table<PasswordRecord>(yes.store()).count(), 3);
    EXPECT_TRUE(yes.ended.isEmpty());
}

TEST(OpenRepairTest, AReadOnlyFileIsUsedReadOnlyAfterOneNotice) {
    test::TestStore ts;
    fillStore(ts);
    ts.closeStore();
    const QString path = ts.file("ZD_DATA");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
    ASSERT_EQ(chmod(QFile::encodeName(ts.dir()).constData(), 0555), 0);

    const int rc = withoutRoot([&] {
        test::TestStore ro(ts.dir());
        Table<UserRecord> users(ro.store());
        Table<PasswordRecord> entries(ro.store());
        if (users.count() != 1 || entries.count() != 1) {
            return 1;
        }
        if (ro.messages().shown.size() != 1 || ro.messages().shown[0].title != "Access Denied" ||
            ro.messages().shown[0].text != "Could not get write access to ZD_DATA\\!Users so trying read-only.") {
            return 2;
        }
        PasswordRecord e = entry("Harriet Secretname", "New", "n");
        const WriteResult w = entries.insert(e);
        if (w.kind != WriteResult::Error || ro.messages().shown.size() != 2 || !ro.ended.isEmpty()) {
            return 3;
        }
        return 0;
    });
    chmod(QFile::encodeName(ts.dir()).constData(), 0755);
    chmod(QFile::encodeName(path).constData(), 0600);
    EXPECT_EQ(rc, 0);
}

TEST(OpenRepairTest, AFileThatCannotBeCreatedEndsTheProgramAfterItsMessage) {
    test::TestStore ts;
    ASSERT_EQ(chmod(QFile::encodeName(ts.dir()).constData(), 0555), 0);
    const int rc = withoutRoot([&] {
        test::TestStore t(ts.dir());
        Table<UserRecord> users(t.store());
        try {
            users.count();
            return 1;
        } catch (const ProgramEnded&) {
        }
        if (t.messages().shown.size() != 1 || t.messages().shown[0].title != "File Creation Error" ||
            !t.messages().shown[0].text.endsWith("creating ZD_DATA\\!Users.  Press OK to end this application") ||
            t.ended != QStringList({"File Creation Error!"})) {
            return 2;
        }
        return QFile::exists(t.file("ZD_DATA")) ? 3 : 0;
    });
    chmod(QFile::encodeName(ts.dir()).constData(), 0755);
    EXPECT_EQ(rc, 0);
}

TEST(OpenRepairTest, ATableMissingFromAnExistingFileIsCreatedSilently) {
    test::TestStore ts;
    Table<UserRecord>(ts.store()).count();
    ts.reopen();
    EXPECT_EQ(Table<ConfigRecord>(ts.store()).count(), 0);
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

} // namespace

namespace {

TEST(OpenRepairTest, ADataFileThatIsNoRegularFileIsRefusedAndNothingIsWrittenBesideIt) {
    QTemporaryDir dir;
    ASSERT_EQ(symlink("/dev/null", QFile::encodeName(QDir(dir.path()).filePath("ZD_DATA")).constData()), 0);
    test::TestStore ts(dir.path());
    EXPECT_THROW(Table<UserRecord>(ts.store()).count(), ProgramEnded);
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Invalid File");
    EXPECT_TRUE(ts.messages().shown[0].text.startsWith("Error: (Not a regular file (48)) accessing ZD_DATA"))
        << ts.messages().shown[0].text.toStdString();
    EXPECT_FALSE(QFile::exists("/dev/null-journal"));
    EXPECT_FALSE(QFile::exists("/dev/null-wal"));
}

TEST(OpenRepairTest, ATableFileWithALooserModeIsMadePrivateWithOneNotice) {
    QTemporaryDir dir;
    {
        test::TestStore first(dir.path());
        Table<UserRecord>(first.store()).count();
    }
    const QByteArray path = QFile::encodeName(QDir(dir.path()).filePath("ZD_DATA"));
    ASSERT_EQ(chmod(path.constData(), 0644), 0);
    test::TestStore ts(dir.path());
    Table<UserRecord>(ts.store()).count();
    Table<PasswordRecord>(ts.store()).count();  // a second table of the same file: no second notice
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "File Permissions");
    EXPECT_EQ(ts.messages().shown[0].text, "ZD_DATA could be read by other users; it is now readable by you alone.");
    for (const char* suffix : {"", "-wal", "-shm"}) {
        struct stat st {};
        if (stat((path + suffix).constData(), &st) == 0) {
            EXPECT_EQ(st.st_mode & 0777, 0600u) << suffix;
        }
    }
}

} // namespace

namespace {

using test::FullDisk;

TEST(OpenRepairTest, AFullDiskStillLetsTheTablesBeReadAfterTheNotice) {
    FullDisk disk;
    if (!disk.ok()) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    {
        test::TestStore ts(disk.path());
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = "Ann";
        ASSERT_TRUE(users.insert(u));
        Table<PasswordRecord> entries(ts.store());
        PasswordRecord e = test::entry("Ann", "Bank", "ann");
        ASSERT_TRUE(entries.insert(e));
    }
    disk.fill();
    test::TestStore ts(disk.path());
    EXPECT_EQ(Table<UserRecord>(ts.store()).count(), 1);
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).count(), 1);
    ASSERT_FALSE(ts.messages().shown.isEmpty());
    EXPECT_EQ(ts.messages().shown[0].title, "Access Denied");
    EXPECT_EQ(ts.messages().shown[0].text, "Could not get write access to ZD_DATA\\!Users so trying read-only.");
}

// A writer killed with committed changes still in its log, then the directory mounted read only: the log
// cannot be applied there, and the old data must not be shown as if it were current.
TEST(OpenRepairTest, CommittedChangesInALogThatCannotBeAppliedAreNeverHiddenBehindOldData) {
    QTemporaryDir dir;
    {
        test::TestStore ts(dir.path());
        fillStore(ts);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        test::TestStore ts(dir.path());
        Table<PasswordRecord> entries(ts.store());
        PasswordRecord e = entry("Ann", "Changed", "c");
        _exit(entries.insert(e) ? 0 : 1);  // ends without closing: the change stays in the log
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_GT(QFileInfo(QDir(dir.path()).filePath("ZD_DATA-wal")).size(), 0);

    test::ReadOnlyMount mount(dir.path());
    if (!mount.ok()) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    const QString ro = mount.path();
    {
        test::TestStore ts(ro);
        EXPECT_THROW(Table<PasswordRecord>(ts.store()).count(), ProgramEnded);
        ASSERT_FALSE(ts.messages().shown.isEmpty());
        const Message& last = ts.messages().shown.last();
        EXPECT_EQ(last.title, "File Access Error");
        EXPECT_TRUE(last.text.contains("its latest changes, kept in ZD_DATA-wal, cannot be read where the file cannot "
                                       "be written"))
            << last.text.toStdString();
    }
    mount.unmount();
    // Where the log can be applied, the change is there.
    test::TestStore ts(dir.path());
    EXPECT_TRUE(Table<PasswordRecord>(ts.store()).fetch("P_:KeyService", {QString("Ann"), QString("Changed"), QString("c")}));
}

} // namespace

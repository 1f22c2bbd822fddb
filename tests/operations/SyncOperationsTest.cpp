#include "operations/SyncOperations.h"

#include "base/Dates.h"
#include "data/Database.h"
#include "entries/Attachment.h"
#include "monitor/MonitorEngine.h"
#include "platform/NoDisplay.h"
#include "support/TestStore.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace zendrel;

namespace {

const QString kMismatch = QStringLiteral(
    "The user receiving the synchronization file must have the same password as the user that created the file.");

int32_t day(int y, int m, int d) {
    return dayNumber(QDate(y, m, d));
}

class SyncTest : public ::testing::Test {
protected:
    test::TestStore a;
    test::TestStore b;
    QTemporaryDir exchange;

    QString file(const QString& name = QStringLiteral("home.syn")) const {
        return QDir(exchange.path()).filePath(name);
    }

    static UserRecord addUser(test::TestStore& ts, const QString& name, const QString& password) {
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = password;
        u.confirmPassword = password;
        EXPECT_TRUE(users.insert(u));
        return u;
    }
    static PasswordRecord addEntry(test::TestStore& ts, PasswordRecord e) {
        Table<PasswordRecord> entries(ts.store());
        e.id = static_cast<int32_t>(entries.prime().id);
        EXPECT_TRUE(entries.insert(e));
        return e;
    }
    static PasswordRecord dated(const QString& user, const QString& service, int32_t date, int32_t time) {
        PasswordRecord e = test::entry(user, service, service.toLower());
        e.password = service + QStringLiteral("-pw");
        e.lastChangeDate = date;
        e.lastChangeTime = time;
        return e;
    }
    static std::vector<PasswordRecord> entriesOf(test::TestStore& ts, const QString& user) {
        return Table<PasswordRecord>(ts.store()).read(QStringLiteral("P_:KeyService"), KeyRange{{user}});
    }
    static std::vector<PasswordRecord> everyEntry(test::TestStore& ts) {
        return Table<PasswordRecord>(ts.store()).readPhysical();
    }

    // A pass run to its end in slices of `records`, as the progress window runs it.
    static std::unique_ptr<SyncOperations::Pass> run(std::unique_ptr<SyncOperations::Pass> pass, int records = 7) {
        if (pass) {
            while (pass->slice(records)) {
            }
            pass->finish();
        }
        return pass;
    }
    std::unique_ptr<SyncOperations::Pass> send(test::TestStore& ts, const UserRecord& u, const QString& path,
                                               int records = 7) {
        SyncOperations sync(ts.store(), ts.messages());
        return run(sync.send(u, path), records);
    }
    std::unique_ptr<SyncOperations::Pass> receive(test::TestStore& ts, const UserRecord& u, const QString& path,
                                                  int records = 7) {
        SyncOperations sync(ts.store(), ts.messages());
        return run(sync.receive(u, path), records);
    }
    static QString lastText(test::TestStore& ts) {
        return ts.messages().shown.isEmpty() ? QString() : ts.messages().shown.last().text;
    }
};

QByteArray attachment(int seed) {
    QByteArray bytes(static_cast<int>(Attachment::kLimit), '\0');
    std::mt19937 gen(static_cast<unsigned>(seed));
    for (char& c : bytes) {
        c = static_cast<char>(gen() & 0xff);
    }
    return bytes;
}

} // namespace

// Every field of the record layout has its namesake at the next position of the entry, with its type and
// width: the positional copy depends on it.
TEST(SyncLayout, TheExchangeRecordIsTheEntryWithoutItsIdentifier) {
    const TableDef& x = tables::syncFile();
    const TableDef& p = tables::passwords();
    ASSERT_EQ(x.fields.size() + 1, p.fields.size());
    for (size_t i = 0; i < x.fields.size(); ++i) {
        SCOPED_TRACE(x.fields[i].name.toStdString());
        EXPECT_EQ(x.fields[i].type, p.fields[i + 1].type);
        EXPECT_EQ(x.fields[i].width, p.fields[i + 1].width);
        if (i > 0) {
            EXPECT_EQ(x.fields[i].column, p.fields[i + 1].column);
        }
    }
}

// Two data directories: 50 entries with every field set travel to a user of another name with the same
// login password, and two entries changed there travel back.
TEST_F(SyncTest, ARoundTripCarriesEveryFieldAndBringsBackExactlyTheChangedEntries) {
    const UserRecord alice = addUser(a, "alice", "Open Sesame");
    addUser(a, "carol", "x");
    addEntry(a, dated("carol", "Not Sent", day(2026, 1, 1), 100));
    std::vector<PasswordRecord> sent;
    for (int i = 0; i < 50; ++i) {
        PasswordRecord e = dated("alice", QStringLiteral("Service %1").arg(i, 2, 10, QChar('0')),
                                 day(2026, 3, 1 + i % 20), 1000 + (49 - i) * 7);
        e.url = QStringLiteral("https://s%1.example/login").arg(i);
        e.name = QStringLiteral("name%1").arg(i);
        e.confirmPassword = e.password;
        e.expiryDate = day(2027, 1, 1) + i;
        e.expiryInterval = 30 + i;
        e.level = 100 + i;
        e.monitor = static_cast<uint8_t>(i % 2);
        e.secondsToWait = static_cast<uint8_t>(i % 200);
        e.windowTitleToLocate = QStringLiteral("*Login %1*").arg(i);
        e.windowContents = QStringLiteral("User name");
        e.doNotRepeatSeconds = 60 + i;
        e.paste = QStringLiteral("[Name][Tab][Password][Enter] %1").arg(i);
        e.directSend = static_cast<uint8_t>((i + 1) % 2);
        e.startType = QStringLiteral("Maximized");
        e.filename = QStringLiteral("/home/alice/key%1.pem").arg(i);
        e.encryptedFilename = QStringLiteral("key%1.pem").arg(i);
        e.notes = QString(10000, QChar('a' + i % 26));
        e.moreNotes = QString(10000, QChar(0x00e9 + i % 10));
        e.encryptedFile = attachment(i);
        sent.push_back(addEntry(a, e));
    }
    auto out = send(a, alice, file());
    ASSERT_TRUE(out);
    EXPECT_EQ(out->total(), 51); // the whole table
    EXPECT_EQ(a.messages().titles(), QStringList{"Done"});
    EXPECT_EQ(lastText(a), "Records added to the synchonization file:  50");

    addUser(b, "Other", "y");
    for (int i = 0; i < 3; ++i) {
        addEntry(b, dated("Other", QStringLiteral("B%1").arg(i), day(2026, 1, 1), 100));
    }
    const UserRecord bob = addUser(b, "Bob", "Open Sesame");
    auto in = receive(b, bob, file());
    ASSERT_TRUE(in);
    EXPECT_EQ(b.messages().titles(), QStringList{"Done"});
    EXPECT_EQ(lastText(b), "Records added:  50\n\nRecords updated:  0");
    const std::vector<PasswordRecord> got = entriesOf(b, "Bob");
    ASSERT_EQ(got.size(), 50u);
    QSet<int32_t> ids;
    for (const PasswordRecord& e : sent) {
        SCOPED_TRACE(e.service.toStdString());
        const auto r = Table<PasswordRecord>(b.store()).fetch("P_:KeyName", {QStringLiteral("Bob"), e.name, e.service});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->user, "Bob");
        EXPECT_GT(r->id, 3);
        ids.insert(r->id);
        Row want = toRow(e);
        Row have = toRow(*r);
        want.erase(want.begin(), want.begin() + 2);
        have.erase(have.begin(), have.begin() + 2);
        EXPECT_TRUE(want == have);
    }
    EXPECT_EQ(ids.size(), 50);

    // Bob changes two entries at home and sends his list back.
    b.messages().shown.clear();
    Table<PasswordRecord> bEntries(b.store());
    for (const char* which : {"07", "42"}) {
        const QString n = QString::number(QString::fromLatin1(which).toInt());
        auto e = bEntries.fetch("P_:KeyService",
                                {QStringLiteral("Bob"), "Service " + QString::fromLatin1(which), "name" + n});
        ASSERT_TRUE(e);
        e->password = QStringLiteral("changed at home");
        e->notes = QStringLiteral("new notes");
        e->lastChangeDate = day(2026, 12, 1);
        ASSERT_TRUE(bEntries.change(*e));
    }
    ASSERT_TRUE(send(b, bob, file("back.syn")));
    EXPECT_EQ(lastText(b), "Records added to the synchonization file:  50");
    a.messages().shown.clear();
    ASSERT_TRUE(receive(a, alice, file("back.syn")));
    EXPECT_EQ(lastText(a), "Records added:  0\n\nRecords updated:  2");
    for (const PasswordRecord& e : sent) {
        const auto now = Table<PasswordRecord>(a.store()).get(e.rowId);
        ASSERT_TRUE(now);
        const bool changed = e.service == "Service 07" || e.service == "Service 42";
        EXPECT_EQ(now->password, changed ? "changed at home" : e.password) << e.service.toStdString();
        EXPECT_EQ(now->notes, changed ? "new notes" : e.notes);
        EXPECT_EQ(now->id, e.id);
        EXPECT_EQ(now->user, "alice");
        EXPECT_EQ(now->encryptedFile, e.encryptedFile);
    }
    EXPECT_EQ(everyEntry(a).size(), 51u);
}

// The entries go into the file in the order of their change dates; only the chosen user's.
TEST_F(SyncTest, SendingWritesTheUsersEntriesInChangeOrderAndReplacesTheOldFile) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    const UserRecord ben = addUser(a, "Ben", "other");
    const UserRecord empty = addUser(a, "Empty", "pw");
    addEntry(a, dated("Ann", "Late", day(2026, 5, 2), 10));
    addEntry(a, dated("Ann", "Early", day(2026, 5, 1), 900));
    addEntry(a, dated("Ann", "Middle", day(2026, 5, 2), 5));
    addEntry(a, dated("Ben", "Bens", day(2026, 5, 1), 5));
    ASSERT_TRUE(send(a, ann, file(), 2));
    {
        DataStore x(DataStore::Options{exchange.path(), a.store().keys(), &a.messages(), {}, nullptr});
        x.setFileName(tables::syncFile(), file());
        ASSERT_TRUE(x.openChosen(tables::syncFile(), DataStore::Chosen::Read));
        QStringList order;
        for (const auto& r : Table<SyncFileRecord>(x).readPhysical()) {
            order << r.service;
            EXPECT_EQ(r.user, "pw");
        }
        EXPECT_EQ(order, QStringList({"Early", "Middle", "Late"}));
    }
    // Ben's file replaces Ann's whole.
    ASSERT_TRUE(send(a, ben, file()));
    const UserRecord bBen = addUser(b, "Ben", "other");
    ASSERT_TRUE(receive(b, bBen, file()));
    EXPECT_EQ(lastText(b), "Records added:  1\n\nRecords updated:  0");
    // A user without entries: an empty file and no message.
    a.messages().shown.clear();
    auto none = send(a, empty, file());
    ASSERT_TRUE(none);
    EXPECT_EQ(none->summaryLines(), QStringList{"Records added to the synchonization file:  0"});
    EXPECT_TRUE(a.messages().shown.isEmpty());
    b.messages().shown.clear();
    auto nothing = receive(b, bBen, file());
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing->summaryLines(), QStringList({"Records added:  0", "Records updated:  0"}));
    EXPECT_TRUE(b.messages().shown.isEmpty());
}

TEST_F(SyncTest, NewerWinsEqualStaysAndNothingIsDeleted) {
    const UserRecord ann = addUser(a, "Ann", "same");
    addEntry(a, dated("Ann", "Equal", day(2026, 6, 1), 5000));
    addEntry(a, dated("Ann", "Later", day(2026, 6, 1), 5001));
    addEntry(a, dated("Ann", "Older", day(2026, 5, 31), 9000));
    addEntry(a, dated("Ann", "New", day(2026, 6, 1), 1));
    ASSERT_TRUE(send(a, ann, file()));

    const UserRecord bob = addUser(b, "Bob", "same");
    auto keep = [&](const char* service, int32_t date, int32_t time) {
        PasswordRecord e = dated("Bob", service, date, time);
        e.password = QStringLiteral("stored");
        return addEntry(b, e);
    };
    const PasswordRecord equal = keep("Equal", day(2026, 6, 1), 5000);
    const PasswordRecord earlier = keep("Later", day(2026, 6, 1), 5000); // same day, earlier time
    const PasswordRecord newer = keep("Older", day(2026, 6, 1), 1);      // a later day beats a later time
    const PasswordRecord own = keep("Only At Work", day(2020, 1, 1), 1);
    ASSERT_TRUE(receive(b, bob, file()));
    EXPECT_EQ(b.messages().titles(), QStringList{"Done"});
    EXPECT_EQ(lastText(b), "Records added:  1\n\nRecords updated:  1");
    Table<PasswordRecord> entries(b.store());
    EXPECT_EQ(entries.get(equal.rowId)->password, "stored");
    EXPECT_EQ(entries.get(newer.rowId)->password, "stored");
    EXPECT_EQ(entries.get(own.rowId)->password, "stored");
    const auto replaced = entries.get(earlier.rowId);
    EXPECT_EQ(replaced->password, "Later-pw");
    EXPECT_EQ(replaced->id, earlier.id);
    EXPECT_EQ(replaced->lastChangeTime, 5001);
    EXPECT_EQ(entriesOf(b, "Bob").size(), 5u);

    // The same file again changes nothing and counts nothing.
    b.messages().shown.clear();
    auto again = receive(b, bob, file());
    EXPECT_EQ(again->summaryLines(), QStringList({"Records added:  0", "Records updated:  0"}));
    EXPECT_TRUE(b.messages().shown.isEmpty());
}

TEST_F(SyncTest, AFileOfAnotherPasswordIsRefusedWholeEvenWhenOnlyTheCaseDiffers) {
    const UserRecord ann = addUser(a, "Ann", "Sesame");
    for (int i = 0; i < 12; ++i) {
        addEntry(a, dated("Ann", QStringLiteral("S%1").arg(i), day(2026, 6, 1), 100 + i));
    }
    ASSERT_TRUE(send(a, ann, file()));
    for (const QString& password : {QStringLiteral("sesame"), QStringLiteral("Sesame2"), QStringLiteral("")}) {
        test::TestStore c;
        const UserRecord bob = addUser(c, "Bob", password);
        addEntry(c, dated("Bob", "S1", day(2020, 1, 1), 1));
        const std::vector<PasswordRecord> before = everyEntry(c);
        auto pass = receive(c, bob, file(), 5);
        ASSERT_TRUE(pass);
        EXPECT_TRUE(pass->stopped());
        EXPECT_EQ(pass->done(), 1);
        EXPECT_EQ(c.messages().titles(), QStringList{"Password mismatch"});
        EXPECT_EQ(lastText(c), kMismatch);
        const std::vector<PasswordRecord> after = everyEntry(c);
        ASSERT_EQ(after.size(), before.size());
        EXPECT_TRUE(toRow(after[0]) == toRow(before[0]));
    }
    // Trailing blanks are never significant.
    const UserRecord blank = addUser(b, "Bob", "Sesame  ");
    ASSERT_TRUE(receive(b, blank, file()));
    EXPECT_EQ(lastText(b), "Records added:  12\n\nRecords updated:  0");
}

TEST_F(SyncTest, ACancelKeepsWhatWasWrittenAndStillShowsTheSummary) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    for (int i = 0; i < 20; ++i) {
        addEntry(a, dated("Ann", QStringLiteral("S%1").arg(i, 2, 10, QChar('0')), day(2026, 6, 1), 100 + i));
    }
    SyncOperations out(a.store(), a.messages());
    auto sending = out.send(ann, file());
    ASSERT_TRUE(sending->slice(6));
    sending->cancel();
    EXPECT_FALSE(sending->slice(6));
    sending->finish();
    EXPECT_EQ(lastText(a), "Records added to the synchonization file:  6");

    const UserRecord bob = addUser(b, "Bob", "pw");
    SyncOperations in(b.store(), b.messages());
    auto receiving = in.receive(bob, file());
    EXPECT_EQ(receiving->total(), 6);
    ASSERT_TRUE(receiving->slice(4));
    receiving->cancel();
    receiving->finish();
    EXPECT_EQ(lastText(b), "Records added:  4\n\nRecords updated:  0");
    EXPECT_EQ(entriesOf(b, "Bob").size(), 4u);
}

// A record the passwords table refuses gets its message, and the others arrive.
TEST_F(SyncTest, ARefusedRecordGetsItsErrorAndThePassGoesOn) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    for (const char* s : {"A", "B", "C"}) {
        addEntry(a, dated("Ann", s, day(2026, 6, 1), 100));
    }
    ASSERT_TRUE(send(a, ann, file()));
    {
        Connection c(file(), Connection::Mode::ReadWrite, deriveRawKey(a.store().keys().runtimeKey));
        c.exec("UPDATE SyncFile SET SecondsToWait = 250 WHERE Service = 'B'");
        c.exec("UPDATE SyncFile SET EncryptedFile = zeroblob(65536) WHERE Service = 'C'");
    }
    const UserRecord bob = addUser(b, "Bob", "pw");
    ASSERT_TRUE(receive(b, bob, file(), 2));
    ASSERT_EQ(b.messages().titles(), QStringList({"ERROR", "ERROR", "Done"}));
    EXPECT_EQ(b.messages().shown[0].text,
              "ZD_DATA\\!Pwd\nThe value of Seconds before start of automatic send to must be between 0 and 199.\n"
              "Disk error adding password record.");
    EXPECT_EQ(b.messages().shown[1].text,
              "ZD_DATA\\!Pwd\nThe file is larger than 65,535 bytes.\nDisk error adding password record.");
    EXPECT_EQ(lastText(b), "Records added:  1\n\nRecords updated:  0");
    const auto got = entriesOf(b, "Bob");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].service, "A");
}

// Files the user may pick that are not exchange files: their message, nothing changed, nothing ended.
TEST_F(SyncTest, AMissingDamagedOrForeignFileIsANoticeAndChangesNothing) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    for (int i = 0; i < 200; ++i) {
        PasswordRecord e = dated("Ann", QStringLiteral("S%1").arg(i, 3, 10, QChar('0')), day(2026, 6, 1), 100);
        e.notes = QString(2000, QChar('n'));
        addEntry(a, e);
    }
    ASSERT_TRUE(send(a, ann, file("good.syn")));
    QFile good(file("good.syn"));
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray whole = good.readAll();
    good.close();
    ASSERT_GT(whole.size(), 100000);

    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    auto keyed = [&write](const QString& path, const QByteArray& key) {
        write(path, {});
        Connection c(path, Connection::Mode::ReadWrite, key);
        c.exec("CREATE TABLE SyncFile (User TEXT); INSERT INTO SyncFile VALUES ('x')");
    };
    write(file("truncated.syn"), whole.left(whole.size() / 2));
    write(file("cut-one-page.syn"), whole.left(whole.size() - 1024));
    // Damage halfway through: its first records read well, so only a check of the whole file keeps them out.
    QByteArray damaged = whole;
    damaged.replace(damaged.size() * 3 / 5, 8192, QByteArray(8192, '\x5a'));
    write(file("damaged.syn"), damaged);
    std::mt19937 gen(7);
    QByteArray noise(20000, '\0');
    for (char& ch : noise) {
        ch = static_cast<char>(gen() & 0xff);
    }
    write(file("random.syn"), noise);
    write(file("export.SYN"), "Service,Name,Password\nBank,ann,secret\n");
    keyed(file("other-key.syn"), deriveRawKey(QStringLiteral("another installation's key, not ours at all.....")));
    keyed(file("plain.syn"), {});
    QDir(exchange.path()).mkdir("folder.syn");

    const UserRecord bob = addUser(b, "Bob", "pw");
    addEntry(b, dated("Bob", "Kept", day(2026, 1, 1), 1));
    const QByteArray before = test::fileBytes(b.file("ZD_DATA"));
    for (const char* name : {"missing.syn", "truncated.syn", "cut-one-page.syn", "damaged.syn", "random.syn",
                             "export.SYN", "other-key.syn", "plain.syn", "folder.syn"}) {
        SCOPED_TRACE(name);
        b.messages().shown.clear();
        SyncOperations sync(b.store(), b.messages());
        EXPECT_FALSE(sync.receive(bob, file(name)));
        ASSERT_EQ(b.messages().shown.size(), 1);
        const QString title = b.messages().shown[0].title;
        EXPECT_TRUE(title == "Invalid File" || title == "File Access Error") << title.toStdString();
        EXPECT_TRUE(lastText(b).contains(file(name))) << lastText(b).toStdString();
        EXPECT_TRUE(b.ended.isEmpty()) << lastText(b).toStdString();
    }
    EXPECT_FALSE(QFile::exists(file("missing.syn")));
    EXPECT_EQ(test::fileBytes(b.file("ZD_DATA")), before);
    EXPECT_EQ(entriesOf(b, "Bob").size(), 1u);

    // The store's own file is never opened as an exchange file, neither to read nor to replace it.
    b.messages().shown.clear();
    SyncOperations sync(b.store(), b.messages());
    EXPECT_FALSE(sync.receive(bob, b.file("ZD_DATA")));
    EXPECT_FALSE(sync.send(bob, b.file("ZD_DATA")));
    EXPECT_EQ(b.messages().titles(), QStringList({"File Access Error", "File Access Error"}));
    EXPECT_EQ(lastText(b), "File (" + b.file("ZD_DATA") +
                               ") could not be opened.  Error: It is one of Zendrel's "
                               "own data files.");
    EXPECT_EQ(entriesOf(b, "Bob").size(), 1u);
}

// Paths that cannot be written, for root too: the notice, and nothing outside the file is touched.
TEST_F(SyncTest, SendingToAPathThatCannotBeWrittenIsANotice) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    addEntry(a, dated("Ann", "S", day(2026, 6, 1), 1));
    QFile plain(file("regular"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QDir(exchange.path()).mkdir("folder.syn");
    for (const QString& path : {file("regular") + "/under.syn", file("folder.syn"), QStringLiteral("/dev/full")}) {
        SCOPED_TRACE(path.toStdString());
        a.messages().shown.clear();
        SyncOperations sync(a.store(), a.messages());
        EXPECT_FALSE(sync.send(ann, path));
        ASSERT_EQ(a.messages().shown.size(), 1);
        EXPECT_TRUE(lastText(a).contains(path));
        EXPECT_TRUE(a.ended.isEmpty());
    }
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/full")).exists());
    EXPECT_TRUE(QFileInfo(file("folder.syn")).isDir());
}

// A slice is one transaction: a write refused inside it is undone alone.
TEST(DataBatch, ARefusedWriteInsideABatchIsUndoneAloneAndTheOthersCommit) {
    test::TestStore ts;
    Table<UserRecord> users(ts.store());
    {
        DataStore::Batch batch(ts.store(), tables::users());
        UserRecord u = users.prime();
        u.name = "One";
        EXPECT_TRUE(users.insert(u));
        UserRecord dup = users.prime();
        dup.name = "ONE";
        DataStore::Quiet quiet;
        EXPECT_EQ(users.insert(dup).kind, WriteResult::Duplicate);
        UserRecord two = users.prime();
        two.name = "Two";
        EXPECT_TRUE(users.insert(two));
        EXPECT_EQ(batch.commit(), QString());
    }
    {
        DataStore::Batch rolledBack(ts.store(), tables::users());
        UserRecord three = users.prime();
        three.name = "Three";
        EXPECT_TRUE(users.insert(three));
    }
    ts.reopen();
    Table<UserRecord> again(ts.store());
    EXPECT_EQ(again.count(), 2);
}

namespace {

struct LineCase {
    QStringList args;
    char direction; // 0: no synchronization
    const char* user;
    const char* password;
    const char* file;
};

class SyncCommandLine : public ::testing::TestWithParam<LineCase> {};

} // namespace

TEST_P(SyncCommandLine, DirectionAndValuesAreTakenByTheirRules) {
    const LineCase& c = GetParam();
    const SyncOperations::CommandLine line = SyncOperations::parseCommandLine(c.args);
    EXPECT_EQ(line.requested(), c.direction != 0);
    if (c.direction != 0) {
        EXPECT_EQ(line.direction, QLatin1Char(c.direction));
    }
    EXPECT_EQ(line.user, c.user);
    EXPECT_EQ(line.password, c.password);
    EXPECT_EQ(line.file, c.file);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyncCommandLine,
    ::testing::Values(
        LineCase{{"/SyncOut", "User=ann", "Password=pw", "File=home.syn", "Data=A"}, 'O', "ann", "pw", "home.syn"},
        // Positions count every parameter after the program name, named ones included.
        LineCase{{"Sync=In", "alice", "pw", "home.syn"}, 'I', "alice", "pw", "home.syn"},
        LineCase{{"Sync=in", "alice", "pw", "home.syn"}, 0, "alice", "pw", "home.syn"},
        LineCase{{"SYNC=Out", "NAME=bob", "PASSWORD=x", "FILE=f.syn"}, 'O', "bob", "x", "FILE=f.syn"},
        LineCase{{"Sync=Out", "Name=bob", "PASSWORD=x", "FILE=f.syn"}, 'O', "bob", "x", "FILE=f.syn"},
        LineCase{{"Sync=Out", "Name=bob", "FILE=f.syn"}, 'O', "bob", "FILE=f.syn", "f.syn"},
        LineCase{{"/SyncIn"}, 'I', "", "", ""},
        // "O" wins when both kinds of switch stand; a named direction wins over both.
        LineCase{{"/SYNCIN", "/Syncout", "User=u", "Password=p", "File=f"}, 'O', "u", "p", "f"},
        LineCase{{"Sync=Input", "/SyncOut"}, 'I', "/SyncOut", "", ""},
        // Names are matched exactly as spelled; a quoted path with blanks is one parameter.
        LineCase{{"/syncin", "user=ann"}, 0, "user=ann", "", ""},
        LineCase{{"/Syncin", "User=Ann Lee", "Password=p w", "File=/media/my stick/home.syn"},
                 'I',
                 "Ann Lee",
                 "p w",
                 "/media/my stick/home.syn"},
        LineCase{{"Data=A"}, 0, "", "", ""}));

TEST_F(SyncTest, TheCommandLineChoosesTheUserByNameAndChecksHisPassword) {
    addUser(a, "Ann", "Secret");
    addUser(a, "Free", "Not Required");
    SyncOperations sync(a.store(), a.messages());
    auto user = [&](QStringList args) { return sync.commandLineUser(SyncOperations::parseCommandLine(args)); };
    const auto ann = user({"/SyncOut", "User=ANN", "Password=Secret  ", "File=x"});
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->name, "Ann");
    EXPECT_TRUE(user({"/SyncOut", "User=free", "Password=anything", "File=x"}));
    EXPECT_TRUE(a.messages().shown.isEmpty());

    EXPECT_FALSE(user({"/SyncOut", "User=Ann", "Password=secret", "File=x"}));
    EXPECT_EQ(a.messages().shown.last().title, "Access Denied");
    EXPECT_EQ(lastText(a), "Invalid password.  Case does not match.");
    EXPECT_FALSE(user({"/SyncOut", "User=Ann", "Password=wrong", "File=x"}));
    EXPECT_EQ(lastText(a), "Invalid password");
    for (const QStringList& args :
         {QStringList{"/SyncIn"}, QStringList{"/SyncIn", "User=Nobody", "Password=p", "File=x"},
          QStringList{"/SyncIn", "User=Ann", "Password=Secret", "File=  "}}) {
        a.messages().shown.clear();
        EXPECT_FALSE(user(args));
        EXPECT_EQ(a.messages().titles(), QStringList{"Synchonization cancelled"});
        EXPECT_EQ(lastText(a), "Synchonization parameters incorrect.  Check command line.");
    }
}

// Sending to a link replaces the link with the new file; what it pointed to stays as it was.
TEST_F(SyncTest, SendingToALinkReplacesTheLinkNotItsTarget) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    addEntry(a, dated("Ann", "First", day(2026, 6, 1), 1));
    ASSERT_TRUE(send(a, ann, file("old.syn")));
    const QByteArray old = test::fileBytes(file("old.syn"));
    ASSERT_TRUE(QFile::link(file("old.syn"), file("link.syn")));
    addEntry(a, dated("Ann", "Second", day(2026, 6, 2), 1));
    a.messages().shown.clear();
    ASSERT_TRUE(send(a, ann, file("link.syn")));
    EXPECT_EQ(a.messages().titles(), QStringList{"Done"});
    EXPECT_EQ(lastText(a), "Records added to the synchonization file:  2");
    EXPECT_FALSE(QFileInfo(file("link.syn")).isSymLink());
    EXPECT_EQ(test::fileBytes(file("old.syn")), old);
}

// The monitor program holds the same data directory through a store of its own; after its refresh a received
// monitored entry is among the ones it watches.
TEST_F(SyncTest, AMonitorHoldingTheDirectoryWatchesAReceivedEntryAfterItsRefresh) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    PasswordRecord watched = dated("Ann", "Bank", day(2026, 6, 1), 1);
    watched.monitor = 1;
    watched.windowTitleToLocate = QStringLiteral("*Bank Login*");
    addEntry(a, watched);
    ASSERT_TRUE(send(a, ann, file()));

    const UserRecord bob = addUser(b, "Bob", "pw");
    test::TestStore monitorSide(b.dir());
    NoDesktop desktop;
    NoKeyboard keyboard;
    MonitorEngine engine(EngineProgram::Monitor, monitorSide.store(), keyboard, desktop, monitorSide.clock(),
                         SendSettings{7, 0}, MonitorEngine::Callbacks{});
    engine.selectUser("Bob");
    EXPECT_TRUE(engine.rows().empty());

    ASSERT_TRUE(receive(b, bob, file()));
    EXPECT_EQ(lastText(b), "Records added:  1\n\nRecords updated:  0");
    engine.selectUser("Bob");
    ASSERT_EQ(engine.rows().size(), 1u);
    EXPECT_EQ(engine.rows()[0].service, "Bank");
    EXPECT_EQ(engine.rows()[0].windowTitle, "*Bank Login*");
}

// Records are read owner by owner; a record of another owner further on in the file still stops the pass.
TEST_F(SyncTest, ARecordOfAnotherOwnerLaterInTheFileStopsThePassThere) {
    const UserRecord ann = addUser(a, "Ann", "pw");
    for (const char* s : {"A", "B", "C", "D"}) {
        addEntry(a, dated("Ann", s, day(2026, 6, 1), 100));
    }
    ASSERT_TRUE(send(a, ann, file()));
    {
        Connection c(file(), Connection::Mode::ReadWrite, deriveRawKey(a.store().keys().runtimeKey));
        c.exec("UPDATE SyncFile SET User = 'zz' WHERE Service IN ('C', 'D')");
    }
    const UserRecord bob = addUser(b, "Bob", "pw");
    auto pass = receive(b, bob, file(), 1);
    ASSERT_TRUE(pass);
    EXPECT_TRUE(pass->stopped());
    EXPECT_EQ(pass->done(), 3);
    EXPECT_EQ(b.messages().titles(), QStringList({"Password mismatch", "Done"}));
    EXPECT_EQ(lastText(b), "Records added:  2\n\nRecords updated:  0");
}

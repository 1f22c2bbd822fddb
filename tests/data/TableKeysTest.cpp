#include "support/TestStore.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace zendrel;
using zendrel::test::entry;

namespace {

class TableKeysTest : public ::testing::Test {
protected:
    test::TestStore ts;
    Table<UserRecord> users{ts.store()};
    Table<PasswordRecord> entries{ts.store()};

    UserRecord addUser(const QString& name) {
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = QStringLiteral("Not Required");
        EXPECT_TRUE(users.insert(u));
        return u;
    }
    PasswordRecord add(PasswordRecord e) {
        EXPECT_TRUE(entries.insert(e)) << ts.messages().shown.value(0).text.toStdString();
        return e;
    }
    QStringList services(const QString& key, const KeyRange& r) {
        QStringList out;
        for (const auto& e : entries.read(key, r)) {
            out << e.service + QLatin1Char('/') + e.name;
        }
        return out;
    }
};

TEST_F(TableKeysTest, DuplicateEntriesAreRefusedWithoutRegardToCaseNamingTheFirstKey) {
    add(entry("Ann", "Bank", "alice"));
    PasswordRecord dup = entry("Ann", "BANK", "Alice");
    const WriteResult r = entries.insert(dup);
    EXPECT_EQ(r.kind, WriteResult::Duplicate);
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Duplicate Key Error");
    EXPECT_EQ(ts.messages().shown[0].text, "Adding this record creates a duplicate entry for the key: Service");
    EXPECT_EQ(entries.count(), 1);

    // The same service and name for another user, and a non-ASCII name differing in case.
    add(entry("Bob", "Bank", "alice"));
    add(entry("Ann", "Ärger", "über"));
    PasswordRecord folded = entry("Ann", "ärger", "ÜBER");
    EXPECT_EQ(entries.insert(folded).kind, WriteResult::Duplicate);
}

TEST_F(TableKeysTest, UserNamesDifferingOnlyInCaseCannotBothExist) {
    addUser("Carol");
    UserRecord u = users.prime();
    u.name = "CAROL";
    EXPECT_EQ(users.insert(u).kind, WriteResult::Duplicate);
    EXPECT_EQ(ts.messages().shown.last().text, "Adding this record creates a duplicate entry for the key: Name");
}

TEST_F(TableKeysTest, ChangingAnEntryIntoAnotherOnesKeyIsRefusedAndLeavesItUnchanged) {
    add(entry("Ann", "Bank", "alice"));
    PasswordRecord b = add(entry("Ann", "Mail", "alice"));
    b.service = "bank";
    EXPECT_EQ(entries.change(b).kind, WriteResult::Duplicate);
    EXPECT_EQ(entries.get(b.rowId)->service, "Mail");
}

TEST_F(TableKeysTest, RenamingAUserCarriesHisEntriesAlongAndDeletingRemovesThem) {
    UserRecord d = addUser("Default User");
    addUser("Other");
    add(entry("Default User", "A", "x"));
    add(entry("default user", "B", "x"));
    add(entry("Other", "C", "x"));

    d.name = "Dana";
    ASSERT_TRUE(users.change(d));
    EXPECT_EQ(entries.count("P_:KeyService", {QStringLiteral("Dana")}), 2);
    EXPECT_EQ(entries.count("P_:KeyService", {QStringLiteral("Default User")}), 0);

    ASSERT_TRUE(users.remove(d));
    EXPECT_EQ(entries.count(), 1);
    EXPECT_EQ(entries.read("P_:KeyService", {}).front().user, "Other");
}

TEST_F(TableKeysTest, ARenameThatChangesOnlyTheLetterCaseCarriesTheNewSpellingToTheEntries) {
    UserRecord a = addUser("Ann");
    add(entry("Ann", "Bank", "x"));
    a.name = "ANN";
    ASSERT_TRUE(users.change(a));
    const auto rows = entries.read("P_:KeyService", {});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows.front().user, "ANN");
}

TEST(TableRelationsTest, AUserIsRenamedAndDeletedBeforeAnyEntryTableExists) {
    test::TestStore ts;
    Table<UserRecord> users(ts.store());
    UserRecord u = users.prime();
    u.name = "Solo";
    ASSERT_TRUE(users.insert(u));
    UserRecord v = users.prime();
    v.name = "Duo";
    ASSERT_TRUE(users.insert(v));
    u.name = "Single";
    EXPECT_TRUE(users.change(u));
    EXPECT_TRUE(users.remove(u));
    EXPECT_TRUE(ts.messages().shown.isEmpty());
}

// The user's own row is written first and his entries after it: when an entry cannot take the new name (an
// entry of that name and service is there already, left by an older version), both stay as they were.
TEST_F(TableKeysTest, ARenameWhoseEntriesCannotFollowLeavesTheUserAsHeWas) {
    UserRecord d = addUser("Dana");
    add(entry("Dana", "A", "x"));
    add(entry("Zed", "A", "x"));  // an entry whose user is gone
    d.name = "Zed";
    const WriteResult r = users.change(d);
    EXPECT_NE(r.kind, WriteResult::Ok);
    EXPECT_TRUE(users.fetch("U_:KeyName", {QStringLiteral("Dana")}));
    EXPECT_FALSE(users.fetch("U_:KeyName", {QStringLiteral("Zed")}));
    EXPECT_EQ(entries.count("P_:KeyService", {QStringLiteral("Dana")}), 1);
    EXPECT_EQ(entries.count("P_:KeyService", {QStringLiteral("Zed")}), 1);
}

TEST_F(TableKeysTest, AFailedRenameLeavesTheUserAndHisEntriesAsTheyWere) {
    UserRecord d = addUser("Dana");
    addUser("Eve");
    add(entry("Dana", "A", "x"));
    d.name = "eve";
    EXPECT_EQ(users.change(d).kind, WriteResult::Duplicate);
    EXPECT_EQ(entries.count("P_:KeyService", {QStringLiteral("Dana")}), 1);
    EXPECT_TRUE(users.fetch("U_:KeyName", {QStringLiteral("Dana")}));
}

TEST_F(TableKeysTest, ALevelInUseCannotBeDeleted) {
    Table<LevelRecord> levels(ts.store());
    LevelRecord l;
    l.level = 4000;
    l.levelDescription = "Everyone";
    ASSERT_TRUE(levels.insert(l));
    addUser("Fay");
    EXPECT_EQ(levels.remove(l).kind, WriteResult::Refused);
    EXPECT_EQ(ts.messages().shown.last().title, "Referential Integrity Delete Error");
    EXPECT_EQ(ts.messages().shown.last().text,
              "This record is referenced from the file ZD_DATA\\!Users. This record cannot be deleted while these "
              "references exist.");
    EXPECT_EQ(levels.count(), 1);

    LevelRecord bad;
    bad.level = 10001;
    bad.levelDescription = "Too high";
    EXPECT_EQ(levels.insert(bad).kind, WriteResult::Range);
    EXPECT_EQ(ts.messages().shown.last().text, "The value of Level must be between 1 and 10000.");
}

TEST_F(TableKeysTest, NewEntriesGetLevel4000AndTheNumberAboveTheHighestInUse) {
    PasswordRecord fresh = entries.prime();
    EXPECT_EQ(fresh.level, 4000);
    EXPECT_EQ(fresh.id, 1);
    add(entry("Ann", "A", "x"));
    PasswordRecord b = add(entry("Ann", "B", "x"));
    PasswordRecord c = add(entry("Ann", "C", "x"));
    EXPECT_EQ(c.id, 3);
    ASSERT_TRUE(entries.remove(b));
    EXPECT_EQ(entries.prime().id, 4);
    ASSERT_TRUE(entries.remove(c));
    EXPECT_EQ(entries.prime().id, 2);

    // A number primed for a form but taken meanwhile is replaced on insert.
    PasswordRecord first = entries.prime();
    PasswordRecord second = entries.prime();
    first.user = second.user = "Ann";
    first.service = "D";
    second.service = "E";
    first.name = second.name = "x";
    ASSERT_TRUE(entries.insert(first));
    ASSERT_TRUE(entries.insert(second));
    EXPECT_NE(first.id, second.id);
}

TEST_F(TableKeysTest, SecondsToWaitMustLieBetween0And199) {
    for (int v : {0, 150, 199}) {
        PasswordRecord e = entry("Ann", QString::number(v), "x");
        e.secondsToWait = static_cast<uint8_t>(v);
        EXPECT_TRUE(entries.insert(e)) << v;
    }
    PasswordRecord e = entry("Ann", "too long", "x");
    e.secondsToWait = 200;
    EXPECT_EQ(entries.insert(e).kind, WriteResult::Range);
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].title, "Range Error");
    EXPECT_EQ(ts.messages().shown[0].text,
              "The value of Seconds before start of automatic send to must be between 0 and 199.");
    EXPECT_EQ(entries.count(), 3);
}

TEST_F(TableKeysTest, TextIsCutToItsWidthAndTrailingBlanksNeverCount) {
    PasswordRecord e = entry("Ann", QString(200, 'S'), "alice   ");
    e.windowContents = QString(50, 'c');
    e = add(e);
    EXPECT_EQ(e.service.size(), 128);
    EXPECT_EQ(e.name, "alice");
    EXPECT_EQ(e.windowContents.size(), 40);
    auto found = entries.fetch("P_:KeyService", {QStringLiteral("Ann  "), QString(128, 'S') + "   ", QStringLiteral("ALICE ")});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, e.id);
}

TEST_F(TableKeysTest, BlankComponentsLeaveARecordOutOfAKeyExceptTheAddressKey) {
    add(entry("Ann", "Bank", "alice", ""));
    add(entry("Ann", "Auto", "bob", "https://auto.example"));
    // A record whose key components are all blank is not in that key.
    PasswordRecord blank = entry("", "", "");
    add(blank);
    PasswordRecord blank2 = entry("", "", "");
    EXPECT_TRUE(entries.insert(blank2)) << "blank records do not collide in a unique key";

    KeyRange ann;
    ann.prefix = {QStringLiteral("Ann")};
    EXPECT_EQ(services("P_:KeyURL", ann), QStringList({"Bank/alice", "Auto/bob"}));
    EXPECT_EQ(entries.read("P_:KeyService", {}).size(), 2u);
    EXPECT_EQ(entries.read("P_:KeyURL", {}).size(), 4u);
}

TEST_F(TableKeysTest, PositionedReadingPagesForwardAndBackwardInKeyOrder) {
    // Equal monitor flags make many ties in a key that is not unique: paging must still see each once.
    for (int i = 0; i < 25; ++i) {
        PasswordRecord e = entry("Ann", QStringLiteral("S%1").arg(i % 5), QStringLiteral("n%1").arg(i, 2, 10, QChar('0')));
        e.monitor = 1;
        add(e);
    }
    add(entry("Bob", "S0", "zz"));
    KeyRange r;
    r.prefix = {QStringLiteral("Ann"), int64_t{1}};
    r.limit = 4;
    QStringList seen;
    for (;;) {
        auto page = entries.read("P_:KeyMonitor", r);
        for (const auto& e : page) {
            seen << e.service + "/" + e.name;
        }
        if (static_cast<int>(page.size()) < r.limit) {
            break;
        }
        r.from = {page.back().service};
        r.fromRowId = page.back().rowId;
        r.fromExclusive = true;
    }
    ASSERT_EQ(seen.size(), 25);
    EXPECT_EQ(seen.removeDuplicates(), 0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end(), [](const QString& a, const QString& b) {
        return a.section('/', 0, 0) < b.section('/', 0, 0);
    }));

    // Backward from the last row, and a locator that starts at the first service at or after a text.
    KeyRange back;
    back.prefix = {QStringLiteral("Ann")};
    back.backward = true;
    back.limit = 2;
    EXPECT_EQ(services("P_:KeyService", back), QStringList({"S4/n24", "S4/n19"}));
    KeyRange locate;
    locate.prefix = {QStringLiteral("Ann")};
    locate.from = {QStringLiteral("s3")};
    locate.limit = 1;
    EXPECT_EQ(services("P_:KeyService", locate), QStringList({"S3/n03"}));
}

TEST_F(TableKeysTest, ARangeStopsAtItsUpperBound) {
    for (int d : {0, 100, 200, 300}) {
        PasswordRecord e = entry("Ann", QStringLiteral("E%1").arg(d), "x");
        e.expiryDate = d;
        add(e);
    }
    KeyRange r;
    r.prefix = {QStringLiteral("Ann")};
    r.from = {int64_t{1}};
    r.to = {int64_t{200}};
    EXPECT_EQ(services("P_:KeyExpiryDate", r), QStringList({"E100/x", "E200/x"}));
}

TEST_F(TableKeysTest, PhysicalOrderIsTheOrderOfInsertion) {
    addUser("Zed");
    addUser("Amy");
    addUser("Max");
    QStringList names;
    for (const auto& u : users.readPhysical()) {
        names << u.name;
    }
    EXPECT_EQ(names, QStringList({"Zed", "Amy", "Max"}));
    EXPECT_EQ(users.readPhysical(0, 1, true).front().name, "Max");
}

} // namespace

// A long pass keeps writing the log back out of its batches: while held back, the data file itself is
// untouched by commits and changes only at the write-back step; afterwards the store writes back by itself.
TEST_F(TableKeysTest, HeldBackWriteBacksRunOnlyAsTheirOwnStepAndResumeAfterwards) {
    addUser(QStringLiteral("Ann"));
    DataStore& store = ts.store();
    const QString file = store.path(tables::passwords());
    int next = 0;
    auto batchOf = [&](int count) {
        DataStore::Batch batch(store, tables::passwords());
        for (int i = 0; i < count; ++i, ++next) {
            PasswordRecord e = entry("Ann", QStringLiteral("Service %1").arg(next), QStringLiteral("n"));
            e.notes = QString(2000, QLatin1Char('x'));
            add(e);
        }
        EXPECT_EQ(batch.commit(), QString());
    };
    batchOf(1);
    const qint64 before = QFileInfo(file).size();
    {
        DataStore::DeferredCheckpoints held(store, tables::passwords());
        EXPECT_FALSE(held.due());
        while (!held.due()) {
            batchOf(50);
            ASSERT_LT(next, 5000) << "the log never filled";
        }
        // Well past the store's own threshold, and the file has not been written.
        EXPECT_EQ(QFileInfo(file).size(), before);
        held.run();
        EXPECT_FALSE(held.due());
        EXPECT_GT(QFileInfo(file).size(), before);
    }
    const qint64 afterRun = QFileInfo(file).size();
    const int written = next;
    while (QFileInfo(file).size() == afterRun) {
        batchOf(50);
        ASSERT_LT(next - written, 5000) << "the store no longer writes its log back";
    }
    EXPECT_EQ(entries.count(), next);
}

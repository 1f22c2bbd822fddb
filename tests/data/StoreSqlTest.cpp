#define SQLITE_HAS_CODEC 1
#include "data/StoreSql.h"
#include "data/Database.h"

#include <sqlcipher/sqlite3.h>

#include "data/Records.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

const TableDef& pwd() {
    return tables::passwords();
}
const KeyDef& key(const char* name) {
    return pwd().key(QString::fromLatin1(name));
}

TEST(StoreSqlTest, KeysAreIndexesAndKeysThatLeaveOutBlankRecordsArePartial) {
    EXPECT_TRUE(sql::isRowIdKey(pwd(), key("P_:KeyID")));
    EXPECT_EQ(sql::createIndex(pwd(), key("P_:KeyService")),
              R"(CREATE UNIQUE INDEX "Pwd_KeyService" ON "Pwd" ("User", "Service", "Name") )"
              R"(WHERE NOT ("User" = '' AND "Service" = '' AND "Name" = ''))");
    EXPECT_EQ(sql::createIndex(pwd(), key("P_:KeyExpiryDate")),
              R"(CREATE INDEX "Pwd_KeyExpiryDate" ON "Pwd" ("User", "ExpiryDate", "Service") )"
              R"(WHERE NOT ("User" = '' AND "ExpiryDate" = 0 AND "Service" = ''))");
    EXPECT_EQ(sql::createIndex(pwd(), key("P_:KeyURL")),
              R"(CREATE INDEX "Pwd_KeyURL" ON "Pwd" ("User", "URL", "Name"))")
        << "a key that keeps blank records";
    const QString table = sql::createTable(pwd());
    EXPECT_TRUE(
        table.startsWith(R"(CREATE TABLE "Pwd" ("ID" INTEGER PRIMARY KEY, "User" TEXT NOT NULL DEFAULT '' COLLATE )"))
        << table.toStdString();
}

TEST(StoreSqlTest, ARangeReadsThroughItsIndexInKeyOrderWithValuesAsStored) {
    KeyRange r;
    r.prefix = {QString("Ann   ") + QString(200, 'x')};
    r.limit = 10;
    const sql::Query q = sql::readRange(pwd(), key("P_:KeyService"), r);
    EXPECT_TRUE(q.text.contains(
        R"( FROM "Pwd" INDEXED BY "Pwd_KeyService" WHERE NOT ("User" = '' AND "Service" = '' AND "Name" = '') AND "User" = ? ORDER BY "Service", "Name", rowid LIMIT ? OFFSET ?)"))
        << q.text.toStdString();
    ASSERT_EQ(q.binds.size(), 3u);
    EXPECT_EQ(std::get<QString>(q.binds[0]), QString("Ann   ") + QString(122, 'x')) << "cut to the field's 128";
    EXPECT_EQ(q.binds[1], Value(int64_t{10}));
    EXPECT_EQ(q.binds[2], Value(int64_t{0}));

    KeyRange blank;
    blank.prefix = {QString("Ann   ")};
    EXPECT_EQ(std::get<QString>(sql::countRange(pwd(), key("P_:KeyService"), blank).binds[0]), "Ann")
        << "trailing blanks are never stored";
}

TEST(StoreSqlTest, APositionStartsBehindARecordAndSeeksOnItsFirstComponent) {
    KeyRange r;
    r.prefix = {QString("Ann")};
    r.from = {QString("Bank"), QString("alice")};
    r.fromRowId = 42;
    r.fromExclusive = true;
    const sql::Query q = sql::readRange(pwd(), key("P_:KeyService"), r);
    EXPECT_TRUE(q.text.contains(
        R"(AND "User" = ? AND ("Service", "Name", rowid) > (?, ?, ?) AND "Service" >= ? ORDER BY "Service", "Name", rowid)"))
        << q.text.toStdString();
    ASSERT_EQ(q.binds.size(), 7u);
    EXPECT_EQ(q.binds[3], Value(int64_t{42}));
    EXPECT_EQ(q.binds[4], Value(QString("Bank")));

    r.backward = true;
    r.fromExclusive = false;
    r.to = {QString("Apple")};
    const sql::Query back = sql::readRange(pwd(), key("P_:KeyService"), r);
    EXPECT_TRUE(back.text.contains(
        R"(("Service", "Name", rowid) <= (?, ?, ?) AND "Service" <= ? AND "Service" >= ? ORDER BY "Service" DESC, "Name" DESC, rowid DESC)"))
        << back.text.toStdString();
    EXPECT_FALSE(sql::countRange(pwd(), key("P_:KeyService"), r).text.contains("LIMIT"));
}

} // namespace

namespace {

// The order the keys' collation gives two texts: -1, 0 or 1.
int collated(sqlite3* db, const char* a, const char* b) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT (?1 > ?2 COLLATE ZFOLD) - (?1 < ?2 COLLATE ZFOLD)", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, a, -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 2, b, -1, SQLITE_STATIC);
    sqlite3_step(st);
    const int r = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return r;
}

// Equal beginnings are stepped over before anything is folded: the order must be the one that folding the
// whole texts gives, also where the texts part inside a character of several bytes.
TEST(CollationTest, KeysOrderTextsByCaseFoldingWhateverTheyShareAtTheStart) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    registerCollation(db);
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    for (const Case& c : {Case{"Service 0001", "service 0001", 0}, Case{"Service 0001", "Service 0002", -1},
                          Case{"Service 0010", "SERVICE 0002", 1}, Case{"Bank", "Bank ", -1}, Case{"", "a", -1},
                          Case{"name_", "NAMEA", -1},  // "_" sorts after "A" but before "a"
                          Case{"Caf\xc3\xa9", "CAF\xc3\x89", 0}, Case{"Caf\xc3\xa9 1", "caf\xc3\x89 2", -1},
                          Case{"\xc3\xa4x", "\xc3\x84X", 0},  // parting inside the two bytes of the first letter
                          Case{"\xc3\xa4" "b", "\xc3\xa5" "a", -1}, Case{"Stra\xc3\x9f" "e", "STRASSE", 1},
                          Case{"\xe2\x82\xac 5", "\xe2\x82\xac 4", 1}, Case{"a\xf0\x9f\x94\x91", "A\xf0\x9f\x94\x91", 0}}) {
        EXPECT_EQ(collated(db, c.a, c.b), c.order) << c.a << " / " << c.b;
        EXPECT_EQ(collated(db, c.b, c.a), -c.order) << c.b << " / " << c.a;
    }
    sqlite3_close(db);
}

} // namespace

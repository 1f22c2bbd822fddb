#include "data/StoreSql.h"

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

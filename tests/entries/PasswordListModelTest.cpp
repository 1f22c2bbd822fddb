#include "base/Dates.h"
#include "entries/PasswordListModel.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class PasswordListModelTest : public ::testing::Test {
protected:
    test::TestStore ts;
    PasswordListModel model{ts.store(), ts.clock()};

    void add(const QString& user, const QString& service, const QString& name, int32_t expiry = 0) {
        PasswordRecord e = test::entry(user, service, name);
        e.expiryDate = expiry;
        e.url = "https://" + service.toLower() + ".example";
        ASSERT_TRUE(Table<PasswordRecord>(ts.store()).insert(e));
    }
    QStringList column(int c) {
        QStringList out;
        for (int r = 0; r < model.rowCount(); ++r) {
            out << model.data(model.index(r, c)).toString();
        }
        return out;
    }
};

TEST_F(PasswordListModelTest, ShowsOnlyTheUsersEntriesInEachOrder) {
    add("Ann", "Charlie", "zed");
    add("Ann", "alpha", "mike");
    add("Bob", "Bravo", "bob");
    add("Ann", "Bravo", "adam");
    model.setUser("Ann");
    EXPECT_EQ(column(0), QStringList({"alpha", "Bravo", "Charlie"}));
    model.setOrder(PasswordListModel::Order::Name);
    EXPECT_EQ(column(2), QStringList({"adam", "mike", "zed"}));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "URL (Link)");
}

TEST_F(PasswordListModelTest, TheExpiredTabHoldsDatesUpToTodayOnly) {
    const int32_t today = ts.clock().today();
    add("Ann", "Never", "n", 0);
    add("Ann", "Past", "p", today - 10);
    add("Ann", "Today", "t", today);
    add("Ann", "Tomorrow", "m", today + 1);
    model.setUser("Ann");
    model.setOrder(PasswordListModel::Order::Expired);
    EXPECT_EQ(column(0), QStringList({"Past", "Today"}));
    model.setDatePicture("d2");
    EXPECT_EQ(column(4).last(), dateOf(today).toString("MM/dd/yyyy"));
    // The entry that expires today is found in its row, so a selection kept across a refresh stays on it.
    for (const PasswordRecord& e : Table<PasswordRecord>(ts.store()).read("P_:KeyService", {})) {
        const int expected = e.service == "Past" ? 0 : e.service == "Today" ? 1 : -1;
        EXPECT_EQ(model.rowOf(e), expected) << e.service.toStdString();
    }
}

TEST_F(PasswordListModelTest, PagesFollowEachOtherWithoutGapsOrRepeats) {
    std::vector<Row> rows;
    for (int i = 0; i < 1234; ++i) {
        PasswordRecord e = test::entry("Ann", QStringLiteral("S%1").arg(i % 7), QStringLiteral("n%1").arg(i, 5, 10, QChar('0')));
        e.lastChangeDate = 81000 + i % 3;  // many equal dates: ties in a key that is not unique
        rows.push_back(toRow(e));
    }
    ASSERT_TRUE(ts.store().insertMany(tables::passwords(), rows));
    for (auto order : {PasswordListModel::Order::Service, PasswordListModel::Order::Date}) {
        model.setUser("Ann");
        model.setOrder(order);
        ASSERT_EQ(model.rowCount(), 1234);
        QStringList names = column(2);
        EXPECT_EQ(names.size(), 1234);
        names.removeDuplicates();
        EXPECT_EQ(names.size(), 1234);
        // A jump to the end reads that page alone.
        model.refresh();
        EXPECT_FALSE(model.data(model.index(1233, 2)).toString().isEmpty());
    }
}

TEST_F(PasswordListModelTest, TheLocatorStepsToTheFirstServiceAtOrAfterTheCharacter) {
    for (const char* s : {"apple", "Banana", "cherry", "Date"}) {
        add("Ann", s, "x");
    }
    model.setUser("Ann");
    EXPECT_EQ(model.locate(QChar('b')), 1);
    EXPECT_EQ(model.locate(QChar('C')), 2);
    EXPECT_EQ(model.locate(QChar('e')), -1);
    const auto e = model.entryAt(3);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->service, "Date");
    ASSERT_TRUE(Table<PasswordRecord>(ts.store()).remove(*e));
    EXPECT_FALSE(model.entryAt(3)) << "an entry deleted meanwhile is not acted on";
}

} // namespace

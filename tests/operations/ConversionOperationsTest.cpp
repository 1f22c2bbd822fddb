// The conversion of version 2.1's tables, on previous version tables made with the sqlcipher shell.
#include "operations/ConversionOperations.h"

#include "session/ConfigStore.h"
#include "session/Login.h"
#include "support/PreviousVersionTables.h"
#include "support/TestStore.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

using Fields = QList<QPair<QString, QVariant>>;

const QString kRangeText =
    QStringLiteral("The value of Seconds before start of automatic send to must be between 0 and 199.");

class ConversionTest : public ::testing::Test {
protected:
    test::TestStore ts;
    test::PreviousVersionTables old{ts.dir()};

    void SetUp() override { ASSERT_TRUE(old.create()); }

    QStringList convert() { return ConversionOperations(ts.store(), ts.messages()).convertAll(); }
    std::vector<UserRecord> users() { return Table<UserRecord>(ts.store()).readPhysical(); }
    std::vector<PasswordRecord> entries() { return Table<PasswordRecord>(ts.store()).readPhysical(); }
    QStringList userNames() {
        QStringList names;
        for (const UserRecord& u : users()) {
            names << u.name;
        }
        return names;
    }
    QStringList services() {
        QStringList names;
        for (const PasswordRecord& e : entries()) {
            names << e.service;
        }
        return names;
    }
    static Fields entry(const QString& user, const QString& service, const QString& name, Fields more = {}) {
        return Fields{{"User", user}, {"Service", service}, {"Name", name}} + more;
    }
};

TEST_F(ConversionTest, EveryCarriedFieldArrivesAndNoOtherDoesThenTheOldTablesAndTheirFileGo) {
    const QString notes = QString(10000, QLatin1Char('n'));
    const QString moreNotes = QString(5000, QLatin1Char('m'));
    const QString url = QStringLiteral("https://") + QString(82, QLatin1Char('u'));
    ASSERT_EQ(url.size(), 90);
    ASSERT_TRUE(old.addUser({{"Name", "Ann"},
                             {"Password", "pw1"},
                             {"ConfirmPassword", "pw1"},
                             {"LastDateChanged", 80123},
                             {"LastTimeChanged", 4500001},
                             {"Flag1", 1},
                             {"Flag2", 1},
                             {"Other1", "other"},
                             {"Other2", "other2"},
                             {"Notes", QString(255, QLatin1Char('x'))}}));
    ASSERT_TRUE(old.addUser({{"Name", "Bob"}, {"Password", "Not Required"}, {"ConfirmPassword", "Not Required"}}));
    ASSERT_TRUE(old.addEntry(entry("Ann", "Bank", "ann",
                                   {{"URL", url},
                                    {"Password", "s3cret"},
                                    {"ConfirmPassword", "s3cret"},
                                    {"LastChangeDate", 80200},
                                    {"LastChangeTime", 100},
                                    {"OtherData", "od"},
                                    {"OtherData2", "od2"},
                                    {"Flag1", 1},
                                    {"Flag2", 1},
                                    {"Flag3", 1},
                                    {"Monitor", 1},
                                    {"TypeOfService", "Web"},
                                    {"SecondsToWait", 199},
                                    {"WindowTitleToLocate", "*Bank Login"},
                                    {"DoNotRepeatSeconds", 3600},
                                    {"Paste", "[Name][Tab][Password][Enter]"},
                                    {"Other1", "o1"},
                                    {"Other2", "o2"},
                                    {"APFlag1", 1},
                                    {"APFlag2", 1},
                                    {"APFlag3", 1},
                                    {"Notes", notes},
                                    {"MoreNotes", moreNotes}})));
    ASSERT_TRUE(old.addEntry(entry("Bob", "Mail", "bob")));
    ts.expectOnlyMessages({});

    EXPECT_EQ(convert(), (QStringList{"Users converted:  2", "Users left in the previous version's file:  0",
                                      "Entries converted:  2", "Entries left in the previous version's file:  0"}));

    const auto u = users();
    ASSERT_EQ(u.size(), 2u);
    EXPECT_EQ(u[0].name, "Ann");
    EXPECT_EQ(u[0].password, "pw1");
    EXPECT_EQ(u[0].confirmPassword, "pw1");
    EXPECT_EQ(u[0].lastDateChanged, 80123);
    EXPECT_EQ(u[0].lastTimeChanged, 4500001);
    EXPECT_EQ(u[0].notes, QString(255, QLatin1Char('x')));
    EXPECT_EQ(u[0].level, 0) << "every field not carried over is blank or zero";
    EXPECT_EQ(u[0].showPasswords, 0);
    EXPECT_EQ(u[0].passwordType, "");
    EXPECT_EQ(u[0].lastNameUsed, "");
    EXPECT_EQ(u[1].name, "Bob");
    EXPECT_EQ(u[1].password, kNotRequired);

    const auto e = entries();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].id, 1);
    EXPECT_EQ(e[1].id, 2) << "entries are numbered as they are inserted";
    EXPECT_EQ(e[0].user, "Ann");
    EXPECT_EQ(e[0].service, "Bank");
    EXPECT_EQ(e[0].name, "ann");
    EXPECT_EQ(e[0].url, url) << "a 90-character address is kept whole";
    EXPECT_EQ(e[0].password, "s3cret");
    EXPECT_EQ(e[0].confirmPassword, "s3cret");
    EXPECT_EQ(e[0].lastChangeDate, 80200);
    EXPECT_EQ(e[0].lastChangeTime, 100);
    EXPECT_EQ(e[0].monitor, 1);
    EXPECT_EQ(e[0].secondsToWait, 199);
    EXPECT_EQ(e[0].windowTitleToLocate, "*Bank Login");
    EXPECT_EQ(e[0].doNotRepeatSeconds, 3600);
    EXPECT_EQ(e[0].paste, "[Name][Tab][Password][Enter]");
    EXPECT_EQ(e[0].notes, notes);
    EXPECT_EQ(e[0].moreNotes, moreNotes);
    EXPECT_EQ(e[0].level, 0);
    EXPECT_EQ(e[0].expiryDate, 0);
    EXPECT_EQ(e[0].expiryInterval, 0);
    EXPECT_EQ(e[0].windowContents, "");
    EXPECT_EQ(e[0].directSend, 0);
    EXPECT_EQ(e[0].startType, "") << "the service type is not carried over";
    EXPECT_EQ(e[0].filename, "");
    EXPECT_EQ(e[0].encryptedFilename, "");
    EXPECT_TRUE(e[0].encryptedFile.isEmpty());

    EXPECT_FALSE(QFile::exists(old.path()));
    for (const char* log : {"-wal", "-shm", "-journal"}) {
        EXPECT_FALSE(QFile::exists(old.path() + QLatin1String(log))) << log;
    }
    EXPECT_EQ(Login(ts.store()).usersByName().size(), 2u) << "no \"Default User\" beside the users converted";
}

// A refused record is asked about after the records before it have come over; "Yes" keeps it in the old table
// and goes on, "No" stops that table at once with the rest left there. Either way the file stays.
TEST_F(ConversionTest, ARefusedRecordIsAskedAboutAndKeptAndNoStopsItsTable) {
    struct Case {
        const char* name;
        Answer answer;
        QStringList usersAfter;
        QStringList usersLeft;
    };
    for (const Case& c :
         {Case{"yes", Answer::Yes, {"Ann", "Cid"}, {"ann"}}, Case{"no", Answer::No, {"Ann"}, {"ann", "Cid"}}}) {
        SCOPED_TRACE(c.name);
        test::TestStore target;
        test::PreviousVersionTables from(target.dir());
        ASSERT_TRUE(from.create());
        for (const char* name : {"Ann", "ann", "Cid"}) {
            ASSERT_TRUE(from.addUser({{"Name", name}}));
        }
        ASSERT_TRUE(from.addEntry(entry("Ann", "Bank", "ann", {{"SecondsToWait", 250}})));
        ASSERT_TRUE(from.addEntry(entry("Cid", "Mail", "cid")));
        target.messages().answers = {c.answer, c.answer};
        ConversionOperations(target.store(), target.messages()).convertAll();

        ASSERT_EQ(target.messages().shown.size(), 2);
        const Message& user = target.messages().shown[0];
        EXPECT_EQ(user.title, "ERROR");
        EXPECT_EQ(user.text,
                  "Error adding record|Adding this record creates a duplicate entry for the key: Name|Users");
        EXPECT_EQ(user.buttons, Buttons::YesNo);
        EXPECT_EQ(user.defaultAnswer, Answer::Yes);
        EXPECT_EQ(target.messages().shown[1].text, "Error adding record|" + kRangeText + "|Passwords")
            << "seconds to wait of 250 are refused by the range check";

        QStringList names;
        for (const UserRecord& u : Table<UserRecord>(target.store()).readPhysical()) {
            names << u.name;
        }
        EXPECT_EQ(names, c.usersAfter);
        EXPECT_EQ(from.column("US", "Name"), c.usersLeft);
        EXPECT_EQ(from.column("PW", "Service"),
                  (c.answer == Answer::Yes ? QStringList{"Bank"} : QStringList{"Bank", "Mail"}));
        EXPECT_EQ(Table<PasswordRecord>(target.store()).count(), c.answer == Answer::Yes ? 1 : 0);
        EXPECT_TRUE(QFile::exists(from.path()));
    }
}

// What a conversion interrupted between storing a copy and deleting its old record leaves: the record in both
// places. The next conversion removes the old one without a question; a different record under the same key
// is still refused.
TEST_F(ConversionTest, ARecordAlreadyConvertedIsRemovedFromTheOldTableWithoutAQuestion) {
    ASSERT_TRUE(old.addUser({{"Name", "Ann"}, {"Password", "pw"}, {"ConfirmPassword", "pw"}}));
    ASSERT_TRUE(old.addEntry(entry("Ann", "Bank", "ann", {{"Password", "a"}, {"Notes", "n"}})));
    ASSERT_TRUE(old.addEntry(entry("Ann", "Mail", "ann", {{"Password", "b"}})));
    ASSERT_TRUE(old.addEntry(entry("Ann", "Shop", "ann", {{"Password", "c"}})));
    {
        Table<UserRecord> u(ts.store());
        UserRecord ann;
        ann.name = "Ann";
        ann.password = ann.confirmPassword = "pw";
        ASSERT_TRUE(u.insert(ann));
        Table<PasswordRecord> p(ts.store());
        PasswordRecord bank;
        bank.user = "Ann";
        bank.service = "Bank";
        bank.name = "ann";
        bank.password = "a";
        bank.notes = "n";
        ASSERT_TRUE(p.insert(bank));
        PasswordRecord shop = bank;
        shop.service = "Shop";
        shop.password = "changed since";
        shop.notes.clear();
        ASSERT_TRUE(p.insert(shop));
    }
    ts.messages().answers = {Answer::Yes};
    convert();
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_EQ(ts.messages().shown[0].text,
              "Error adding record|Adding this record creates a duplicate entry for the key: Service|Passwords");
    EXPECT_EQ(services(), (QStringList{"Bank", "Shop", "Mail"}));
    EXPECT_EQ(users().size(), 1u);
    EXPECT_EQ(old.count("US"), -1) << "the user's old table is gone";
    EXPECT_EQ(old.column("PW", "Service"), QStringList{"Shop"});
}

// Files that are no previous version tables of ours are left as they are, without a word; a directory in the
// file's place is a failure that is said, and the start goes on.
TEST_F(ConversionTest, AFileThatIsNotOursIsLeftAloneSilentlyAndADirectoryIsReported) {
    struct Case {
        const char* name;
        std::function<bool(const QString& dir)> make;
    };
    const QList<Case> cases = {
        {"no file", [](const QString&) { return true; }},
        {"another key",
         [](const QString& dir) {
             test::PreviousVersionTables other(dir, QStringLiteral("not the password of version 2.1"));
             return other.create() && other.addUser({{"Name", "Ann"}});
         }},
        {"random bytes",
         [](const QString& dir) {
             QFile f(QDir(dir).filePath("ZDDATA"));
             QByteArray bytes;
             for (int i = 0; i < 8192; ++i) {
                 bytes += static_cast<char>((i * 7919 + 13) % 251);
             }
             return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
         }},
        {"another layout",
         [](const QString& dir) {
             test::PreviousVersionTables other(dir);
             return other.run("CREATE TABLE \"US\" (\"Name\" TEXT, \"Age\" INTEGER);\n"
                              "CREATE TABLE \"PW\" (\"Secret\" TEXT);\n"
                              "INSERT INTO \"US\" VALUES ('Ann', 3);\n");
         }},
        {"a table missing",
         [](const QString& dir) {
             test::PreviousVersionTables other(dir);
             return other.create(false, true);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TestStore target;
        ASSERT_TRUE(c.make(target.dir()));
        const QByteArray before = test::fileBytes(QDir(target.dir()).filePath("ZDDATA"));
        target.expectOnlyMessages({});
        EXPECT_EQ(ConversionOperations(target.store(), target.messages()).convertAll(),
                  std::string(c.name) == "a table missing"
                      ? (QStringList{"Entries converted:  0", "Entries left in the previous version's file:  0"})
                      : QStringList{});
        EXPECT_EQ(Table<UserRecord>(target.store()).count(), 0);
        if (std::string(c.name) != "a table missing") {
            EXPECT_EQ(test::fileBytes(QDir(target.dir()).filePath("ZDDATA")), before) << "the file is left as it was";
        }
    }

    {
        // What a conversion ended just before removing the file leaves: the file of ours without tables. It goes.
        test::TestStore target;
        test::PreviousVersionTables emptied(target.dir());
        ASSERT_TRUE(emptied.create());
        ASSERT_TRUE(emptied.run("DROP TABLE \"US\";\nDROP TABLE \"PW\";\n"));
        target.expectOnlyMessages({});
        EXPECT_EQ(ConversionOperations(target.store(), target.messages()).convertAll(), QStringList{});
        EXPECT_FALSE(QFile::exists(emptied.path()));
    }

    test::TestStore target;
    ASSERT_TRUE(QDir(target.dir()).mkdir("ZDDATA"));
    EXPECT_EQ(ConversionOperations(target.store(), target.messages()).convertAll(), QStringList{});
    ASSERT_EQ(target.messages().shown.size(), 2);
    EXPECT_EQ(target.messages().shown[0].title, "ERROR");
    EXPECT_EQ(target.messages().shown[0].text,
              "Error opening file|Not a regular file (48)|Previous Version Users File");
    EXPECT_EQ(target.messages().shown[1].text,
              "Error opening file|Not a regular file (48)|Previous Version Passwords File");
    EXPECT_TRUE(QFileInfo(QDir(target.dir()).filePath("ZDDATA")).isDir());
}

// Values at the edges of the old layouts come over as carried, or are refused with their message and kept.
TEST_F(ConversionTest, OddOldValuesAreCarriedCutOrRefusedButNeverLost) {
    const QString thirty = QStringLiteral("Name with blanks at its end   ");
    ASSERT_EQ(thirty.size(), 30);
    ASSERT_TRUE(old.addUser({{"Name", thirty}, {"LastDateChanged", 0}}));
    ASSERT_TRUE(old.addUser({{"Name", "ANN"}, {"LastDateChanged", -800000}}));
    ASSERT_TRUE(old.addUser({{"Name", "ann"}}));
    // An old file written by something careless: a text longer than its field and a date beyond a LONG.
    ASSERT_TRUE(old.addEntry(entry("ann", "Bank", "a", {{"LastChangeDate", -1}, {"Paste", QString(300, 'p')}})));
    ASSERT_TRUE(old.addEntry(entry(thirty, "Mail", "m", {{"LastChangeDate", qlonglong{1} << 40}})));
    ASSERT_TRUE(old.addEntry(entry("Nobody", "Shop", "s", {{"SecondsToWait", 1000}})));
    ts.messages().answers = {Answer::Yes, Answer::Yes};
    convert();

    EXPECT_EQ(ts.messages().titles(), (QStringList{"ERROR", "ERROR"}));
    EXPECT_EQ(ts.messages().shown[1].text, "Error adding record|" + kRangeText + "|Passwords");
    EXPECT_EQ(userNames(), (QStringList{"Name with blanks at its end", "ANN"}));
    const auto e = entries();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].user, "ann") << "an entry of the refused user comes over, found under ANN without regard to case";
    EXPECT_EQ(e[0].lastChangeDate, -1);
    EXPECT_EQ(e[0].paste, QString(255, 'p'));
    EXPECT_EQ(e[1].user, "Name with blanks at its end");
    EXPECT_EQ(e[1].lastChangeDate, INT32_MAX);
    EXPECT_EQ(Table<PasswordRecord>(ts.store()).count("P_:KeyService", {QStringLiteral("ANN")}), 1);
    EXPECT_EQ(old.column("US", "Name"), QStringList{"ann"});
    EXPECT_EQ(old.column("PW", "Service"), QStringList{"Shop"});
}

// The first start of the main program converts when the previous version's settings admit it: a version
// below this program's, read as a decimal number, a missing one read as 0. Later starts never convert.
TEST(ConversionTriggerTest, TheFirstRunConvertsWhenThePreviousVersionIsBelowThisOne) {
    struct Case {
        const char* ini;
        bool converts;
    };
    for (const Case& c :
         {Case{nullptr, true}, Case{"[Zendrel]\nZD_Version=2.1\n", true}, Case{"[Zendrel]\nZD_Version=2.65\n", true},
          Case{"[Zendrel]\nZD_CI=5\n", true}, Case{"[Zendrel]\nZD_Version=2.7\n", false},
          Case{"[Zendrel]\nZD_Version=3.0\n", false}, Case{"[Other]\nZD_Version=3.0\n", true}}) {
        SCOPED_TRACE(c.ini ? c.ini : "no WIN.INI");
        test::TestStore ts;
        if (c.ini) {
            QFile ini(ts.file("WIN.INI"));
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write(c.ini);
        }
        ConfigStore config(ts.store());
        int calls = 0;
        loadMainSettings(ts.store(), config, [&calls] { ++calls; });
        EXPECT_EQ(calls, c.converts ? 1 : 0);
        loadMainSettings(ts.store(), config, [&calls] { ++calls; });
        EXPECT_EQ(calls, c.converts ? 1 : 0) << "only the first run converts";
    }
}

} // namespace

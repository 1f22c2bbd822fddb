// Import and export passes on a real store: what a file carries from one user to another, and what the
// import makes of lines it cannot take.
#include "operations/TransferOperations.h"

#include "base/Dates.h"
#include "data/Database.h"
#include "session/Login.h"
#include "session/OwnerKeys.h"
#include "support/Mounts.h"
#include "support/TestStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class TransferTest : public ::testing::Test {
protected:
    test::TestStore ts;
    QTemporaryDir files;
    QString csv = QDir(files.path()).filePath("out.csv");

    UserRecord addUser(const QString& name) {
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = u.confirmPassword = kNotRequired;
        EXPECT_TRUE(users.insert(u));
        return u;
    }
    void add(PasswordRecord e) {
        Table<PasswordRecord> entries(ts.store());
        e.id = entries.prime().id;
        ASSERT_TRUE(entries.insert(e));
    }
    std::vector<PasswordRecord> entriesOf(const QString& user) {
        std::vector<PasswordRecord> out;
        for (auto& e : Table<PasswordRecord>(ts.store()).readPhysical()) {
            if (e.user == user) {
                out.push_back(e);
            }
        }
        return out;
    }
    void writeFile(const QByteArray& bytes) {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    int64_t exportAll(const UserRecord& user, bool header = true) {
        std::vector<TransferOperations::ExportField> chosen;
        for (const auto& f : TransferOperations::fields()) {
            chosen.push_back({f.name, f.picture});
        }
        TransferOperations ops(ts.store(), ts.messages());
        auto text = DelimitedText::claim(ts.messages(), nullptr, &ts.store());
        auto pass = ops.startExport(*text, user, chosen, header, csv);
        EXPECT_TRUE(pass);
        if (!pass) {
            return -1;
        }
        while (pass->slice()) {
        }
        EXPECT_TRUE(pass->finish());
        return pass->written();
    }
    // Imports the file with the given assignment and pictures by column; the number added.
    int64_t importFile(const UserRecord& user, std::vector<int> assignment, bool automatic, bool strip = false,
                       const std::map<int, QString>& pictures = {}, int* activity = nullptr) {
        TransferOperations ops(ts.store(), ts.messages());
        auto text = DelimitedText::claim(ts.messages(), nullptr, &ts.store());
        auto source = ops.openSource(*text, csv);
        if (!source) {
            return -1;
        }
        for (const auto& [c, p] : pictures) {
            source->columns()[static_cast<size_t>(c)].picture = p;
        }
        assignment.resize(TransferOperations::fields().size(), -1);
        if (automatic) {
            EXPECT_EQ(source->autoAssign(assignment), 20);
            strip = true;
        }
        auto pass = ops.startImport(*text, user, source->columns(), assignment, strip);
        if (activity) {
            pass->onAdded = [activity] { ++*activity; };
        }
        int percent = 0;
        while (pass->slice()) {
            EXPECT_GE(pass->percent(), percent);
            percent = pass->percent();
        }
        if (!pass->stopped()) {
            EXPECT_EQ(pass->percent(), 100);
        }
        return pass->added();
    }
    static std::vector<int> mapped(std::initializer_list<std::pair<const char*, int>> pairs) {
        std::vector<int> a(TransferOperations::fields().size(), -1);
        for (const auto& [field, column] : pairs) {
            a[static_cast<size_t>(TransferOperations::fieldNumber(field))] = column;
        }
        return a;
    }
};

TEST_F(TransferTest, AllTwentyFieldsExportedWithTheirHeaderComeBackForAnotherUser) {
    const UserRecord ann = addUser("Ann");
    const UserRecord bob = addUser("Bob");
    PasswordRecord e = test::entry("Ann", "Mail, \"work\"", QString::fromUtf8("J\xc3\xb6rg"), "https://mail.example");
    e.password = "p\"w,1";
    e.notes = QString::fromUtf8("line one\nline \"two\", with \xe2\x82\xac\r\n") + QString(9000, 'n');
    e.moreNotes = "more";
    e.expiryDate = dayNumber(QDate(2024, 2, 29));
    e.expiryInterval = 0;
    e.lastChangeDate = dayNumber(QDate(1999, 12, 31));
    e.lastChangeTime = (17 * 3600 + 30 * 60) * 100 + 1;
    e.level = 17;
    e.monitor = 1;
    e.secondsToWait = 199;
    e.windowTitleToLocate = "Inbox - Mail";
    e.windowContents = "Password:";
    e.doNotRepeatSeconds = 86400;
    e.paste = "[Name][Tab][Password][Enter]";
    e.directSend = 1;
    e.filename = "/usr/bin/mail";
    e.encryptedFilename = "keys.txt";
    add(e);
    add(test::entry("Ann", "Bank", "ann"));
    add(test::entry("Bob", "Not exported", "bob"));

    ASSERT_EQ(exportAll(ann), 2);
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("\"P_:Notes\",\"P_:MoreNotes\",\"P_:Service\",\"P_:URL\""));
    EXPECT_FALSE(bytes.contains("Not exported"));
    EXPECT_EQ(bytes.count("\r\n"), 3 + 1);  // three lines and the one inside the note

    // Dates, times and the seconds read through the pictures they were written with.
    std::map<int, QString> pictures;
    for (size_t i = 0; i < TransferOperations::fields().size(); ++i) {
        const QString& p = TransferOperations::fields()[i].picture;
        if (!p.startsWith("@s") && !p.startsWith("@n")) {
            pictures[static_cast<int>(i)] = p;
        }
    }
    ASSERT_EQ(importFile(bob, {}, true, true, pictures), 2);
    EXPECT_TRUE(ts.messages().shown.isEmpty()) << ts.messages().titles().join(", ").toStdString();
    const auto got = entriesOf("Bob");
    ASSERT_EQ(got.size(), 3u);
    const PasswordRecord& r = got[1];
    EXPECT_EQ(r.service, e.service);
    EXPECT_EQ(r.name, e.name);
    EXPECT_EQ(r.url, e.url);
    EXPECT_EQ(r.password, e.password);
    EXPECT_EQ(r.confirmPassword, e.password);
    EXPECT_EQ(r.notes, e.notes);
    EXPECT_EQ(r.moreNotes, e.moreNotes);
    EXPECT_EQ(r.expiryDate, e.expiryDate);
    EXPECT_EQ(r.lastChangeDate, e.lastChangeDate);
    EXPECT_EQ(r.lastChangeTime, e.lastChangeTime);
    EXPECT_EQ(r.level, 17);
    EXPECT_EQ(r.monitor, 1);
    EXPECT_EQ(r.secondsToWait, 199);
    EXPECT_EQ(r.windowTitleToLocate, e.windowTitleToLocate);
    EXPECT_EQ(r.windowContents, e.windowContents);
    EXPECT_EQ(r.doNotRepeatSeconds, 86400);
    EXPECT_EQ(r.paste, e.paste);
    EXPECT_EQ(r.directSend, 1);
    EXPECT_EQ(r.filename, e.filename);
    EXPECT_EQ(r.encryptedFilename, e.encryptedFilename);
    EXPECT_EQ(got[2].service, "Bank");
    EXPECT_EQ(got[2].level, 4000);
}

TEST_F(TransferTest, ALineImportedTwiceEndsAfterTheNumberingQuestionAndKeepsWhatWasAdded) {
    const UserRecord ann = addUser("Ann");
    writeFile("Mail,ann\r\nBank,ann\r\nmail,ANN\r\nShop,ann\r\n");
    ts.messages().answers = {Answer::Retry, Answer::Cancel};
    int activity = 0;
    EXPECT_EQ(importFile(ann, mapped({{"P_:Service", 0}, {"P_:Name", 1}}), false, false, {}, &activity), 2);
    EXPECT_EQ(activity, 2);
    EXPECT_EQ(ts.messages().titles(),
              QStringList({"Auto Increment Error", "Auto Increment Error", "Cannot ADD to Passwords!"}));
    const Message& question = ts.messages().shown[0];
    EXPECT_EQ(question.buttons, Buttons::RetryCancel);
    EXPECT_EQ(question.defaultAnswer, Answer::Cancel);
    EXPECT_TRUE(question.text.startsWith("Attempts to automatically number this record have failed.  Error: "));
    EXPECT_TRUE(question.text.endsWith(").")) << question.text.toStdString();
    EXPECT_TRUE(ts.messages().shown[2].text.startsWith("Error #")) << ts.messages().shown[2].text.toStdString();
    const auto got = entriesOf("Ann");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].id, 1);
    EXPECT_EQ(got[1].id, 2);
}

TEST_F(TransferTest, EachLineStartsFromANewRecordAndBadValuesGetTheirDocumentedResult) {
    const UserRecord ann = addUser("Ann");
    // A shorter line, a longer one, letters in numbers, a date that does not exist, a blank line.
    writeFile("\"Mail\",\"https://a\",\"12 seconds\",7,\"02/30/2024\"\n"
              "Bank\n"
              "\n"
              "Shop,,x,abc,31/12/2030,extra,columns\n");
    const auto a = mapped({{"P_:Service", 0},
                           {"P_:URL", 1},
                           {"P_:Name", 0},
                           {"P_:SecondsToWait", 2},
                           {"P_:Level", 3},
                           {"P_:ExpiryDate", 4}});
    EXPECT_EQ(importFile(ann, a, false, false, {{2, "@p<<<# secondspb"}, {4, "@d2"}}), 3);
    EXPECT_TRUE(ts.messages().shown.isEmpty());
    const auto got = entriesOf("Ann");
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].name, "Mail");  // one column feeds two fields
    EXPECT_EQ(got[0].secondsToWait, 12);
    EXPECT_EQ(got[0].expiryDate, 0);
    EXPECT_EQ(got[1].service, "Bank");
    EXPECT_EQ(got[1].url, "");  // nothing of the line before
    EXPECT_EQ(got[1].secondsToWait, 0);
    EXPECT_EQ(got[1].level, 0);
    EXPECT_EQ(got[2].level, 0);  // "abc" is no number
    EXPECT_EQ(got[2].secondsToWait, 0);
    EXPECT_EQ(got[2].expiryDate, 0);  // not in the picture's form
    for (const auto& e : got) {
        EXPECT_EQ(e.user, "Ann");
        EXPECT_EQ(e.paste, "");
    }
}

TEST_F(TransferTest, ANumberBeyondItsFieldIsRefusedWithTheRangeMessageNeverWrapped) {
    const UserRecord ann = addUser("Ann");
    struct Case {
        const char* field;
        const char* value;
        const char* text;
    };
    for (const Case& c : {Case{"P_:SecondsToWait", "200",
                               "The value of Seconds before start of automatic send to must be between 0 and 199."},
                          Case{"P_:Monitor", "256", "The value of P_:Monitor must be between 0 and 255."},
                          Case{"P_:DirectSend", "-1", "The value of P_:DirectSend must be between 0 and 255."},
                          Case{"P_:Level", "2147483648",
                               "The value of P_:Level must be between -2147483648 and 2147483647."}}) {
        ts.messages().shown.clear();
        writeFile(QStringLiteral("A%1,1\nB%1,%2\nC%1,1\n").arg(c.field, c.value).toUtf8());
        EXPECT_EQ(importFile(ann, mapped({{"P_:Service", 0}, {c.field, 1}}), false), 1) << c.field;
        ASSERT_EQ(ts.messages().titles(), QStringList{"Range Error"}) << c.field;
        EXPECT_EQ(ts.messages().shown[0].text, c.text);
    }
    EXPECT_EQ(entriesOf("Ann").size(), 4u);
}

TEST_F(TransferTest, TheFileShowsItsColumnsAndAutoFindsOnlyExactNames) {
    const UserRecord ann = addUser("Ann");
    writeFile("\"P_:Service\",\"p_:name\",\"P_:Password  \",\"x\"\n\"a\",12,\"c\",\n\"b\",\"n\",\"q\",\"z\"\n");
    TransferOperations ops(ts.store(), ts.messages());
    auto text = DelimitedText::claim(ts.messages(), nullptr, &ts.store());
    auto source = ops.openSource(*text, csv);
    ASSERT_TRUE(source);
    const auto& cols = source->columns();
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_EQ(cols[0].name, "Field_1");
    EXPECT_EQ(cols[1].name, "Field_2");
    EXPECT_EQ(cols[0].picture, "@S1000");
    EXPECT_EQ(cols[1].picture, "@N30.9");  // unquoted in the second line
    EXPECT_EQ(cols[3].picture, "@S1000");  // absent from it
    EXPECT_EQ(cols[0].value, "P_:Service");
    EXPECT_EQ(source->record(), 1);

    std::vector<int> assignment(20, -1);
    EXPECT_EQ(source->autoAssign(assignment), 2);
    EXPECT_EQ(assignment[static_cast<size_t>(TransferOperations::fieldNumber("P_:Service"))], 0);
    EXPECT_EQ(assignment[static_cast<size_t>(TransferOperations::fieldNumber("P_:Password"))], 2);
    EXPECT_EQ(assignment[static_cast<size_t>(TransferOperations::fieldNumber("P_:Name"))], -1);

    EXPECT_TRUE(source->next());
    EXPECT_EQ(source->record(), 2);
    EXPECT_EQ(cols[1].value, "12");
    EXPECT_EQ(cols[3].value, "x");  // beyond the shorter line: kept
    EXPECT_TRUE(source->next());
    EXPECT_EQ(cols[3].value, "z");
    EXPECT_FALSE(source->next());
}

TEST_F(TransferTest, NothingChosenAndTheStoresOwnFilesAreRefused) {
    const UserRecord ann = addUser("Ann");
    TransferOperations ops(ts.store(), ts.messages());
    EXPECT_FALSE(ops.checkExportFields(0));
    EXPECT_FALSE(ops.checkImportAssigned(std::vector<int>(20, -1)));
    ASSERT_EQ(ts.messages().shown.size(), 2);
    EXPECT_EQ(ts.messages().shown[0].title, "No Fields Selected for Export!");
    EXPECT_EQ(ts.messages().shown[0].text, "You must select one or more fields to export.");
    EXPECT_EQ(ts.messages().shown[1].title, "No Fields Selected for Import!");
    EXPECT_EQ(ts.messages().shown[1].text, "You must select one or more fields to import.");

    ts.messages().shown.clear();
    const QString data = ts.file("ZD_DATA");
    const QByteArray before = test::fileBytes(data);
    auto text = DelimitedText::claim(ts.messages(), nullptr, &ts.store());
    EXPECT_FALSE(ops.openSource(*text, data));
    EXPECT_FALSE(ops.startExport(*text, ann, {{"P_:Service", "@s128"}}, true, data));
    ASSERT_EQ(ts.messages().titles(), QStringList({"Cannot OPEN " + data, "Cannot CREATE " + data}));
    EXPECT_EQ(ts.messages().shown[1].text, "Error #5 - It is one of Zendrel's own data files");
    EXPECT_EQ(test::fileBytes(data), before);
}

// The lines of a file, without their line ends.
QStringList linesOf(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

// Spoils the first page of the password table's records on disk (its root page): the keys still read, the
// records do not. The store must be closed, or hold no copy of that page.
void damageEntryPages(const QString& dataFile) {
    int64_t root = 0;
    int64_t pageSize = 0;
    {
        Connection c(dataFile, Connection::Mode::ReadOnly, deriveRawKey(ownerKeys().runtimeKey));
        Statement& s = c.prepare(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = ?"));
        s.bind(1, tables::passwords().tableName);
        ASSERT_TRUE(s.step());
        root = s.integer(0);
        s.reset();
        Statement& size = c.prepare(QStringLiteral("PRAGMA page_size"));
        ASSERT_TRUE(size.step());
        pageSize = size.integer(0);
        size.reset();
    }
    QFile f(dataFile);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek((root - 1) * pageSize + pageSize / 2));
    ASSERT_EQ(f.write(QByteArray(64, '\x5a')), 64);
}

// Spoils every page of the second half of a data file: records stored late are there, and cannot be read.
void damageSecondHalf(const QString& dataFile) {
    QFile f(dataFile);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 pages = f.size() / 1024;
    for (qint64 page = pages / 2; page < pages; ++page) {
        ASSERT_TRUE(f.seek(page * 1024 + 512));
        ASSERT_EQ(f.write(QByteArray(64, '\x5a')), 64);
    }
}

class TransferFailureTest : public TransferTest {
protected:
    // Ann's entries, with notes long enough to fill many pages; the store closed afterwards.
    UserRecord annWithEntries(int count) {
        const UserRecord ann = addUser("Ann");
        std::vector<Row> rows;
        for (int i = 0; i < count; ++i) {
            PasswordRecord e = test::entry("Ann", QStringLiteral("Service %1").arg(i, 4, 10, QLatin1Char('0')), "ann");
            e.id = i + 1;
            e.notes = QString(300, QLatin1Char('n'));
            rows.push_back(toRow(e));
        }
        EXPECT_TRUE(ts.store().insertMany(tables::passwords(), rows));
        ts.closeStore();
        return ann;
    }
    // The pass refers to `ops`, which must outlive it.
    std::unique_ptr<TransferOperations::Export> startExport(TransferOperations& ops, const UserRecord& ann,
                                                            DelimitedText& text) {
        return ops.startExport(text, ann, {{"P_:Service", "@s128"}, {"P_:Notes", "@s255"}}, true, csv);
    }
};

TEST_F(TransferFailureTest, EntriesThatCannotBeReachedWhenTheExportStartsAreAViewOpenError) {
    const UserRecord ann = annWithEntries(300);
    damageEntryPages(ts.file("ZD_DATA"));
    ts.reopen();
    {
        TransferOperations ops(ts.store(), ts.messages());
        auto text = DelimitedText::claim(ts.messages(), nullptr, &ts.store());
        auto pass = startExport(ops, ann, *text);
        ASSERT_TRUE(pass);
        EXPECT_TRUE(pass->stopped());
        EXPECT_FALSE(pass->slice());
        pass->finish();
        EXPECT_EQ(pass->written(), 0);
    }
    ASSERT_EQ(ts.messages().titles(), QStringList({"View Open Error"}));
    const QString& text = ts.messages().shown[0].text;
    EXPECT_TRUE(text.startsWith("Error: (") && text.endsWith(") accessing Passwords.")) << text.toStdString();
    EXPECT_EQ(linesOf(csv), QStringList({"\"P_:Service\",\"P_:Notes\""}));
}

TEST_F(TransferFailureTest, EntriesThatCannotBeReadDuringTheExportAreARetrievalErrorAfterWholeLines) {
    const UserRecord ann = annWithEntries(600);
    // A page cache of a few pages, so that the records are read from the disk as the export goes.
    DataStore store(DataStore::Options{ts.dir(), ownerKeys(), &ts.messages(), [](const QString&) {}, &ts.clock(), 8});
    TransferOperations ops(store, ts.messages());
    auto text = DelimitedText::claim(ts.messages(), nullptr, &store);
    auto pass = startExport(ops, ann, *text);
    ASSERT_TRUE(pass);
    ASSERT_FALSE(pass->stopped());
    EXPECT_EQ(pass->total(), 600);
    damageSecondHalf(ts.file("ZD_DATA"));
    while (pass->slice()) {
    }
    EXPECT_TRUE(pass->stopped());
    pass->finish();
    ASSERT_EQ(ts.messages().titles(), QStringList({"Record Retrieval Error"}));
    EXPECT_TRUE(ts.messages().shown[0].text.endsWith(") accessing Passwords."));
    // What was read before stays in the file, in whole lines.
    const QStringList lines = linesOf(csv);
    EXPECT_GT(pass->written(), 0);
    EXPECT_LT(pass->written(), 600);
    ASSERT_EQ(lines.size(), pass->written() + 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], QStringLiteral("\"Service %1\",\"%2\"").arg(i - 1, 4, 10, QLatin1Char('0')).arg(QString(300, QLatin1Char('n'))));
    }
}

TEST_F(TransferFailureTest, AnImportThatFillsTheDiskKeepsTheSlicesBeforeAndSaysSo) {
    test::FullDisk disk;
    if (!disk.ok()) {
        GTEST_SKIP() << "no tmpfs mount here";
    }
    test::TestStore small(disk.path());
    Table<UserRecord> users(small.store());
    UserRecord ann = users.prime();
    ann.name = "Ann";
    ann.password = ann.confirmPassword = kNotRequired;
    ASSERT_TRUE(users.insert(ann));
    QByteArray lines;
    for (int i = 0; i < 400; ++i) {
        lines += "\"Service " + QByteArray::number(i) + "\",\"" + QByteArray(9000, 'n') + "\"\r\n";
    }
    writeFile(lines);
    TransferOperations ops(small.store(), small.messages());
    auto text = DelimitedText::claim(small.messages(), nullptr, &small.store());
    auto source = ops.openSource(*text, csv);
    ASSERT_TRUE(source);
    auto pass = ops.startImport(*text, ann, source->columns(), mapped({{"P_:Service", 0}, {"P_:Notes", 1}}), false);
    while (pass->slice()) {
    }
    EXPECT_TRUE(pass->stopped());
    ASSERT_FALSE(small.messages().shown.isEmpty());
    EXPECT_EQ(small.messages().shown[0].title, "Cannot ADD to Passwords!");
    EXPECT_TRUE(small.messages().shown[0].text.startsWith("Error #13 - ")) << small.messages().shown[0].text.toStdString();
    // Every slice committed before the disk filled stays, and the count says how many that is.
    const auto kept = Table<PasswordRecord>(small.store()).readPhysical();
    EXPECT_GT(pass->added(), 0);
    EXPECT_LT(pass->added(), 400);
    ASSERT_EQ(static_cast<int64_t>(kept.size()), pass->added());
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(kept[i].service, QStringLiteral("Service %1").arg(i));
    }
}

} // namespace

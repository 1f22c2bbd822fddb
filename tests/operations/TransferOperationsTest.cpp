// Import and export passes on a real store: what a file carries from one user to another, and what the
// import makes of lines it cannot take.
#include "operations/TransferOperations.h"

#include "base/Dates.h"
#include "session/Login.h"
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

} // namespace

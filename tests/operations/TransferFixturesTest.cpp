// Files that other programs wrote: a KeePassXC database exported as CSV by keepassxc-cli, and our own
// export taken through LibreOffice Calc (to a spreadsheet and back to CSV). Each imports into exactly the
// entries it started from.
#include "operations/TransferOperations.h"

#include "base/Dates.h"
#include "session/Login.h"
#include "support/TestStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

struct ProcessRun {
    int rc;
    QString out;
    QString err;
};

ProcessRun run(const QString& program, const QStringList& args, const QByteArray& input = {}, int timeoutMs = 60000,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForStarted(10000)) {
        return {-1, {}, program + " did not start"};
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}, program + " did not finish"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class FixtureTest : public ::testing::Test {
protected:
    test::TestStore ts;
    QTemporaryDir work;
    QString path(const QString& name) const { return QDir(work.path()).filePath(name); }

    static std::vector<PasswordRecord> entries(test::TestStore& in) {
        return Table<PasswordRecord>(in.store()).readPhysical();
    }
    std::vector<PasswordRecord> entries() { return entries(ts); }

    int64_t importFile(const QString& file, std::vector<int> assignment, bool automatic,
                       const std::map<int, QString>& pictures = {}) {
        return importInto(ts, file, std::move(assignment), automatic, pictures);
    }
    static int64_t importInto(test::TestStore& ts, const QString& file, std::vector<int> assignment, bool automatic,
                              const std::map<int, QString>& pictures = {}) {
        Login(ts.store()).ensureDefaultUser();
        const UserRecord user = *Login(ts.store()).findUser(kDefaultUser);
        TransferOperations ops(ts.store(), ts.messages());
        auto text = DelimitedText::claim(ts.messages(), nullptr, &ts.store());
        auto source = ops.openSource(*text, file);
        EXPECT_TRUE(source);
        if (!source) {
            return -1;
        }
        assignment.resize(TransferOperations::fields().size(), -1);
        bool strip = true;
        if (automatic) {
            EXPECT_EQ(source->autoAssign(assignment), 20);
        }
        for (const auto& [column, picture] : pictures) {
            source->columns()[static_cast<size_t>(column)].picture = picture;
        }
        auto pass = ops.startImport(*text, user, source->columns(), assignment, strip);
        while (pass->slice(100)) {
        }
        return pass->added();
    }
};

struct KeePassEntry {
    QString title;
    QString user;
    QString password;
    QString url;
    QString notes;
};

TEST_F(FixtureTest, AKeePassXcExportImportsIntoTheEntriesItHeld) {
    if (QStandardPaths::findExecutable("keepassxc-cli").isEmpty()) {
        GTEST_FAIL() << "keepassxc-cli is missing: scripts/install-deps.sh installs it";
    }
    const std::vector<KeePassEntry> given = {
        {"Mail, work", QString::fromUtf8("J\xc3\xb6rg M\xc3\xbcller"), "p\"w,1", "https://mail.example",
         "line one\nsays \"hi\", then\nthe end"},
        {QString::fromUtf8("\xe9\x8a\x80\xe8\xa1\x8c"), QString::fromUtf8("\xd0\x90\xd0\xbd\xd0\xbd\xd0\xb0"),
         QString::fromUtf8("\xf0\x9f\x94\x91 key"), "", ""},
        {"Plain", "plain", "a b  ", "ftp://x", "\"quoted\""},
    };
    const QString db = path("keys.kdbx");
    const QString csv = path("keys.csv");
    ProcessRun r = run("keepassxc-cli", {"db-create", "-q", "-p", "-t", "100", db}, "secret\nsecret\n");
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    for (const KeePassEntry& e : given) {
        QStringList args{"add", "-q", "-u", e.user, "-p"};
        if (!e.url.isEmpty()) {
            args << "--url" << e.url;
        }
        if (!e.notes.isEmpty()) {
            args << "--notes" << e.notes;
        }
        args << db << e.title;
        r = run("keepassxc-cli", args, ("secret\n" + e.password + "\n").toUtf8());
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    }
    r = run("keepassxc-cli", {"export", "-q", "-f", "csv", db}, "secret\n");
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    QFile out(csv);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(r.out.toUtf8());
    out.close();
    ASSERT_TRUE(r.out.startsWith("\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\""))
        << r.out.left(200).toStdString();

    std::vector<int> a(20, -1);
    a[static_cast<size_t>(TransferOperations::fieldNumber("P_:Service"))] = 1;
    a[static_cast<size_t>(TransferOperations::fieldNumber("P_:Name"))] = 2;
    a[static_cast<size_t>(TransferOperations::fieldNumber("P_:Password"))] = 3;
    a[static_cast<size_t>(TransferOperations::fieldNumber("P_:URL"))] = 4;
    a[static_cast<size_t>(TransferOperations::fieldNumber("P_:Notes"))] = 5;
    ASSERT_EQ(importFile(csv, a, false), 3) << ts.messages().titles().join(", ").toStdString();
    EXPECT_TRUE(ts.messages().shown.isEmpty());
    const auto got = entries();
    ASSERT_EQ(got.size(), given.size());
    for (size_t i = 0; i < given.size(); ++i) {
        SCOPED_TRACE(given[i].title.toStdString());
        EXPECT_EQ(got[i].service, given[i].title);
        EXPECT_EQ(got[i].name, given[i].user);
        // Trailing blanks are never stored.
        EXPECT_EQ(got[i].password, fitText(given[i].password, width::kPassword));
        EXPECT_EQ(got[i].confirmPassword, got[i].password);
        EXPECT_EQ(got[i].url, given[i].url);
        EXPECT_EQ(got[i].notes, given[i].notes);
        EXPECT_EQ(got[i].user, kDefaultUser);
        EXPECT_EQ(got[i].level, 4000);
    }
}

TEST_F(FixtureTest, OurExportThroughLibreOfficeCalcImportsIntoTheSameEntries) {
    const QString soffice = QStandardPaths::findExecutable("soffice");
    if (soffice.isEmpty()) {
        GTEST_FAIL() << "soffice is missing: scripts/install-deps.sh installs libreoffice-calc-nogui";
    }
    Login(ts.store()).ensureDefaultUser();
    const UserRecord user = *Login(ts.store()).findUser(kDefaultUser);
    {
        Table<PasswordRecord> table(ts.store());
        for (int i = 0; i < 3; ++i) {
            PasswordRecord e = test::entry(kDefaultUser, QStringLiteral("Service %1, \"q\"").arg(i),
                                           QString::fromUtf8("n\xc3\xa4me%1").arg(i), "https://x.example/" + QString::number(i));
            e.password = QStringLiteral("0%1").arg(i);  // text that looks like a number keeps its zero
            e.notes = i == 1 ? QStringLiteral("two\nlines") : QString();
            e.expiryDate = i == 2 ? 0 : dayNumber(QDate(2024, 2, 29)) + i;
            e.lastChangeDate = dayNumber(QDate(2001, 1, 1)) + i;
            e.lastChangeTime = (9 * 3600 + 5 * 60 + 30) * 100 + 1;
            e.level = 4000 + i;
            e.monitor = static_cast<uint8_t>(i % 2);
            e.secondsToWait = static_cast<uint8_t>(i * 10);
            e.doNotRepeatSeconds = 60 * i;
            e.paste = "[Name][Tab][Password][Enter]";
            e.id = table.prime().id;
            ASSERT_TRUE(table.insert(e));
        }
    }
    const QString ours = path("ours.csv");
    {
        std::vector<TransferOperations::ExportField> chosen;
        for (const auto& f : TransferOperations::fields()) {
            chosen.push_back({f.name, f.picture});
        }
        TransferOperations ops(ts.store(), ts.messages());
        auto text = DelimitedText::claim(ts.messages(), nullptr, &ts.store());
        auto pass = ops.startExport(*text, user, chosen, true, ours);
        ASSERT_TRUE(pass);
        while (pass->slice()) {
        }
        ASSERT_TRUE(pass->finish());
    }
    const auto before = entries();

    // Calc on a profile of its own, without a display.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", path("home"));
    env.remove("DISPLAY");
    QDir().mkpath(path("home"));
    const QString profile = "-env:UserInstallation=file://" + path("profile");
    QStringList textColumns;
    for (int c = 1; c <= 20; ++c) {
        textColumns << QStringLiteral("%1/2").arg(c);
    }
    QDir().mkpath(path("ods"));
    QDir().mkpath(path("back"));
    ProcessRun r = run(soffice,
                {profile, "--headless", "--norestore", "--infilter=CSV:44,34,76,1," + textColumns.join('/'),
                 "--convert-to", "ods", "--outdir", path("ods"), ours},
                {}, 300000, env);
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    ASSERT_TRUE(QFile::exists(path("ods/ours.ods"))) << r.out.toStdString() << r.err.toStdString();
    r = run(soffice,
            {profile, "--headless", "--norestore", "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,true",
             "--outdir", path("back"), path("ods/ours.ods")},
            {}, 300000, env);
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QString back = path("back/ours.csv");
    ASSERT_TRUE(QFile::exists(back)) << r.out.toStdString() << r.err.toStdString();

    // A fresh store: the same entries, the dates, time and seconds read through their export pictures.
    test::TestStore fresh;
    std::map<int, QString> pictures;
    for (size_t i = 0; i < TransferOperations::fields().size(); ++i) {
        const QString& p = TransferOperations::fields()[i].picture;
        if (!p.startsWith("@s") && !p.startsWith("@n")) {
            pictures[static_cast<int>(i)] = p;
        }
    }
    ASSERT_EQ(importInto(fresh, back, {}, true, pictures), 3) << fresh.messages().titles().join(", ").toStdString();
    const auto after = entries(fresh);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        const PasswordRecord& b = before[i];
        const PasswordRecord& a = after[i];
        SCOPED_TRACE(b.service.toStdString());
        EXPECT_EQ(a.service, b.service);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.url, b.url);
        EXPECT_EQ(a.password, b.password);
        EXPECT_EQ(a.notes, b.notes);
        EXPECT_EQ(a.moreNotes, b.moreNotes);
        EXPECT_EQ(a.expiryDate, b.expiryDate);
        EXPECT_EQ(a.lastChangeDate, b.lastChangeDate);
        EXPECT_EQ(a.lastChangeTime, (9 * 3600 + 5 * 60) * 100 + 1);  // to the minute, as "@t3" shows it
        EXPECT_EQ(a.level, b.level);
        EXPECT_EQ(a.monitor, b.monitor);
        EXPECT_EQ(a.secondsToWait, b.secondsToWait);
        EXPECT_EQ(a.doNotRepeatSeconds, b.doNotRepeatSeconds);
        EXPECT_EQ(a.paste, b.paste);
    }
}

} // namespace

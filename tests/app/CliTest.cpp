#include "app/cli/Cli.h"
#include "operations/EntryOperations.h"
#include "base/DatePicture.h"
#include "base/Dates.h"
#include "support/Mounts.h"
#include "support/PreviousVersionTables.h"
#include "support/PdfText.h"
#include "support/TestStore.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <random>
#include <sstream>
#include <sys/stat.h>

using namespace zendrel;

namespace {

struct CliRun {
    int rc;
    QString out;
    QString err;
};

class CliTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString data = temp.path();
    // Commands run in this process on a virtual clock: a fixed day, far from midnight.
    sim::VirtualClock clock{dayNumber(QDate(2026, 12, 8)), 12 * 360000 + 1};
    QDate today() const { return dateOf(clock.today()); }

    CliRun cli(QStringList args, const QByteArray& input = {}) {
        args.prepend(data);
        args.prepend("--data");
        std::istringstream in(input.toStdString());
        std::ostringstream out;
        std::ostringstream err;
        CliIo io{in, out, err, false, &clock};
        const int rc = runCli(args, io);
        return {rc, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
    }
    static CliRun raw(const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        p.start(QStringLiteral(ZENDREL_CLI), args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    void addEntry(const QString& user, const QString& service, const QString& name, QStringList more = {},
                  const QByteArray& input = "pw\n") {
        QStringList args{"entries", "add", "--user", user, "--service", service, "--name", name};
        args += more;
        const CliRun r = cli(args, input);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    }
};

TEST_F(CliTest, AnEmptyStoreListsDefaultUserAndUsersAreAddedWithTheirPasswords) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    CliRun r = cli({"users", "list"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "Default User\n");
    EXPECT_EQ(r.err, "");
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(QDir(data).filePath("ZD_DATA")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_EQ(cli({"users", "add", "bob"}, "\n").rc, 0);
    EXPECT_EQ(cli({"users", "add", "Alice"}, "wonder\n").rc, 0);
    r = cli({"users", "add", "  \t "}, "x\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Warning: A user must have a name.\n");
    EXPECT_EQ(cli({"users", "change", "bob", "--rename", "   "}, "\n").err, "Warning: A user must have a name.\n");
    r = cli({"users", "add", "ALICE"}, "x\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Duplicate Key Error: Adding this record creates a duplicate entry for the key: Name\n");
    EXPECT_EQ(cli({"users", "list"}).out, "Alice\nbob\nDefault User\n");

    // bob needs no password; Alice must give hers before anything else.
    addEntry("bob", "Mail", "b");
    r = cli({"entries", "list", "--user", "Alice"}, "Wonder\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Access Denied: Invalid password.  Case does not match.\n");
    r = cli({"entries", "list", "--user", "Alice"}, "nope\n");
    EXPECT_EQ(r.err, "Access Denied: Invalid password\n");
    r = cli({"entries", "add", "--user", "Alice", "--service", "Bank", "--name", "alice"}, "wonder\nentry-secret\n");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "2\n");
    r = cli({"entries", "show", "2", "--user", "Alice", "--show-password"}, "wonder\n");
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\nPassword: entry-secret\n"));
}

TEST_F(CliTest, EntriesAreListedInEveryOrderAndTheExpiredFilterIncludesToday) {
    addEntry("Default User", "Charlie", "zed", {"--url", "a.example"});
    addEntry("Default User", "alpha", "Mike", {"--expiry", today().addDays(-3).toString(Qt::ISODate)});
    addEntry("Default User", "Bravo", "adam", {"--expiry", today().toString(Qt::ISODate)});
    addEntry("Default User", "Delta", "bob", {"--expiry", today().addDays(1).toString(Qt::ISODate)});
    const CliRun blank = cli({"entries", "add", "--user", "Default User", "--service", "   ", "--name", "x"}, "pw\n");
    EXPECT_EQ(blank.rc, 1);
    EXPECT_EQ(blank.err, "Error: To identify this record, a service must be entered.\n");
    auto ids = [this](const char* order) {
        QStringList l;
        for (const QString& line : cli({"entries", "list", "--user", "Default User", "--order", order}).out.split('\n', Qt::SkipEmptyParts)) {
            l << line.section('\t', 1, 1);
        }
        return l;
    };
    EXPECT_EQ(ids("service"), QStringList({"alpha", "Bravo", "Charlie", "Delta"}));
    EXPECT_EQ(ids("name"), QStringList({"Bravo", "Delta", "alpha", "Charlie"}));
    EXPECT_EQ(ids("url"), QStringList({"Bravo", "Delta", "alpha", "Charlie"}));
    EXPECT_EQ(ids("expired"), QStringList({"alpha", "Bravo"}));
    EXPECT_EQ(cli({"entries", "list", "--user", "Default User"}).out.split('\n').first(), "2\talpha\tMike\t");
}

TEST_F(CliTest, EntriesArePrimedShownMaskedAndDeleted) {
    addEntry("Default User", "Bank", "alice", {"--title", "*Login*", "--monitor", "--wait", "5", "--notes", "n1"},
             "s3cret\n");
    CliRun r = cli({"entries", "show", "1", "--user", "Default User"});
    ASSERT_EQ(r.rc, 0);
    EXPECT_TRUE(r.out.contains("Password: ********\n"));
    EXPECT_TRUE(r.out.contains("Send Text: [Name][Tab][Password][Enter]\n"));
    EXPECT_TRUE(r.out.contains("Seconds To Wait: 5\n"));
    EXPECT_TRUE(r.out.contains("Monitor: yes\n"));
    EXPECT_TRUE(r.out.contains("More Notes: Added " + longDate(clock.today())));
    EXPECT_FALSE(r.out.contains("s3cret"));

    EXPECT_EQ(cli({"users", "add", "other"}, "\n").rc, 0);
    r = cli({"entries", "show", "1", "--user", "other"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(cli({"entries", "delete", "1", "--user", "other"}).rc, 1);
    EXPECT_EQ(cli({"entries", "delete", "1", "--user", "Default User"}).rc, 0);
    EXPECT_EQ(cli({"entries", "show", "1", "--user", "Default User"}).rc, 1);
}

TEST_F(CliTest, RefusalsAreOneLineWithStatusOneAndUsageErrorsStatusTwo) {
    addEntry("Default User", "Bank", "alice");
    CliRun r = cli({"entries", "add", "--user", "Default User", "--service", "bank", "--name", "ALICE"}, "x\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Error: This entry duplicates another already entered. Service:  bank.\n");
    r = cli({"entries", "add", "--user", "Default User", "--service", "S", "--name", "n", "--wait", "200"}, "x\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Range Error: The value of Seconds before start of automatic send to must be between 0 and 199.\n");
    EXPECT_EQ(cli({"entries", "list", "--user", "Nobody"}).rc, 1);

    for (const QStringList& args : {QStringList{"frobnicate"}, QStringList{"entries", "list"},
                                    QStringList{"entries", "list", "--user", "x", "--order", "size"},
                                    QStringList{"entries", "add", "--user", "x"}, QStringList{"users", "add"},
                                    QStringList{"entries", "add", "--user", "x", "--service", "s", "--name", "n",
                                                "--expiry", "31.12.2020"}}) {
        r = cli(args);
        EXPECT_EQ(r.rc, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"users", "--help"},
                                    QStringList{"entries", "--help"}, QStringList{"settings", "--help"},
                                    QStringList{"init", "--help"}}) {
        r = cli(args);
        EXPECT_EQ(r.rc, 0);
        EXPECT_TRUE(r.out.startsWith("Usage:")) << args.join(' ').toStdString();
    }
    r = raw({"--data", "/nonexistent/dir", "users", "list"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_FALSE(QFile::exists("/nonexistent/dir/ZD_DATA"));
}

TEST_F(CliTest, SettingsAreReadAndWrittenAndInitAppliesTheFirstRunRules) {
    EXPECT_EQ(cli({"init"}).rc, 0);
    EXPECT_EQ(cli({"settings", "get", "ZD_GD"}).out, "50\n");
    EXPECT_EQ(cli({"settings", "get", "ZD_BS"}).out, "7\n");
    EXPECT_EQ(cli({"settings", "set", "ZD_CI", "30"}).rc, 0);
    EXPECT_EQ(cli({"settings", "get", "zd_ci"}).out, "30\n");
    EXPECT_EQ(cli({"users", "list"}).out, "Default User\n");
}

TEST_F(CliTest, SettingsListPrintsEverySettingOnALineOfItsOwnInNameOrder) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    ASSERT_EQ(cli({"settings", "set", "DateFormat", "d8"}).rc, 0);
    ASSERT_EQ(cli({"settings", "set", "aaa", "two\tlines\nin one"}).rc, 0);
    const CliRun r = cli({"settings", "list"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "aaa\ttwo\\tlines\\nin one\n"
                     "DateFormat\td8\n"
                     "ZD_BS\t7\nZD_CI\t0\nZD_GD\t50\nZD_HC\t0\nZD_IT\t0\nZD_MA\t1\nZD_Skip\t1\nZD_Tray\t0\n"
                     "ZD_Version\t2.7\n");
    EXPECT_EQ(cli({"settings", "list", "ZD_CI"}).rc, 2);
}

TEST_F(CliTest, TwoProgramsStartingTogetherOnAnEmptyDirectoryBothSucceed) {
    for (int round = 0; round < 8; ++round) {
        QTemporaryDir fresh;
        QProcess a;
        QProcess b;
        for (QProcess* p : {&a, &b}) {
            p->start(QStringLiteral(ZENDREL_CLI), {"--data", fresh.path(), "init"});
        }
        for (QProcess* p : {&a, &b}) {
            ASSERT_TRUE(p->waitForFinished(30000));
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        }
        EXPECT_EQ(raw({"--data", fresh.path(), "users", "list"}).out, "Default User\n");
    }
}

TEST_F(CliTest, ASettingWrittenFirstLeavesTheFirstRunDefaultsInPlaceAndMissingInputIsRefused) {
    EXPECT_EQ(cli({"settings", "set", "ZD_CI", "30"}).rc, 0);
    EXPECT_EQ(cli({"settings", "get", "ZD_Skip"}).out, "1\n");
    EXPECT_EQ(cli({"settings", "get", "ZD_CI"}).out, "30\n");
    EXPECT_EQ(cli({"settings", "set", "  ", "1"}).rc, 2);

    CliRun r = cli({"users", "add", "Quiet"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "zendrel-cli: The new user's password was not given on standard input.\n");
    EXPECT_EQ(cli({"users", "list"}).out, "Default User\n");
    r = cli({"entries", "add", "--user", "Default User", "--service", "S", "--name", "n"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(cli({"entries", "list", "--user", "Default User"}).out, "");
}

TEST_F(CliTest, TwoProgramsWritingAtOnceLoseNothing) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    auto loop = [this](const QString& tag) {
        auto* p = new QProcess;
        const QString script = QStringLiteral(
                                   "for i in $(seq 1 2000); do echo pw | \"%1\" --data \"%2\" entries add --user "
                                   "'Default User' --service %3-$i --name %3-$i >/dev/null || echo FAIL $i; done")
                                   .arg(QStringLiteral(ZENDREL_CLI), data, tag);
        p->start("bash", {"-c", script});
        return p;
    };
    QProcess* a = loop("a");
    QProcess* b = loop("b");
    ASSERT_TRUE(a->waitForFinished(600000));
    ASSERT_TRUE(b->waitForFinished(600000));
    const QString errors = QString::fromUtf8(a->readAllStandardError() + a->readAllStandardOutput() +
                                             b->readAllStandardError() + b->readAllStandardOutput());
    delete a;
    delete b;
    EXPECT_EQ(errors, "");
    test::TestStore check(data);
    EXPECT_EQ(Table<PasswordRecord>(check.store()).count(), 4000);
    EXPECT_TRUE(check.messages().shown.isEmpty());
}

TEST_F(CliTest, AWriterKilledInTheMiddleLeavesACommittedPrefixAndASoundFile) {
    QProcess writer;
    writer.start(QStringLiteral(ZENDREL_STORE_WRITER), {data, "10000000"});
    ASSERT_TRUE(writer.waitForStarted());
    int committed = 0;
    while (committed < 3000 && writer.waitForReadyRead(30000)) {
        for (const QByteArray& line : writer.readAll().split('\n')) {
            if (!line.isEmpty()) {
                committed = line.toInt();
            }
        }
    }
    ASSERT_GE(committed, 3000);
    kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    writer.waitForFinished();

    test::TestStore after(data);
    Table<PasswordRecord> entries(after.store());
    const int64_t n = entries.count();
    EXPECT_GE(n, committed);
    EXPECT_EQ(n % 100, 0) << "only whole slices are committed";
    const auto last = entries.readPhysical(0, 1, true);
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.front().id, n) << "the entries are a prefix without gaps";
    EXPECT_TRUE(after.store().verify(tables::passwords()));
    EXPECT_TRUE(after.messages().shown.isEmpty());
}


// A program ends abnormally with the file open, then one page of the file is damaged. Whatever page it is,
// every later run either works on the whole data or refuses the file as damaged: no run lists fewer entries
// with success, and once a run has refused the file, no later one forgets the damage or writes into the file.
TEST_F(CliTest, ADamagedPageAfterAnAbnormalEndIsRefusedByEveryLaterRunAndNeverWrittenInto) {
    {
        test::TestStore ts(data);
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = "Ann";
        ASSERT_TRUE(users.insert(u));
        std::vector<Row> rows;
        for (int i = 0; i < 150; ++i) {
            PasswordRecord e = test::entry("Ann", QStringLiteral("Service %1").arg(i, 3, 10, QLatin1Char('0')), "ann");
            e.notes = QString(100, QLatin1Char('n'));
            rows.push_back(toRow(e));
        }
        ASSERT_TRUE(ts.store().insertMany(tables::passwords(), rows));
    }
    const pid_t pid = fork();
    if (pid == 0) {
        test::TestStore ts(data);
        PasswordRecord e = test::entry("Ann", "Written last", "ann");
        _exit(Table<PasswordRecord>(ts.store()).insert(e) ? 0 : 1);  // ends without closing the file
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    QTemporaryDir keep;
    const QDir dir(data);
    for (const char* name : {"ZD_DATA", "ZD_DATA-wal"}) {
        ASSERT_TRUE(QFile::copy(dir.filePath(name), QDir(keep.path()).filePath(name)));
    }
    const qint64 pages = QFileInfo(dir.filePath("ZD_DATA")).size() / 1024;
    ASSERT_GT(pages, 20);
    int refusedPages = 0;
    for (qint64 page = 0; page < pages; ++page) {
        for (const QString& name : dir.entryList(QDir::Files)) {
            QFile::remove(dir.filePath(name));
        }
        for (const char* name : {"ZD_DATA", "ZD_DATA-wal"}) {
            ASSERT_TRUE(QFile::copy(QDir(keep.path()).filePath(name), dir.filePath(name)));
        }
        {
            QFile f(dir.filePath("ZD_DATA"));
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.seek(page * 1024 + 512);
            QByteArray bytes = f.read(4);
            for (char& c : bytes) {
                c = static_cast<char>(~c);
            }
            f.seek(page * 1024 + 512);
            f.write(bytes);
        }
        const std::vector<QStringList> runs{{"users", "list"},
                                            {"users", "list"},
                                            {"entries", "list", "--user", "Ann"},
                                            {"users", "list"},
                                            {"entries", "add", "--user", "Ann", "--service", "New", "--name", "n"}};
        bool refused = false;
        QByteArray afterRefusal;
        for (const QStringList& args : runs) {
            const CliRun r = cli(args, "\npw\n");
            const std::string where = QStringLiteral("page %1, %2").arg(page).arg(args.join(' ')).toStdString();
            if (r.rc == 0) {
                ASSERT_FALSE(refused) << where << ": a damaged file was forgotten after a refusal";
                if (args[1] == "list" && args[0] == "entries") {
                    EXPECT_EQ(r.out.count('\n'), 151) << where;
                }
                continue;
            }
            EXPECT_TRUE(r.err.startsWith("Invalid File: Error: (")) << where << ": " << r.err.toStdString();
            EXPECT_LT(r.err.size(), 200) << where << ": one problem stands for all";
            if (refused) {
                EXPECT_EQ(test::fileBytes(dir.filePath("ZD_DATA")), afterRefusal) << where;
            }
            refused = true;
            afterRefusal = test::fileBytes(dir.filePath("ZD_DATA"));
        }
        refusedPages += refused ? 1 : 0;
    }
    // Pages that hold the data are damage that must be found; a free page or one newer in the log is not read.
    EXPECT_GT(refusedPages, pages / 3);
}
} // namespace

namespace {

// What the entry form's OK says for an entry, in the command line's one-line form.
QString formRefusal(test::TestStore& ts, PasswordRecord e, EntryOperations::Request request) {
    if (const auto r = EntryOperations::secondsToWaitRefusal(e.secondsToWait)) {
        return r->title + ": " + r->text + "\n";
    }
    ts.messages().shown.clear();
    EntryOperations(ts.store(), ts.messages(), ts.clock()).save(e, request, 0);
    if (ts.messages().shown.isEmpty()) {
        return {};
    }
    const Message& m = ts.messages().shown.last();
    return m.title + ": " + QString(m.text).replace('|', ' ').trimmed() + "\n";
}

struct RefusalCase {
    const char* what;
    QStringList options;                            // of entries add / change
    std::function<void(PasswordRecord&)> asForm;    // the same values typed into the form
};

TEST_F(CliTest, TheCommandLineRefusesWhatTheEntryFormRefusesInTheSameWords) {
    addEntry("Default User", "Bank", "alice", {"--url", "bank.example"});
    addEntry("Default User", "Mail", "mo");
    const std::vector<RefusalCase> cases = {
        {"duplicate URL", {"--service", "Shop", "--name", "alice", "--url", "BANK.example"},
         [](PasswordRecord& e) { e.service = "Shop"; e.name = "alice"; e.url = "BANK.example"; }},
        {"monitored without title", {"--service", "Shop", "--name", "s", "--monitor"},
         [](PasswordRecord& e) { e.service = "Shop"; e.name = "s"; e.monitor = 1; }},
        {"seconds to wait 200", {"--service", "Shop", "--name", "s", "--wait", "200"},
         [](PasswordRecord& e) { e.service = "Shop"; e.name = "s"; e.secondsToWait = 200; }},
        {"duplicate service and name in another case", {"--service", "bANK", "--name", "ALICE"},
         [](PasswordRecord& e) { e.service = "bANK"; e.name = "ALICE"; }},
        {"blank service", {"--service", "  ", "--name", "s"}, [](PasswordRecord& e) { e.service = "  "; e.name = "s"; }},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.what);
        test::TestStore ts(data);
        PasswordRecord added = Table<PasswordRecord>(ts.store()).prime();
        EntryOperations(ts.store(), ts.messages(), ts.clock()).prime(added, "Default User");
        added.password = added.confirmPassword = "pw";
        c.asForm(added);
        const QString expected = formRefusal(ts, added, EntryOperations::Request::Insert);
        ASSERT_FALSE(expected.isEmpty());

        // Entry 2 changed into the same values.
        auto changed = Table<PasswordRecord>(ts.store()).get(2);
        ASSERT_TRUE(changed);
        c.asForm(*changed);
        const QString expectedChange = formRefusal(ts, *changed, EntryOperations::Request::Change);

        QStringList add{"entries", "add", "--user", "Default User"};
        CliRun r = cli(add + c.options, "pw\n");
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err, expected);
        QStringList change{"entries", "change", "2", "--user", "Default User"};
        r = cli(change + c.options);
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err, expectedChange);
    }
    EXPECT_EQ(cli({"entries", "list", "--user", "Default User"}).out, "1\tBank\talice\tbank.example\n2\tMail\tmo\t\n");
}

TEST_F(CliTest, EntriesAreChangedFieldByFieldAndFoundBySearch) {
    addEntry("Default User", "Bank", "alice", {"--url", "bank.example", "--notes", "keep"}, "old\n");
    addEntry("Default User", "Mail", "postman");
    addEntry("Default User", "Shop", "buyer", {"--url", "www.BANKSHOP.com"});

    CliRun r = cli({"entries", "change", "1", "--user", "Default User", "--name", "alice2", "--title", "*Bank*",
                    "--monitor"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    r = cli({"entries", "show", "1", "--user", "Default User", "--show-password"});
    EXPECT_TRUE(r.out.contains("\nName: alice2\n"));
    EXPECT_TRUE(r.out.contains("\nPassword: old\n")) << "no --password: the password stays";
    EXPECT_TRUE(r.out.contains("\nNotes: keep\n"));
    EXPECT_TRUE(r.out.contains("\nMonitor: yes\n"));

    EXPECT_EQ(cli({"entries", "change", "1", "--user", "Default User", "--password"}, "new\n").rc, 0);
    EXPECT_TRUE(cli({"entries", "show", "1", "--user", "Default User", "--show-password"}).out.contains("\nPassword: new\n"));
    r = cli({"entries", "change", "1", "--user", "Default User", "--no-monitor", "--title", ""});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();

    r = cli({"entries", "search", "bank", "--user", "Default User"});
    EXPECT_EQ(r.out, "1\tBank\talice2\tbank.example\n3\tShop\tbuyer\twww.BANKSHOP.com\n");
    EXPECT_EQ(cli({"entries", "search", "POST", "--user", "Default User"}).out, "2\tMail\tpostman\t\n");
    EXPECT_EQ(cli({"entries", "search", "nothing", "--user", "Default User"}).out, "");

    EXPECT_EQ(cli({"users", "add", "other"}, "\n").rc, 0);
    r = cli({"entries", "change", "1", "--user", "other", "--name", "x"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "zendrel-cli: User other has no entry 1.\n");
}

TEST_F(CliTest, UsersAreRenamedWithTheirEntriesGivenNewPasswordsAndDeletedButNeverTheLast) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    CliRun r = cli({"users", "delete", "Default User"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Cannot Delete: You must have at least one user.\n");

    EXPECT_EQ(cli({"users", "add", "Ann"}, "secret\n").rc, 0);
    addEntry("Ann", "Bank", "ann", {}, "secret\npw\n");
    r = cli({"users", "change", "Ann", "--rename", "Anna"}, "wrong\n");
    EXPECT_EQ(r.rc, 1) << "a protected user gives his password";
    r = cli({"users", "change", "Ann", "--rename", "Anna"}, "secret\n");
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(cli({"users", "list"}).out, "Anna\nDefault User\n");
    EXPECT_EQ(cli({"entries", "list", "--user", "Anna"}, "secret\n").out, "1\tBank\tann\t\n");

    EXPECT_EQ(cli({"users", "change", "Anna", "--password"}, "secret\nfresh\n").rc, 0);
    EXPECT_EQ(cli({"entries", "list", "--user", "Anna"}, "secret\n").rc, 1);
    EXPECT_EQ(cli({"entries", "list", "--user", "Anna"}, "fresh\n").rc, 0);
    r = cli({"users", "change", "Anna", "--rename", "  "}, "fresh\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Warning: A user must have a name.\n");
    r = cli({"users", "change", "Anna", "--rename", "default user"}, "fresh\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(cli({"users", "add", " "}, "\n").err, "Warning: A user must have a name.\n");

    EXPECT_EQ(cli({"users", "delete", "Anna"}, "wrong\n").rc, 1);
    EXPECT_EQ(cli({"users", "delete", "Anna"}, "fresh\n").rc, 0);
    EXPECT_EQ(cli({"users", "list"}).out, "Default User\n");
    test::TestStore check(data);
    EXPECT_EQ(Table<PasswordRecord>(check.store()).count(), 0) << "his entries went with him";
}

TEST_F(CliTest, ListingStreamsPastOnePageInKeyOrder) {
    test::TestStore ts(data);
    Table<PasswordRecord> entries(ts.store());
    for (int i = 0; i < 1234; ++i) {
        PasswordRecord e = entries.prime();
        e.user = "Default User";
        e.service = QString("s%1").arg(1233 - i, 5, 10, QChar('0'));
        e.name = "n";
        ASSERT_TRUE(entries.insert(e));
    }
    const QStringList lines = cli({"entries", "list", "--user", "Default User"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1234);
    for (int i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].section('\t', 1, 1), QString("s%1").arg(i, 5, 10, QChar('0')));
    }
}

TEST_F(CliTest, ClipNeedsADisplayAndNamesItsFields) {
    addEntry("Default User", "Bank", "alice");
    CliRun r = cli({"entries", "clip", "1", "--user", "Default User", "--field", "colour"});
    EXPECT_EQ(r.rc, 2);
    r = cli({"entries", "clip", "1", "--user", "Default User"});
    EXPECT_EQ(r.rc, 1) << "no GUI application in this test program";
    EXPECT_TRUE(r.err.startsWith("zendrel-cli: There is no display")) << r.err.toStdString();
}

// A stream whose every write fails, as standard output on a full disk.
class FullBuffer final : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST_F(CliTest, OutputThatCannotBeWrittenIsAFailureEvenWhenTheWorkIsDone) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    FullBuffer full;
    std::ostream out(&full);
    std::istringstream in("pw\n");
    std::ostringstream err;
    CliIo io{in, out, err, false, &clock};
    EXPECT_EQ(runCli({"--data", data, "entries", "add", "--user", "Default User", "--service", "S", "--name", "n"}, io),
              1);
    EXPECT_EQ(err.str(), "zendrel-cli: the output could not be written.\n");
    EXPECT_EQ(cli({"entries", "list", "--user", "Default User"}).out, "1\tS\tn\t\n") << "the entry itself was stored";

    // The real program with its standard output on a full device.
    for (const QStringList& args : {QStringList{"generate", "--type", "Alphanumeric"}, QStringList{"users", "list"},
                                    QStringList{"entries", "show", "1", "--user", "Default User"}}) {
        QProcess p;
        p.setStandardOutputFile("/dev/full");
        p.start(QStringLiteral(ZENDREL_CLI), QStringList{"--data", data} + args);
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1) << args.join(' ').toStdString();
        EXPECT_EQ(p.readAllStandardError(), "zendrel-cli: the output could not be written.\n");
    }
}

TEST_F(CliTest, ControlCharactersInStoredValuesCannotForgeARowOrAField) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    addEntry("Default User", "Evil\n999\tPayPal\tadmin", "n\\x", {"--notes", QString("a\x01") + QChar(0x85) + "b"});
    const QString list = cli({"entries", "list", "--user", "Default User"}).out;
    EXPECT_EQ(list, "1\tEvil\\n999\\tPayPal\\tadmin\tn\\\\x\t\n");
    const QString show = cli({"entries", "show", "1", "--user", "Default User"}).out;
    EXPECT_TRUE(show.contains("\nService: Evil\\n999\\tPayPal\\tadmin\n"));
    EXPECT_TRUE(show.contains("\nNotes: a\\x01\\x85b\n"));
    EXPECT_EQ(cli({"entries", "search", "paypal", "--user", "Default User"}).out.count('\n'), 1);
    test::TestStore check(data);
    EXPECT_EQ(Table<PasswordRecord>(check.store()).get(1)->service, "Evil\n999\tPayPal\tadmin") << "stored as given";
}

TEST_F(CliTest, CommandsThatOnlyReadRefuseADirectoryWithoutDataAndCreateNothing) {
    for (const QStringList& args : {QStringList{"users", "list"}, QStringList{"entries", "list", "--user", "Alice"},
                                    QStringList{"settings", "get", "ZD_CI"}, QStringList{"users", "delete", "Alice"},
                                    QStringList{"generate"}}) {
        const CliRun r = cli(args);
        EXPECT_EQ(r.rc, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.err, "zendrel-cli: no Zendrel data in " + data + "; `zendrel-cli init` prepares one\n");
    }
    EXPECT_TRUE(QDir(data).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    EXPECT_EQ(cli({"users", "add", "Alice"}, "\n").rc, 0) << "a command that adds prepares the directory";
    EXPECT_EQ(cli({"users", "list"}).out, "Alice\n");
}

TEST_F(CliTest, GeneratingCharactersLeavesTheWordTableAlone) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    const CliRun r = cli({"generate", "--type", "All Characters", "--size", "20"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.size(), 21);
    EXPECT_FALSE(QFile::exists(QDir(data).filePath("zndrl_w.tps")));
    EXPECT_EQ(cli({"generate", "--type", "Word", "--size", "6"}).rc, 0);
    EXPECT_TRUE(QFile::exists(QDir(data).filePath("zndrl_w.tps")));
}

TEST_F(CliTest, AFatalMessageIsGivenWithoutItsOkButton) {
    QFile junk(QDir(data).filePath("ZD_DATA"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'x'));
    junk.close();
    const CliRun r = cli({"users", "list"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.startsWith("Invalid File: Error: (")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Press OK")) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith("accessing ZD_DATA\\!Users.\n")) << r.err.toStdString();
}

// The password prompt on a real terminal, ended by a signal: the terminal gets its echo back.
TEST_F(CliTest, ASignalDuringThePasswordPromptLeavesTheTerminalAsItWas) {
    ASSERT_EQ(cli({"users", "add", "Ann"}, "secret\n").rc, 0);
    for (const int signal : {SIGTERM, SIGINT}) {
        int master = -1;
        const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl(ZENDREL_CLI, ZENDREL_CLI, "--data", data.toLocal8Bit().constData(), "entries", "list", "--user", "Ann",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        QByteArray seen;
        QElapsedTimer t;
        t.start();
        while (!seen.contains("Confirm Password: ") && t.elapsed() < 20000) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buf[256];
                const ssize_t n = read(master, buf, sizeof buf);
                if (n > 0) {
                    seen.append(buf, n);
                }
            }
        }
        ASSERT_TRUE(seen.contains("Confirm Password: ")) << seen.toStdString();
        termios during{};
        for (int i = 0; i < 100; ++i) {  // echo goes off right after the prompt is written
            ASSERT_EQ(tcgetattr(master, &during), 0);
            if (!(during.c_lflag & ECHO)) {
                break;
            }
            usleep(10000);
        }
        EXPECT_FALSE(during.c_lflag & ECHO) << "no echo while the password is typed";
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        termios after{};
        ASSERT_EQ(tcgetattr(master, &after), 0);
        EXPECT_TRUE(after.c_lflag & ECHO) << "the echo is back after signal " << signal;
        close(master);
    }
}

TEST_F(CliTest, ANumericSettingBeyondItsTypeIsRefused) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    CliRun r = cli({"settings", "set", "ZD_IT", "9223372036854775807"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "zendrel-cli: ZD_IT is a whole number from -2147483648 to 2147483647.\n");
    EXPECT_EQ(cli({"settings", "set", "ZD_BS", "256"}).rc, 1);
    EXPECT_EQ(cli({"settings", "set", "ZD_CI", "ten"}).rc, 1);
    EXPECT_EQ(cli({"settings", "get", "ZD_IT"}).out, "0\n");
    EXPECT_EQ(cli({"settings", "set", "ZD_IT", "-1"}).rc, 0) << "within the type; read as 0 by its use";
    EXPECT_EQ(cli({"settings", "set", "DateFormat", "d17"}).rc, 0);
}

// A data directory that can only be read (a read-only bind mount: as root, permission bits would not stop
// a write): preparing it fails with exit 1 after the message, and reading goes on.
// `init` converts version 2.1's tables as the first start does, naming each refused record on standard error
// and keeping it; `convert` takes what is left once the conflict is gone.
TEST_F(CliTest, InitConvertsThePreviousVersionAndConvertTakesWhatWasLeft) {
    test::PreviousVersionTables old(data);
    ASSERT_TRUE(old.create());
    for (const char* name : {"Ann", "ann"}) {
        ASSERT_TRUE(old.addUser({{"Name", name}, {"Password", "Not Required"}, {"ConfirmPassword", "Not Required"}}));
    }
    ASSERT_TRUE(old.addEntries("Ann", 3));
    ASSERT_TRUE(old.addEntry({{"User", "Ann"}, {"Service", "Slow"}, {"Name", "s"}, {"SecondsToWait", 250}}));
    CliRun r = cli({"init"});
    EXPECT_EQ(r.rc, 1) << "a record was refused";
    EXPECT_EQ(r.out, "Users converted:  1\nUsers left in the previous version's file:  1\n"
                     "Entries converted:  3\nEntries left in the previous version's file:  1\n");
    EXPECT_EQ(r.err, "ERROR: Error adding record Adding this record creates a duplicate entry for the key: Name Users\n"
                     "ERROR: Error adding record The value of Seconds before start of automatic send to must be "
                     "between 0 and 199. Passwords\n");
    EXPECT_EQ(cli({"users", "list"}).out, "Ann\n");

    // The user renames the one that came over; the refused entry stays refused until it is mended.
    ASSERT_EQ(cli({"users", "change", "Ann", "--rename", "Ann Smith"}).rc, 0);
    r = cli({"convert"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "Users converted:  1\nUsers left in the previous version's file:  0\n"
                     "Entries converted:  0\nEntries left in the previous version's file:  1\n");
    EXPECT_EQ(cli({"users", "list"}).out, "ann\nAnn Smith\n");
    ASSERT_TRUE(old.run("UPDATE \"PW\" SET \"SecondsToWait\" = 20;\n"));
    r = cli({"convert"});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(QFile::exists(old.path()));
    EXPECT_EQ(cli({"convert"}).out, "No tables of version 2.1 to convert.\n");
    EXPECT_EQ(raw({"--data", temp.path() + "/nowhere", "convert"}).rc, 1);
}

// The first start killed at any moment of a conversion of 5,000 entries: every old entry is afterwards among the
// entries or still in the old table (or in both), and `convert` finishes the work without a question.
TEST_F(CliTest, AConversionKilledAtAnyMomentLosesNoEntryAndConvertFinishesIt) {
    constexpr int kEntries = 5000;
    QTemporaryDir seed;
    test::PreviousVersionTables fixture(seed.path());
    ASSERT_TRUE(fixture.create());
    ASSERT_TRUE(fixture.addUser({{"Name", "Ann"}, {"Password", "Not Required"}, {"ConfirmPassword", "Not Required"}}));
    ASSERT_TRUE(fixture.addEntries("Ann", kEntries));
    QSet<QString> every;
    for (int i = 1; i <= kEntries; ++i) {
        every.insert(QStringLiteral("Service %1").arg(i, 5, 10, QLatin1Char('0')));
    }
    auto start = [](const QString& dir, QProcess& p) {
        p.start(QStringLiteral(ZENDREL_CLI), {"--data", dir, "init"});
        return p.waitForStarted();
    };
    qint64 whole = 0;
    {
        QTemporaryDir dir;
        ASSERT_TRUE(fixture.copyTo(dir.path()));
        QElapsedTimer t;
        t.start();
        QProcess p;
        ASSERT_TRUE(start(dir.path(), p));
        ASSERT_TRUE(p.waitForFinished(120000));
        whole = t.elapsed();
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    std::mt19937 random(20);
    std::uniform_int_distribution<qint64> moment(0, whole);
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        QTemporaryDir dir;
        ASSERT_TRUE(fixture.copyTo(dir.path()));
        QProcess p;
        ASSERT_TRUE(start(dir.path(), p));
        QThread::msleep(static_cast<unsigned long>(moment(random)));
        kill(static_cast<pid_t>(p.processId()), SIGKILL);
        p.waitForFinished();

        QSet<QString> found;
        test::PreviousVersionTables left(dir.path());
        for (const QString& s : left.column("PW", "Service")) {
            found.insert(s);
        }
        if (QFile::exists(QDir(dir.path()).filePath("ZD_DATA"))) {
            test::TestStore after(dir.path());
            for (const PasswordRecord& e : Table<PasswordRecord>(after.store()).readPhysical()) {
                found.insert(e.service);
            }
            EXPECT_TRUE(after.messages().shown.isEmpty());
        }
        EXPECT_EQ(found, every);

        const CliRun r = raw({"--data", dir.path(), "convert"});
        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_EQ(r.err, "");
        test::TestStore after(dir.path());
        EXPECT_EQ(Table<PasswordRecord>(after.store()).count(), kEntries) << "each entry once";
        EXPECT_EQ(Table<UserRecord>(after.store()).count(), 1);
        EXPECT_FALSE(QFile::exists(left.path()));
    }
}

TEST_F(CliTest, InitOnADirectoryThatCannotBeWrittenFails) {
    ASSERT_EQ(cli({"users", "add", "Ann"}, "\n").rc, 0);  // data files, but no settings yet
    test::ReadOnlyMount mount(data);
    if (!mount.ok()) {
        GTEST_SKIP() << "no read-only bind mount can be made here";
    }
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    CliIo io{in, out, err, false, &clock};
    const int initRc = runCli({"--data", mount.path(), "init"}, io);
    std::istringstream in2;
    std::ostringstream out2;
    std::ostringstream err2;
    CliIo io2{in2, out2, err2, false, &clock};
    const int listRc = runCli({"--data", mount.path(), "users", "list"}, io2);
    mount.unmount();
    EXPECT_EQ(initRc, 1) << err.str();
    EXPECT_NE(err.str(), "");
    EXPECT_EQ(listRc, 0) << err2.str();
    EXPECT_EQ(out2.str(), "Ann\n");
}

} // namespace

namespace {

class CliSyncTest : public CliTest {
protected:
    QTemporaryDir otherTemp;
    QString other = otherTemp.path();
    QTemporaryDir stick;
    QString exchange = QDir(stick.path()).filePath("home.SYN");

    CliRun atOther(QStringList args, const QByteArray& input = {}) {
        std::swap(data, other);
        CliRun r = cli(std::move(args), input);
        std::swap(data, other);
        return r;
    }
};

} // namespace

// A script on two machines: send from one data directory, receive into another, summaries on standard output.
TEST_F(CliSyncTest, SyncCarriesAUsersEntriesBetweenTwoDataDirectories) {
    ASSERT_EQ(cli({"users", "add", "Alice"}, "sesame\n").rc, 0);
    addEntry("Alice", "Bank", "alice", {"--notes", "first line"}, "sesame\nbank-pw\n");
    addEntry("Alice", "Mail", "al", {}, "sesame\nmail-pw\n");
    CliRun r = cli({"sync", "send", "--user", "Alice", "--file", exchange}, "sesame\n");
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Records added to the synchonization file:  2\n");
    EXPECT_EQ(r.err, "");

    ASSERT_EQ(atOther({"init"}).rc, 0);
    ASSERT_EQ(atOther({"users", "add", "Bob"}, "sesame\n").rc, 0);
    r = atOther({"sync", "receive", "--user", "Bob", "--file", exchange}, "sesame\n");
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Records added:  2\nRecords updated:  0\n");
    r = atOther({"sync", "receive", "--user", "Bob", "--file", exchange}, "sesame\n");
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "Records added:  0\nRecords updated:  0\n");
    r = atOther({"entries", "show", "1", "--user", "Bob", "--show-password"}, "sesame\n");
    EXPECT_TRUE(r.out.contains("Password: bank-pw\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Notes: first line\n")) << r.out.toStdString();

    // A user with another login password, if only in case, is refused: one line, status 1.
    ASSERT_EQ(atOther({"users", "add", "Carl"}, "Sesame\n").rc, 0);
    r = atOther({"sync", "receive", "--user", "Carl", "--file", exchange}, "Sesame\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Password mismatch: The user receiving the synchronization file must have the same password as "
                     "the user that created the file.\n");
    EXPECT_EQ(atOther({"entries", "list", "--user", "Carl"}, "Sesame\n").out, "");
}

TEST_F(CliSyncTest, AFileThatIsNoExchangeFileIsOneLineAndStatusOne) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    QFile csv(exchange);
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("Service,Name,Password\nBank,ann,secret\n");
    csv.close();
    const QString missing = QDir(stick.path()).filePath("missing.syn");
    for (const QString& path : {exchange, missing, QDir(data).filePath("ZD_DATA"), stick.path()}) {
        SCOPED_TRACE(path.toStdString());
        const CliRun r = cli({"sync", "receive", "--user", "Default User", "--file", path});
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(path)) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(missing));
    const CliRun full = cli({"sync", "send", "--user", "Default User", "--file", "/dev/full"});
    EXPECT_EQ(full.rc, 1);
    EXPECT_EQ(full.err, "Invalid File: Error: (Not a regular file (48)) accessing /dev/full.\n");
    EXPECT_EQ(cli({"sync", "send", "--user", "Default User"}).rc, 2);
    EXPECT_EQ(cli({"sync", "receive", "--file", exchange}).rc, 2);
}

// Whatever umask the program is started under, every file it writes is its owner's alone: the data files
// and their logs, and an exchange file written elsewhere.
TEST_F(CliSyncTest, EveryFileWrittenIsTheOwnersAloneUnderAnOpenUmask) {
    const mode_t before = ::umask(022);
    ASSERT_EQ(cli({"init"}).rc, 0);
    addEntry("Default User", "Bank", "alice", {"--notes", "note"}, "bank-pw\n");
    EXPECT_EQ(cli({"sync", "send", "--user", "Default User", "--file", exchange}).rc, 0);
    ASSERT_EQ(atOther({"init"}).rc, 0);
    EXPECT_EQ(atOther({"sync", "receive", "--user", "Default User", "--file", exchange}).rc, 0);
    ::umask(before);
    QStringList files;
    for (const QString& dir : {data, other, stick.path()}) {
        for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
            struct stat st {};
            ASSERT_EQ(::stat(QFile::encodeName(f.filePath()).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, S_ISDIR(st.st_mode) ? 0700u : 0600u) << f.filePath().toStdString();
            files << f.fileName();
        }
    }
    EXPECT_EQ(files.count("ZD_DATA"), 2) << files.join(' ').toStdString();
    EXPECT_TRUE(files.contains("home.SYN")) << files.join(' ').toStdString();
}

// Export and import between two data directories: counts on standard output, the messages as one line.
TEST_F(CliSyncTest, ExportAndImportCarryEntriesAndStopAtADuplicateKeepingWhatWasAdded) {
    const QString file = QDir(stick.path()).filePath("out.csv");
    addEntry("Default User", "Mail, work", "ann", {"--notes", "two\nlines"}, "p\"w\n");
    addEntry("Default User", "Bank", "bo", {"--expiry", "2030-01-31", "--wait", "7"});
    CliRun r = cli({"export", "--user", "Default User", "--fields", "P_:Service,p_:name,P_:Password,P_:Notes,"
                    "P_:ExpiryDate,P_:SecondsToWait", "--picture", "P_:ExpiryDate=@d2", "--header", "--file", file});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "2\n");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()),
              "\"P_:Service\",\"P_:Name\",\"P_:Password\",\"P_:Notes\",\"P_:ExpiryDate\",\"P_:SecondsToWait\"\r\n"
              "\"Mail, work\",\"ann\",\"p\"\"w\",\"two\nlines\",\"\",\"2 seconds\"\r\n"
              "\"Bank\",\"bo\",\"pw\",\"\",\"01/31/2030\",\"7 seconds\"\r\n");

    ASSERT_EQ(atOther({"init"}).rc, 0);
    r = atOther({"import", "--user", "Default User", "--auto", "--picture", "5=@d2", "--picture", "6=@p<<<# secondspb",
                 "--file", file});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "2\n");
    r = atOther({"entries", "show", "2", "--user", "Default User", "--show-password"});
    EXPECT_TRUE(r.out.contains("Expiry Date: 2030-01-31\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Seconds To Wait: 7\n")) << r.out.toStdString();

    // The same file again: the first line is a duplicate, answered with Cancel; nothing more is added.
    r = atOther({"import", "--user", "Default User", "--map", "1=P_:Service,2=P_:Name", "--strip-header", "--file", file});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "0\n");
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
    EXPECT_TRUE(lines[0].startsWith("Auto Increment Error: Attempts to automatically number this record have failed."));
    EXPECT_TRUE(lines[1].startsWith("Cannot ADD to Passwords!: Error #"));
    EXPECT_EQ(atOther({"entries", "list", "--user", "Default User"}).out.count('\n'), 2);
}

TEST_F(CliSyncTest, TransferRefusalsAreOneLineWithStatusOneAndUsageErrorsStatusTwo) {
    ASSERT_EQ(cli({"init"}).rc, 0);
    const QString empty = QDir(stick.path()).filePath("empty.csv");
    QFile(empty).open(QIODevice::WriteOnly);
    struct Case {
        QStringList args;
        int rc;
        QString err;
    };
    const QString u = "Default User";
    for (const Case& c : {
             Case{{"export", "--user", u, "--fields", "P_:Service", "--header", "--file", "/dev/full"}, 1,
                  "Cannot ADD to /dev/full: Error #28 - No space left on device\n"},
             Case{{"export", "--user", u, "--fields", "P_:Service", "--file", stick.path()}, 1,
                  "Cannot CREATE " + stick.path() + ": Error #21 - Is a directory\n"},
             Case{{"export", "--user", u, "--fields", "P_:Service", "--picture", "P_:Service=s", "--file", empty}, 1,
                  "Invalid Picture!: Pictures must begin with \"@\"\n"},
             Case{{"import", "--user", u, "--auto", "--file", stick.path()}, 1,
                  "Cannot OPEN " + stick.path() + ": Error #21 - Is a directory\n"},
             Case{{"import", "--user", u, "--auto", "--file", empty}, 1,
                  "Attention!: That file is empty!  Please pick another file.\n"},
             Case{{"import", "--user", u, "--auto", "--file", QDir(data).filePath("ZD_DATA")}, 1,
                  "Cannot OPEN " + QDir(data).filePath("ZD_DATA") + ": Error #5 - It is one of Zendrel's own data files\n"},
             Case{{"export", "--user", u, "--fields", "P_:User", "--file", empty}, 2, {}},
             Case{{"import", "--user", u, "--file", empty}, 2, {}},
             Case{{"import", "--user", u, "--map", "0=P_:Service", "--file", empty}, 2, {}},
         }) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = cli(c.args);
        EXPECT_EQ(r.rc, c.rc) << r.err.toStdString();
        if (c.rc == 1) {
            EXPECT_EQ(r.err, c.err);
        }
    }
    // A file without any field of ours: nothing is assigned.
    QFile other(empty);
    other.open(QIODevice::WriteOnly);
    other.write("Title,Username\nMail,ann\n");
    other.close();
    const CliRun r = cli({"import", "--user", u, "--auto", "--file", empty});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "No Fields Selected for Import!: You must select one or more fields to import.\n");
    // Standard output takes the lines; the count goes to standard error.
    const CliRun piped = raw({"--data", data, "export", "--user", u, "--fields", "P_:Service", "--file", "-"});
    EXPECT_EQ(piped.rc, 0);
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(piped.err, "0\n");
}

namespace {

class CliReportTest : public CliTest {
protected:
    QTemporaryDir outDir;
    QString pdf = QDir(outDir.path()).filePath("report.pdf");

    // The real program: it lays the pages out in the system's fonts, which this test process cannot.
    CliRun report(const QString& kind, const QString& user, const QString& file, const QByteArray& input = {}) {
        return raw({"--data", data, "report", "--kind", kind, "--user", user, "--pdf", file}, input);
    }
};

} // namespace

TEST_F(CliReportTest, EveryReportIsAPdfThatOnlyItsOwnerReads) {
    ASSERT_EQ(cli({"users", "add", "Alice"}, "sesame\n").rc, 0);
    addEntry("Alice", "Bank", "alice", {"--url", "https://bank.example", "--notes", "first line"}, "sesame\nbank-pw\n");
    addEntry("Alice", "Mail", "al", {"--wait", "3"}, "sesame\nmail-pw\n");
    const char* headings[][2] = {{"service", "Passwords by Service"},
                                 {"url", "Passwords by URL"},
                                 {"name", "Passwords by Name"},
                                 {"date", "Passwords by Last Date Changed"},
                                 {"master", "Master Password Report for Alice"}};
    for (const auto& [kind, heading] : headings) {
        SCOPED_TRACE(kind);
        const CliRun r = report(kind, "alice", pdf, "sesame\n");
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, "Pages: 1\n");
        EXPECT_EQ(r.err, "");
        const QStringList lines = test::pdfLines(test::pdfText(pdf));
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.first(), heading);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(pdf).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    const QStringList master = test::pdfLines(test::pdfText(pdf));
    for (const char* line : {"Password bank-pw", "first line", "URL https://bank.example", "Wait: 3", "Password mail-pw"}) {
        EXPECT_TRUE(master.contains(line)) << line << "\n" << master.join("\n").toStdString();
    }
    // The date format of the options reaches the report.
    ASSERT_EQ(cli({"settings", "set", "DateFormat", "d8"}).rc, 0);
    ASSERT_EQ(report("date", "Alice", pdf, "sesame\n").rc, 0);
    EXPECT_TRUE(test::pdfLines(test::pdfText(pdf)).contains("Bank alice " + formatDate(clock.today(), "d8") + " 12:00PM"))
        << test::pdfText(pdf).toStdString();
}

TEST_F(CliReportTest, RefusalsAreOneLineAndLeaveNoFile) {
    ASSERT_EQ(cli({"users", "add", "Alice"}, "sesame\n").rc, 0);
    ASSERT_EQ(cli({"users", "add", "Bob"}, "pw\n").rc, 0);
    addEntry("Alice", "Bank", "alice", {}, "sesame\nbank-pw\n");
    CliRun r = report("service", "Bob", pdf, "pw\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "NOTE...: Nothing to Print.\n");
    EXPECT_FALSE(QFile::exists(pdf));
    r = report("service", "Alice", pdf, "wrong\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    for (const QString& path : {QDir(outDir.path()).filePath("missing/report.pdf"), QString("/dev/full"),
                                QDir(data).filePath("ZD_DATA")}) {
        SCOPED_TRACE(path.toStdString());
        r = report("master", "Alice", path, "sesame\n");
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("File Access Error: File (" + path + ") could not be opened.")) << r.err.toStdString();
    }
    EXPECT_EQ(cli({"entries", "list", "--user", "Alice"}, "sesame\n").rc, 0);
    test::FullDisk disk;
    if (disk.ok()) {
        disk.fill();
        const QString full = QDir(disk.path()).filePath("report.pdf");
        r = report("master", "Alice", full, "sesame\n");
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.startsWith("File Access Error: File (" + full + ") could not be")) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(full));
    }
    EXPECT_EQ(report("cheques", "Alice", pdf).rc, 2);
    EXPECT_EQ(raw({"--data", data, "report", "--kind", "master", "--user", "Alice"}).rc, 2);
}

// The data directory's passphrase through the command-line companion, on real files: what the files are
// keyed with, what a wrong or missing passphrase or header leaves behind, and a change killed half-way.
#include "app/cli/Cli.h"
#include "data/Database.h"
#include "data/Passphrase.h"
#include "platform/sim/VirtualClock.h"
#include "session/OwnerKeys.h"
#include "support/Mounts.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sstream>
#include <thread>
#include <unistd.h>

using namespace zendrel;

namespace {

struct Outcome {
    int rc;
    QString out;
    QString err;
};

const QString kWrong = QStringLiteral("Passphrase: The passphrase is not right for this data directory.");

class PassphraseTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString data = temp.path() + QStringLiteral("/data");
    sim::VirtualClock clock{50000, 12 * 360000 + 1};

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(data)); }

    // One command in this process; `passphrase` (when given) comes through --passphrase-fd.
    Outcome cli(QStringList args, const QByteArray& input = {}, const std::optional<QByteArray>& passphrase = {},
            const QString& directory = {}) {
        int fd = -1;
        QStringList head{"--data", directory.isEmpty() ? data : directory};
        if (passphrase) {
            const QString path = temp.filePath(QStringLiteral("given"));
            QFile f(path);
            f.open(QIODevice::WriteOnly | QIODevice::Truncate);
            f.write(*passphrase + '\n');
            f.close();
            fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
            head << QStringLiteral("--passphrase-fd") << QString::number(fd);
        }
        std::istringstream in(input.toStdString());
        std::ostringstream out;
        std::ostringstream err;
        CliIo io{in, out, err, false, &clock};
        const int rc = runCli(head + args, io);
        if (fd >= 0) {
            ::close(fd);
        }
        return {rc, QString::fromStdString(out.str()), QString::fromStdString(err.str()).trimmed()};
    }
    Outcome list(const std::optional<QByteArray>& passphrase = {}) {
        return cli({"entries", "list", "--user", "Default User"}, {}, passphrase);
    }
    void fill(int entries) {
        ASSERT_EQ(cli({"init"}).rc, 0);
        for (int i = 0; i < entries; ++i) {
            const Outcome r = cli({"entries", "add", "--user", "Default User", "--service",
                                   QStringLiteral("S%1").arg(i), "--name", QStringLiteral("n%1").arg(i),
                                   "--url", QStringLiteral("u%1").arg(i)},
                                  "pw\n");
            ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        }
    }
    int listed(const std::optional<QByteArray>& passphrase) {
        const Outcome r = list(passphrase);
        return r.rc == 0 ? static_cast<int>(r.out.count(QLatin1Char('\n'))) : -1;
    }
    // Every file of the directory with its bytes.
    std::map<QString, QByteArray> snapshot() const {
        std::map<QString, QByteArray> files;
        for (const QString& f : QDir(data).entryList(QDir::Files | QDir::Hidden)) {
            QFile file(QDir(data).filePath(f));
            file.open(QIODevice::ReadOnly);
            files[f] = file.readAll();
        }
        return files;
    }
    QByteArray keyOf(const QString& passphrase) const {
        const HeaderFile h = readPassphraseHeader(data);
        return derivePassphraseKey(passphrase, h.header);
    }
};

// The sqlcipher shell's answer to a count of the users under a raw key.
QString shellCount(const QString& file, const QByteArray& rawKey) {
    QProcess p;
    p.start(QStringLiteral("sqlcipher"), {file});
    p.write("PRAGMA key = \"" + keyLiteral(rawKey) + "\";\nSELECT count(*) FROM sqlite_master;\n");
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

} // namespace

TEST_F(PassphraseTest, SetKeysEveryDataFileWithThePassphraseAndExchangeFilesKeepTheRuntimeKey) {
    fill(2);
    const Outcome set = cli({"passphrase", "set"}, "correct horse\n");
    ASSERT_EQ(set.rc, 0) << set.err.toStdString();
    const QByteArray key = keyOf(QStringLiteral("correct horse"));
    ASSERT_EQ(key.size(), 48);
    const QByteArray runtime = deriveRawKey(buildRuntimeKey());
    for (const QString& f : {QStringLiteral("ZD_DATA"), QStringLiteral("QRTXDATA")}) {
        const QString path = QDir(data).filePath(f);
        if (!QFileInfo::exists(path)) {
            continue;
        }
        SCOPED_TRACE(f.toStdString());
        EXPECT_THROW(Connection(path, Connection::Mode::ReadOnly, runtime), StoreError);
        EXPECT_NO_THROW(Connection(path, Connection::Mode::ReadOnly, key));
        EXPECT_TRUE(shellCount(path, runtime).contains(QLatin1String("not a database"))) << shellCount(path, runtime).toStdString();
        bool number = false;
        EXPECT_GT(shellCount(path, key).toInt(&number), 0);
        EXPECT_TRUE(number);
    }
    EXPECT_EQ(listed(QByteArray("correct horse")), 2);

    // An exchange file written from the protected directory opens in an unprotected one, and back.
    const QString other = temp.filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    ASSERT_EQ(cli({"init"}, {}, {}, other).rc, 0);
    const QString syn = temp.filePath(QStringLiteral("x.syn"));
    const Outcome sent = cli({"sync", "send", "--user", "Default User", "--file", syn}, {}, QByteArray("correct horse"));
    ASSERT_EQ(sent.rc, 0) << sent.err.toStdString();
    EXPECT_NO_THROW(Connection(syn, Connection::Mode::ReadOnly, runtime));
    const Outcome received = cli({"sync", "receive", "--user", "Default User", "--file", syn}, {}, {}, other);
    ASSERT_EQ(received.rc, 0) << received.err.toStdString();
    ASSERT_EQ(cli({"entries", "add", "--user", "Default User", "--service", "Z", "--name", "n"}, "pw\n", {}, other).rc, 0);
    const QString back = temp.filePath(QStringLiteral("back.syn"));
    ASSERT_EQ(cli({"sync", "send", "--user", "Default User", "--file", back}, {}, {}, other).rc, 0);
    const Outcome home = cli({"sync", "receive", "--user", "Default User", "--file", back}, {}, QByteArray("correct horse"));
    ASSERT_EQ(home.rc, 0) << home.err.toStdString();
    EXPECT_EQ(listed(QByteArray("correct horse")), 3);
}

TEST_F(PassphraseTest, WrongPassphrasesChangeNoByteAndTheRightOneThenOpens) {
    fill(1);
    ASSERT_EQ(cli({"passphrase", "set"}, "right one\n").rc, 0);
    const auto before = snapshot();
    for (const QByteArray& wrong : {QByteArray("wrong one"), QByteArray("Right one"), QByteArray("right one ")}) {
        const Outcome r = list(wrong);
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err, kWrong);
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(listed(QByteArray("right one")), 1);
}

TEST_F(PassphraseTest, BadPassphrasesAreRefusedAndNothingIsWritten) {
    fill(1);
    const auto before = snapshot();
    const struct {
        QByteArray given;
        QString error;
    } cases[] = {
        {"", "Passphrase: The passphrase may not be empty."},
        {QByteArray(1 << 20, 'x'), "Passphrase: The passphrase is too long: at most 1024 characters are allowed."},
    };
    for (const auto& c : cases) {
        const Outcome r = cli({"passphrase", "set"}, c.given + '\n');
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err, c.error);
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PassphraseTest, TheSamePassphraseTypedAnotherWayGivesTheSameKey) {
    fill(1);
    ASSERT_EQ(cli({"passphrase", "set"}, QStringLiteral("caf\u00e9").toUtf8() + '\n').rc, 0);
    EXPECT_EQ(listed(QStringLiteral("cafe\u0301").toUtf8()), 1);
}

TEST_F(PassphraseTest, AMissingOrDamagedHeaderIsSaidAndRewritesNothing) {
    fill(1);
    ASSERT_EQ(cli({"passphrase", "set"}, "secret\n").rc, 0);
    const QString header = QDir(data).filePath(QString::fromLatin1(kPassphraseHeaderName));
    QFile h(header);
    h.open(QIODevice::ReadOnly);
    const QByteArray good = h.readAll();
    h.close();
    const struct {
        std::optional<QByteArray> header;
        QString error;
    } cases[] = {
        // Without a header, files that refuse the built-in key cannot be told from damaged ones.
        {std::nullopt, "Invalid File: Error: (file is encrypted or is not a database (26)) accessing "},
        {QByteArray(good).replace("memory=", "memory=x"),
         "Passphrase: The passphrase header ZD_PASSPHRASE of this data directory is damaged. Nothing was changed; "
         "restore the header from a backup."},
        {good.left(40), "Passphrase: The passphrase header ZD_PASSPHRASE of this data directory is damaged. Nothing was "
                        "changed; restore the header from a backup."},
    };
    for (const auto& c : cases) {
        QFile::remove(header);
        if (c.header) {
            QFile f(header);
            f.open(QIODevice::WriteOnly);
            f.write(*c.header);
        }
        const auto before = snapshot();
        for (const QStringList& args : {QStringList{"entries", "list", "--user", "Default User"}, QStringList{"init"}}) {
            const Outcome r = cli(args, {}, QByteArray("secret"));
            EXPECT_EQ(r.rc, 1);
            EXPECT_TRUE(r.err.startsWith(c.error)) << r.err.toStdString();
        }
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(PassphraseTest, RemoveOpensWithoutAQuestionAndChangeNeedsTheCurrentOne) {
    fill(2);
    ASSERT_EQ(cli({"passphrase", "set"}, "first\n").rc, 0);
    EXPECT_EQ(cli({"passphrase", "change"}, "second\n", QByteArray("nope")).err, kWrong);
    ASSERT_EQ(cli({"passphrase", "change"}, "second\n", QByteArray("first")).rc, 0);
    EXPECT_EQ(list(QByteArray("first")).err, kWrong);
    ASSERT_EQ(cli({"passphrase", "remove"}, {}, QByteArray("second")).rc, 0);
    EXPECT_FALSE(QFileInfo::exists(QDir(data).filePath(QString::fromLatin1(kPassphraseHeaderName))));
    EXPECT_EQ(listed(std::nullopt), 2);
    EXPECT_EQ(cli({"passphrase", "remove"}).err, QStringLiteral("Passphrase: The data directory has no passphrase."));
}

TEST_F(PassphraseTest, RefusedWhileAnotherProgramHoldsTheDirectory) {
    fill(1);
    DirectoryLock other;
    ASSERT_TRUE(other.share(data).isEmpty());
    const auto before = snapshot();
    const Outcome r = cli({"passphrase", "set"}, "secret\n");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, QStringLiteral("Passphrase: Another program has the data directory open. Close it and try again."));
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PassphraseTest, AReadOnlyDirectoryRefusesSetAndStaysOpenableWithoutAPassphrase) {
    fill(2);
    test::ReadOnlyMount mount(data);
    if (!mount.ok()) {
        GTEST_SKIP() << "bind mounts need root";
    }
    const auto before = snapshot();
    const Outcome r = cli({"passphrase", "set"}, "secret\n", {}, mount.path());
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, QStringLiteral("Passphrase: The data directory %1 cannot be written: Read-only file system. "
                                    "Nothing was changed.")
                         .arg(mount.path()));
    EXPECT_FALSE(QFileInfo::exists(QDir(mount.path()).filePath(QString::fromLatin1(kPassphraseHeaderName))));
    mount.unmount();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(listed(std::nullopt), 2);
}

TEST_F(PassphraseTest, AProgramStartedDuringAChangeIsRefusedAndOneStartedBesideAnotherStartWaits) {
    fill(1);
    ASSERT_EQ(cli({"passphrase", "set"}, "secret\n").rc, 0);
    const auto before = snapshot();
    {
        // A change holds the directory alone for as long as it copies the files.
        DirectoryLock change;
        ASSERT_TRUE(change.takeAlone(data));
        const struct {
            QStringList args;
            QString error;
        } cases[] = {
            {{"entries", "list", "--user", "Default User"},
             QStringLiteral("Passphrase: The data directory %1 cannot be opened: another program is changing its "
                            "passphrase; try again when it has finished.")
                 .arg(data)},
            {{"passphrase", "remove"},
             QStringLiteral("Passphrase: Another program has the data directory open. Close it and try again.")},
        };
        for (const auto& c : cases) {
            const Outcome r = cli(c.args, {}, QByteArray("secret"));
            EXPECT_EQ(r.rc, 1);
            EXPECT_EQ(r.err, c.error);
        }
        EXPECT_EQ(snapshot(), before);
    }
    // Another program's start holds it alone only for a moment: this one waits for it.
    DirectoryLock starting;
    ASSERT_TRUE(starting.takeAlone(data));
    std::thread release([&starting] {
        QThread::msleep(300);
        starting = DirectoryLock();
    });
    EXPECT_EQ(listed(QByteArray("secret")), 1);
    release.join();
}

TEST_F(PassphraseTest, AChangeKilledAtAnyMomentLeavesTheOldOrTheNewSetWhole) {
    fill(200);
    ASSERT_EQ(cli({"passphrase", "set"}, "p0\n").rc, 0);
    QString current = QStringLiteral("p0");
    for (int run = 1; run <= 10; ++run) {
        SCOPED_TRACE(run);
        const QString next = QStringLiteral("p%1").arg(run);
        QFile given(temp.filePath(QStringLiteral("current")));
        given.open(QIODevice::WriteOnly | QIODevice::Truncate);
        given.write(current.toUtf8() + '\n');
        given.close();
        QProcess p;
        p.start(QStringLiteral("/bin/sh"),
                {"-c", QStringLiteral("exec '%1' --data '%2' --passphrase-fd 3 passphrase change 3<'%3'")
                           .arg(QStringLiteral(ZENDREL_CLI), data, given.fileName())});
        p.write(next.toUtf8() + '\n');
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForStarted());
        // Two derivations and the copies take about a second; kill anywhere in it, or let it finish.
        QThread::msleep(QRandomGenerator::global()->bounded(1200));
        ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
        p.waitForFinished(30000);
        const int withNew = listed(next.toUtf8());
        const int withOld = withNew < 0 ? listed(current.toUtf8()) : -1;
        ASSERT_TRUE(withNew == 200 || withOld == 200) << withNew << " " << withOld;
        if (withNew == 200) {
            current = next;
        }
    }
}

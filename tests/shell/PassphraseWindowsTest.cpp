// The data directory's passphrase in the windows, offscreen, on real files: the question at start and the
// frame's command that sets, changes and removes it while the program keeps its store.
#include "shell/PassphraseWindows.h"

#include "framework/WindowPositions.h"
#include "operations/PassphraseOperations.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "session/Login.h"
#include "session/OwnerKeys.h"
#include "shell/MainFrame.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <map>

using namespace zendrel;

namespace {

using test::button;
using test::named;
using test::whenModal;

const QString kWrong = QStringLiteral("The passphrase is not right for this data directory.");
const QString kBusy = QStringLiteral("Another program has the data directory open. Close it and try again.");

// Every file of a directory with its bytes; the window positions and the logs' shared memory, which reading
// changes, aside.
std::map<QString, QByteArray> snapshot(const QString& dir) {
    std::map<QString, QByteArray> files;
    for (const QString& f : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        if (f == QLatin1String("POSITION.INI") || f.endsWith(QLatin1String("-shm"))) {
            continue;
        }
        QFile file(QDir(dir).filePath(f));
        file.open(QIODevice::ReadOnly);
        files[f] = file.readAll();
    }
    return files;
}

// Answers each passphrase question that opens with the next text (nothing: "Cancel"). A window whose field
// is filled already is the one answered last, still closing.
void answerPassphrases(QList<std::optional<QString>> typed) {
    whenModal([typed](QWidget* w) mutable {
        auto* field = w->findChild<QLineEdit*>(QStringLiteral("Passphrase"));
        if (!field || !w->isVisible() || !field->text().isEmpty()) {
            answerPassphrases(typed);
            return;
        }
        const std::optional<QString> next = typed.takeFirst();
        if (!typed.isEmpty()) {
            answerPassphrases(typed);
        }
        if (next) {
            field->setText(*next);
            button(w, QStringLiteral("&OK"))->click();
        } else {
            button(w, QStringLiteral("Cancel"))->click();
        }
    });
}

// Fills the fields of the "Data Directory Passphrase" window that opens next and presses its buttons in turn; the
// window stays after each but the last. `check` sees the window first.
void answerSetup(const QString& current, const QString& fresh, const QString& confirmation, const QStringList& presses,
                 std::function<void(QWidget*)> check = nullptr) {
    whenModal([=](QWidget* w) {
        ASSERT_EQ(w->windowTitle(), "Data Directory Passphrase");
        if (check) {
            check(w);
        }
        if (auto* c = named<QLineEdit>(w, QStringLiteral("Current passphrase"))) {
            c->setText(current);
        }
        named<QLineEdit>(w, QStringLiteral("New passphrase"))->setText(fresh);
        named<QLineEdit>(w, QStringLiteral("Confirm new passphrase"))->setText(confirmation);
        for (const QString& press : presses) {
            EXPECT_TRUE(w->isVisible()) << "closed before " << press.toStdString();
            button(w, press)->click();
        }
    });
}

class PassphraseWindowsTest : public ::testing::Test {
protected:
    test::TestStore ts;
    sim::SimClipboard clipboard;
    std::shared_ptr<sim::SimDesktop> desktop = std::make_shared<sim::SimDesktop>();
    sim::SimShell shell;
    SystemRandom random;
    ScriptedFileDialogs dialogs;
    WindowPositions positions{ts.file("POSITION.INI")};
    DirectoryLock lock;
    std::unique_ptr<Main> frame;

    void SetUp() override {
        Table<UserRecord> users(ts.store());
        UserRecord ann = users.prime();
        ann.name = "Ann";
        ann.password = ann.confirmPassword = kNotRequired;
        ASSERT_TRUE(users.insert(ann));
        for (int i = 0; i < 3; ++i) {
            addEntry(i);
        }
    }
    void addEntry(int i) {
        PasswordRecord e = test::entry("Ann", QStringLiteral("Service %1").arg(i), "ann");
        Table<PasswordRecord> entries(ts.store());
        e.id = static_cast<int32_t>(entries.prime().id);
        ASSERT_TRUE(entries.insert(e));
    }
    int64_t entries() { return Table<PasswordRecord>(ts.store()).count(); }
    // The frame of the program that holds the store and the directory's shared lock, as the program starts.
    void openFrame(bool locked = true) {
        if (locked) {
            ASSERT_TRUE(lock.share(ts.dir()).isEmpty());
        }
        Settings s;
        s.monitorActive = 0;
        auto d = desktop;
        auto keyboard = std::make_shared<sim::SimKeyboard>(nullptr, desktop.get());
        frame = std::make_unique<Main>(FrameContext{ts.store(), ts.messages(), ts.clock(), clipboard, s, &positions,
                                                    [d, keyboard] {
                                                        return SendBackends{nullptr, keyboard.get(), d.get()};
                                                    },
                                                    {}, desktop.get(), &shell, &random, &dialogs, ts.dir(),
                                                    locked ? &lock : nullptr});
        frame->show();
    }
    QAction* command() const {
        for (QAction* menu : frame->menuBar()->actions()) {
            if (menu->menu()) {
                for (QAction* a : menu->menu()->actions()) {
                    if (a->text() == QStringLiteral("Passp&hrase ...")) {
                        return a;
                    }
                }
            }
        }
        return nullptr;
    }
    // Whether the data files open under a passphrase (nothing: the built-in key) and not under the other key.
    void expectKeyedBy(const std::optional<QString>& passphrase) {
        const QByteArray runtime = deriveRawKey(buildRuntimeKey());
        if (!passphrase) {
            EXPECT_FALSE(PassphraseOperations(ts.dir(), ts.messages()).isProtected());
            EXPECT_EQ(probeDataKey(ts.dir(), runtime), KeyProbe::Opens);
            return;
        }
        const HeaderFile h = readPassphraseHeader(ts.dir());
        ASSERT_EQ(h.state, HeaderFile::Present);
        EXPECT_EQ(probeDataKey(ts.dir(), derivePassphraseKey(*passphrase, h.header)), KeyProbe::Opens);
        EXPECT_EQ(probeDataKey(ts.dir(), runtime), KeyProbe::Refused);
    }
    QString lastText() { return ts.messages().shown.isEmpty() ? QString() : ts.messages().shown.last().text; }
};

} // namespace

TEST_F(PassphraseWindowsTest, TheStartAsksAgainAfterAWrongPassphraseAndCancelEndsWithNothingWritten) {
    ts.closeStore();
    ASSERT_TRUE(PassphraseOperations(ts.dir(), ts.messages()).set("harbour lights", "harbour lights"));
    const auto before = snapshot(ts.dir());
    ts.messages().shown.clear();
    {
        DirectoryLock held;
        answerPassphrases({QStringLiteral("harbour light"), QStringLiteral("harbour lights")});
        const std::optional<OwnerKeys> keys = openDataDirectory(ts.dir(), held, ts.messages());
        ASSERT_TRUE(keys);
        EXPECT_FALSE(keys->passphraseKey.isEmpty());
        ASSERT_EQ(ts.messages().shown.size(), 1);
        EXPECT_EQ(ts.messages().shown[0].text, kWrong);
        EXPECT_EQ(snapshot(ts.dir()), before) << "asking touched a file";
        DataStore store({ts.dir(), *keys, &ts.messages(), [](const QString& r) { ADD_FAILURE() << r.toStdString(); },
                         &ts.clock()});
        EXPECT_EQ(Table<PasswordRecord>(store).count(), 3);
    }
    const auto opened = snapshot(ts.dir());
    for (const QList<std::optional<QString>>& answers :
         {QList<std::optional<QString>>{std::nullopt},
          QList<std::optional<QString>>{QStringLiteral("nope"), QStringLiteral(""), std::nullopt}}) {
        ts.messages().shown.clear();
        DirectoryLock held;
        answerPassphrases(answers);
        EXPECT_FALSE(openDataDirectory(ts.dir(), held, ts.messages()));
        EXPECT_EQ(ts.messages().shown.size(), answers.size() - 1);
        EXPECT_EQ(snapshot(ts.dir()), opened);
    }
}

TEST_F(PassphraseWindowsTest, TheFrameSetsChangesAndRemovesThePassphraseAndGoesOnWithItsStore) {
    openFrame();
    QAction* a = command();
    ASSERT_TRUE(a);
    ASSERT_TRUE(a->isEnabled());

    answerSetup({}, "first words", "first words", {"&Set"}, [](QWidget* w) {
        EXPECT_FALSE(named<QLineEdit>(w, "Current passphrase"));
        EXPECT_FALSE(button(w, "&Remove"));
        EXPECT_TRUE(button(w, "Cancel"));
    });
    a->trigger();
    EXPECT_EQ(lastText(), "The passphrase is set. Keep it safe: without it the data cannot be opened.");
    expectKeyedBy(QStringLiteral("first words"));
    // The program reads and writes on under the new key.
    EXPECT_EQ(entries(), 3);
    addEntry(3);
    EXPECT_EQ(entries(), 4);

    // A wrong current passphrase is said, and the window stays for another try.
    whenModal([](QWidget* w) {
        ASSERT_TRUE(button(w, "&Change") && button(w, "&Remove"));
        named<QLineEdit>(w, "Current passphrase")->setText("first word");
        named<QLineEdit>(w, "New passphrase")->setText("second words");
        named<QLineEdit>(w, "Confirm new passphrase")->setText("second words");
        button(w, "&Change")->click();
        EXPECT_TRUE(w->isVisible());
        named<QLineEdit>(w, "Current passphrase")->setText("first words");
        button(w, "&Change")->click();
    });
    a->trigger();
    EXPECT_EQ(ts.messages().shown[ts.messages().shown.size() - 2].text, kWrong);
    EXPECT_EQ(lastText(), "The passphrase is changed.");
    expectKeyedBy(QStringLiteral("second words"));
    EXPECT_EQ(entries(), 4);

    answerSetup("second words", {}, {}, {"&Remove"});
    a->trigger();
    EXPECT_EQ(lastText(), "The passphrase is removed; the data directory opens without one.");
    expectKeyedBy(std::nullopt);
    addEntry(4);
    frame.reset();
    ts.reopen();  // as the next program would, with the built-in key alone
    EXPECT_EQ(entries(), 5);
}

TEST_F(PassphraseWindowsTest, TheFrameIsRefusedWhileAnotherProgramHasTheDirectoryAndBadInputRewritesNothing) {
    openFrame();
    QAction* a = command();
    ASSERT_TRUE(a);
    {
        // Another program (a monitor, the command line) shares the directory and holds a data file.
        DirectoryLock other;
        ASSERT_TRUE(other.share(ts.dir()).isEmpty());
        DataStore second({ts.dir(), ownerKeys(), &ts.messages(), nullptr, &ts.clock()});
        EXPECT_EQ(Table<PasswordRecord>(second).count(), 3);
        const auto before = snapshot(ts.dir());
        answerSetup({}, "new words", "new words", {"&Set", "Cancel"});
        a->trigger();
        EXPECT_EQ(lastText(), kBusy);
        EXPECT_EQ(snapshot(ts.dir()), before);
        EXPECT_EQ(Table<PasswordRecord>(second).count(), 3);
    }
    // Refused before any file is touched: empty, too long (a megabyte pasted is cut one beyond the limit),
    // a confirmation that differs.
    const auto before = snapshot(ts.dir());
    const struct {
        QString fresh;
        QString confirmation;
        QString message;
    } cases[] = {
        {"", "", "The passphrase may not be empty."},
        {QString(1 << 20, QLatin1Char('x')), QString(1 << 20, QLatin1Char('x')),
         "The passphrase is too long: at most 1024 characters are allowed."},
        {"these words", "those words", "The new passphrase and its confirmation differ."},
    };
    for (const auto& c : cases) {
        answerSetup({}, c.fresh, c.confirmation, {"&Set", "Cancel"});
        a->trigger();
        EXPECT_EQ(lastText(), c.message);
        EXPECT_EQ(snapshot(ts.dir()), before);
    }
    // With the other program gone, the same command goes through and the frame keeps its store.
    answerSetup({}, "new words", "new words", {"&Set"});
    a->trigger();
    expectKeyedBy(QStringLiteral("new words"));
    EXPECT_EQ(entries(), 3);
}

TEST_F(PassphraseWindowsTest, WithoutTheDirectoryLockTheCommandIsDisabled) {
    openFrame(false);
    ASSERT_TRUE(command());
    EXPECT_FALSE(command()->isEnabled());
}

TEST_F(PassphraseWindowsTest, ADamagedHeaderEndsTheStartWithoutAQuestionAndRewritesNothing) {
    ts.closeStore();
    ASSERT_TRUE(PassphraseOperations(ts.dir(), ts.messages()).set("harbour lights", "harbour lights"));
    QFile header(ts.file(QString::fromLatin1(kPassphraseHeaderName)));
    ASSERT_TRUE(header.open(QIODevice::ReadWrite));
    const QByteArray good = header.readAll();
    header.resize(0);
    header.write(QByteArray(good).replace("lanes=", "lanes=x"));
    header.close();
    const auto before = snapshot(ts.dir());
    ts.messages().shown.clear();
    DirectoryLock held;
    // No passphrase window may open: its question would be left unanswered and the call would not return.
    EXPECT_FALSE(openDataDirectory(ts.dir(), held, ts.messages()));
    ASSERT_EQ(ts.messages().shown.size(), 1);
    EXPECT_TRUE(ts.messages().shown[0].text.startsWith("The passphrase header ZD_PASSPHRASE of this data directory is "
                                                       "damaged."));
    EXPECT_EQ(snapshot(ts.dir()), before);
}

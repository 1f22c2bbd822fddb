// The synchronization windows, offscreen, with scripted messages and file choices.
#include "shell/SyncWindows.h"

#include "framework/ProgressWindow.h"
#include "session/Login.h"
#include "support/TestStore.h"
#include "support/WindowHelpers.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zendrel;

namespace {

using test::button;

class SyncWindowsTest : public ::testing::Test {
protected:
    test::TestStore a;
    test::TestStore b;
    QTemporaryDir stick;
    QString path = QDir(stick.path()).filePath("home.SYN");
    ScriptedFileDialogs dialogs;
    WindowPositions positions{a.file("POSITION.INI")};

    static void addUser(test::TestStore& ts, const QString& name, const QString& password) {
        Table<UserRecord> users(ts.store());
        UserRecord u = users.prime();
        u.name = name;
        u.password = password;
        u.confirmPassword = password;
        ASSERT_TRUE(users.insert(u));
    }
    static void addEntries(test::TestStore& ts, const QString& user, int n) {
        Table<PasswordRecord> entries(ts.store());
        for (int i = 0; i < n; ++i) {
            PasswordRecord e = test::entry(user, QStringLiteral("S%1").arg(i), QStringLiteral("n%1").arg(i));
            e.id = static_cast<int32_t>(entries.prime().id);
            ASSERT_TRUE(entries.insert(e));
        }
    }
};

} // namespace

TEST_F(SyncWindowsTest, TheWindowShowsItsTextAndSendsThroughTheDialogsAndTheProgressWindow) {
    addUser(a, "Ann", kNotRequired);
    addEntries(a, "Ann", 250);
    SyncWindows passes(a.store(), a.messages(), dialogs, &positions);
    {
        Synchronize window(passes, &positions);
        EXPECT_EQ(window.windowTitle(), "Synchronize");
        QStringList lines;
        for (auto* l : window.findChildren<QLabel*>()) {
            lines << l->text();
        }
        EXPECT_EQ(lines, Synchronize::textLines());
        EXPECT_EQ(lines.size(), 6);
        ASSERT_TRUE(button(&window, "&Receive") && button(&window, "&Send") && button(&window, "E&xit"));
        window.show();
        dialogs.answers = {path};
        button(&window, "&Send")->click();
        EXPECT_FALSE(window.isVisible());
    }
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, ScriptedFileDialogs::Kind::Save);
    EXPECT_EQ(dialogs.requests[0].title, "File to Send to...");
    EXPECT_EQ(dialogs.requests[0].filter, "Synchronization Files|*.SYN");
    EXPECT_EQ(dialogs.requests[0].start, "zendrel.syn");
    EXPECT_EQ(a.messages().titles(), QStringList{"Done"});
    EXPECT_EQ(a.messages().shown.last().text, "Records added to the synchonization file:  250");
    EXPECT_EQ(passes.path(), path);

    // A cancelled choice does nothing, and removes nothing: the chosen path is offered again.
    passes.send();
    EXPECT_EQ(dialogs.requests.last().start, path);
    EXPECT_EQ(a.messages().shown.size(), 1);
    EXPECT_TRUE(QFile::exists(path));

    addUser(b, "Bob", kNotRequired);
    ScriptedFileDialogs other;
    other.answers = {path};
    SyncWindows receiving(b.store(), b.messages(), other, nullptr);
    receiving.receive();
    EXPECT_EQ(other.requests[0].title, "File to Receive from...");
    EXPECT_EQ(other.requests[0].kind, ScriptedFileDialogs::Kind::Open);
    EXPECT_EQ(b.messages().shown.last().text, "Records added:  250\n\nRecords updated:  0");
}

TEST_F(SyncWindowsTest, TheCommandLineRunsWithoutDialogsAndReportsFailures) {
    addUser(a, "Ann", "pw");
    addEntries(a, "Ann", 3);
    SyncWindows passes(a.store(), a.messages(), dialogs, &positions);
    bool failed = true;
    EXPECT_FALSE(passes.fromCommandLine({"Sync=in", "Ann", "pw", path}, &failed));
    EXPECT_TRUE(passes.fromCommandLine({"/SyncOut", "User=ann", "Password=pw", "File=" + path, "Data=A"}, &failed));
    EXPECT_FALSE(failed);
    EXPECT_TRUE(dialogs.requests.isEmpty());
    EXPECT_EQ(a.messages().shown.last().text, "Records added to the synchonization file:  3");

    addUser(b, "Bob", "pw");
    SyncWindows receiving(b.store(), b.messages(), dialogs, nullptr);
    EXPECT_TRUE(receiving.fromCommandLine({"Sync=In", "Bob", "pw", path}, &failed));
    EXPECT_FALSE(failed);
    EXPECT_EQ(b.messages().shown.last().text, "Records added:  3\n\nRecords updated:  0");
    EXPECT_TRUE(receiving.fromCommandLine({"/SyncIn"}, &failed));
    EXPECT_TRUE(failed);
    EXPECT_EQ(b.messages().shown.last().title, "Synchonization cancelled");
    EXPECT_TRUE(receiving.fromCommandLine({"Sync=In", "Bob", "PW", path}, &failed));
    EXPECT_TRUE(failed);
    EXPECT_EQ(b.messages().shown.last().title, "Access Denied");
    EXPECT_TRUE(receiving.fromCommandLine({"Sync=In", "Bob", "pw", path + ".missing"}, &failed));
    EXPECT_TRUE(failed);
    EXPECT_EQ(b.messages().shown.last().title, "File Access Error");
    EXPECT_TRUE(dialogs.requests.isEmpty());
}

// "Cancel" in the progress window stops either pass after its current slice: what was written stays, and the
// summary still counts it.
TEST_F(SyncWindowsTest, CancellingEitherPassKeepsWhatWasWrittenAndStillShowsTheSummary) {
    addUser(a, "Ann", kNotRequired);
    addEntries(a, "Ann", 3000);
    auto cancelOnceUnderWay = [](int atLeast) {
        test::whenModal([atLeast](QWidget* w) {
            auto* progress = dynamic_cast<ProgressWindow*>(w);
            ASSERT_NE(progress, nullptr);
            auto* poll = new QTimer(progress);
            QObject::connect(poll, &QTimer::timeout, progress, [progress, poll, atLeast] {
                if (progress->bar()->value() >= atLeast) {
                    poll->stop();
                    progress->cancelButton()->click();
                }
            });
            poll->start(0);
        });
    };
    auto counted = [](const test::TestStore& ts, const QString& prefix) {
        const QString text = const_cast<test::TestStore&>(ts).messages().shown.last().text;
        EXPECT_TRUE(text.startsWith(prefix)) << text.toStdString();
        return text.mid(prefix.size()).section(QLatin1Char('\n'), 0, 0).toInt();
    };

    SyncWindows sending(a.store(), a.messages(), dialogs, nullptr);
    cancelOnceUnderWay(1000);
    sending.run(true, Table<UserRecord>(a.store()).fetch("U_:KeyName", {QStringLiteral("Ann")}).value(), path);
    const int sent = counted(a, "Records added to the synchonization file:  ");
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, 3000);

    addUser(b, "Bob", kNotRequired);
    SyncWindows receiving(b.store(), b.messages(), dialogs, nullptr);
    const UserRecord bob = Table<UserRecord>(b.store()).fetch("U_:KeyName", {QStringLiteral("Bob")}).value();
    cancelOnceUnderWay(1);
    receiving.run(false, bob, path);
    const int received = counted(b, "Records added:  ");
    EXPECT_GT(received, 0);
    EXPECT_LT(received, sent);
    EXPECT_EQ(Table<PasswordRecord>(b.store()).count(), received);

    // The rest arrives with the next receive; what came before is left as it is.
    receiving.run(false, bob, path);
    EXPECT_EQ(b.messages().shown.last().text,
              QStringLiteral("Records added:  %1\n\nRecords updated:  0").arg(sent - received));
    EXPECT_EQ(Table<PasswordRecord>(b.store()).count(), sent);
}

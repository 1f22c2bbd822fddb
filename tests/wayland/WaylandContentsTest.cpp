// What native Wayland windows show, read over the accessibility bus, under the private headless sway of
// with-sway.sh. The compositor names a window only by its title and application id, so the reader must find
// the one program on the bus that owns it. zenity (GTK), label_window (Qt) and a GTK application with a
// reverse-domain id answer on the bus; foot does not. The test starts its own session and accessibility buses.
#include "platform/Clock.h"
#include "platform/atspi/AtspiTexts.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "send/Sender.h"
#include "support/AccessibilityBuses.h"
#include "support/TypedInto.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <optional>

using namespace zendrel;
using namespace std::chrono_literals;

namespace {

const auto* const kBuses = ::testing::AddGlobalTestEnvironment(new test::AccessibilityBuses);

using Texts = std::optional<std::vector<std::string>>;

bool has(const Texts& texts, const std::string& text) {
    return texts && std::find(texts->begin(), texts->end(), text) != texts->end();
}

class WaylandContentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        conn = wayland::WaylandConnection::open();
        ASSERT_TRUE(conn) << "no Wayland compositor";
        ASSERT_TRUE(conn->canSend()) << conn->missingForSending();
        desktop = std::make_unique<wayland::WaylandDesktop>(*conn);
        keyboard = std::make_unique<wayland::WaylandKeyboard>(*conn);
        desktop->setWindowTexts(&atspi::sharedWindowTextSource());
    }
    void TearDown() override {
        for (QProcess* p : clients) {
            kill(static_cast<pid_t>(p->processId()), SIGCONT);
            p->kill();
            p->waitForFinished(3000);
            delete p;
        }
    }

    // Starts a window program and waits until `count` windows titled `title` are listed, the newest in front.
    QProcess* start(const QString& program, const QStringList& args, const QString& title, int count = 1) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("GDK_BACKEND", "wayland");
        env.insert("QT_QPA_PLATFORM", "wayland");
        env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");  // Qt describes its windows only when told
        auto* p = new QProcess;
        p->setProcessEnvironment(env);
        p->start(program, args);
        clients.push_back(p);
        for (int i = 0; i < 400 && listed(title) < count; ++i) {
            QThread::msleep(25);
        }
        EXPECT_EQ(listed(title), count) << program.toStdString() << " did not show " << title.toStdString();
        QThread::msleep(300);
        return p;
    }
    QProcess* zenity(const QString& title, const QString& text, int count = 1) {
        return start("zenity", {"--entry", "--title", title, "--text", text}, title, count);
    }
    QProcess* labelWindow(const QString& title, const QString& label, int count = 1) {
        return start(ZENDREL_LABEL_WINDOW, {title, label}, title, count);
    }
    // A foot terminal, not on the bus, whose input goes to a file; the file's path.
    QString foot(const QString& title, int count = 1) {
        const QString file = dir.filePath(QStringLiteral("foot%1").arg(clients.size()));
        start("foot", {"--title", title, "sh", "-c", "stty -echo; exec cat > '" + file + "'"}, title, count);
        return file;
    }
    int listed(const QString& title) {
        const auto windows = desktop->topLevelWindows();
        return static_cast<int>(std::count_if(windows.begin(), windows.end(),
                                              [&](const WindowInfo& w) { return w.text == title.toStdString(); }));
    }
    // Waits until the window of that title and id shows `text` on the bus.
    bool described(const std::string& title, const std::string& appId, const std::string& text) {
        for (int i = 0; i < 100; ++i) {
            if (has(texts.textsOf({title, appId}), text)) {
                return true;
            }
            QThread::msleep(100);
        }
        return false;
    }
    SendOutcome send(const QString& title, const QString& text, const QString& contents) {
        Sender sender(*keyboard, *desktop, clock, SendSettings{7, 0});
        return sender.send({title, contents, ExpandedText::plain(text), false}, Activation::Main);
    }
    // What a zenity or label_window printed when Enter was typed into it; nullopt while it still runs.
    static std::optional<QString> typed(QProcess* p, int ms = 5000) {
        if (!p->waitForFinished(ms)) {
            return std::nullopt;
        }
        return QString::fromUtf8(p->readAllStandardOutput()).trimmed();
    }

    QTemporaryDir dir;
    SystemClock clock;
    atspi::AtspiTexts texts;
    std::unique_ptr<wayland::WaylandConnection> conn;
    std::unique_ptr<wayland::WaylandDesktop> desktop;
    std::unique_ptr<wayland::WaylandKeyboard> keyboard;
    std::vector<QProcess*> clients;
};

TEST_F(WaylandContentsTest, AWindowIsReadOnlyWhenOneProgramOnTheBusCanOwnIt) {
    zenity("Sign in", "Enter your bank password");
    labelWindow("Sign in", "Help");
    foot("Sign in", 3);
    zenity("Solo", "Only here");
    start(QStringLiteral(ZENDREL_GTK_APPLICATION), {"org.example.Vault", "Vault", "Enter your vault password"}, "Vault");
    ASSERT_TRUE(described("Sign in", "zenity", "Enter your bank password"));
    ASSERT_TRUE(described("Sign in", "label_window", "Help"));
    ASSERT_TRUE(described("Vault", "org.example.Vault", "Enter your vault password"));

    struct Case {
        const char* title;
        const char* appId;
        const char* shown;   // a text the reading must hold; null: nothing may be read
        const char* absent;  // a text of another program's window that must not be in it
    };
    const Case cases[] = {
        {"Sign in", "zenity", "Enter your bank password", "Help"},
        {"Sign in", "ZENITY", "Enter your bank password", "Help"},
        {"Sign in", "label_window", "Help", "Enter your bank password"},
        {"Sign in", "org.example.label_window", "Help", "Enter your bank password"},
        // Two programs have a "Sign in" window and nothing tells which one is meant.
        {"Sign in", "", nullptr, nullptr},
        // foot's window is not on the bus: another program's window of its title is not read instead.
        {"Sign in", "foot", nullptr, nullptr},
        {"Sign in", "org.example.Vault", nullptr, nullptr},
        // One program alone has the title: a window without an id is read.
        {"Solo", "", "Only here", nullptr},
        {"Solo", "label_window", nullptr, nullptr},
        // Titles are matched exactly.
        {"Sign", "zenity", nullptr, nullptr},
        {"sign in", "zenity", nullptr, nullptr},
        {"", "zenity", nullptr, nullptr},
        // Known to the bus as python3, known by its id through the session bus name it owns.
        {"Vault", "org.example.Vault", "Enter your vault password", nullptr},
        {"Vault", "org.example.Other", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const Texts read = texts.textsOf({c.title, c.appId});
        const std::string what = std::string(c.title) + " / " + c.appId;
        if (!c.shown) {
            EXPECT_FALSE(read) << what;
            continue;
        }
        EXPECT_TRUE(has(read, c.shown)) << what;
        if (c.absent) {
            EXPECT_FALSE(has(read, c.absent)) << what;
        }
    }

    // The same program with two windows of the title: neither is read, as neither can be told.
    zenity("Sign in", "Help", 4);
    EXPECT_FALSE(texts.textsOf({"Sign in", "zenity"}));
    EXPECT_TRUE(has(texts.textsOf({"Sign in", "label_window"}), "Help"));
}

TEST_F(WaylandContentsTest, ThroughTheDesktopTheWindowsOwnIdChoosesWhatIsRead) {
    QProcess* bank = zenity("Sign in", "Enter your bank password");
    QProcess* help = labelWindow("Sign in", "Help");
    const QString terminal = foot("Sign in", 3);
    ASSERT_TRUE(described("Sign in", "zenity", "Enter your bank password"));
    ASSERT_TRUE(described("Sign in", "label_window", "Help"));

    // foot is in front but shows nothing on the bus; the Qt window is behind it, then the GTK one.
    EXPECT_EQ(send("Sign in", "no[Enter]", "routing number"), SendOutcome::NoWindow);
    EXPECT_EQ(send("Sign in", QStringLiteral("s3cr€t[Enter]"), "bank password"), SendOutcome::Sent);
    EXPECT_EQ(typed(bank), QStringLiteral("s3cr€t"));
    EXPECT_EQ(send("Sign in", "h[Enter]", "HELP"), SendOutcome::Sent);
    EXPECT_EQ(typed(help), QStringLiteral("h"));
    QThread::msleep(300);
    EXPECT_EQ(test::received(terminal, 0), "") << "nothing went into the window that shows nothing";

    // A GTK 3 application run by python3 gives the compositor its program name, the name it has on the bus.
    start(QStringLiteral(ZENDREL_GTK_APPLICATION), {"org.example.Vault", "Vault", "Enter your vault password"}, "Vault");
    const WindowId vault = test::windowTitled(*desktop, "Vault");
    EXPECT_EQ(desktop->appId(vault), "gtk_application.py");
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        const auto children = desktop->descendants(vault);
        shown = std::any_of(children.begin(), children.end(),
                            [](const WindowInfo& w) { return w.text == "Enter your vault password"; });
        QThread::msleep(shown ? 0 : 100);
    }
    EXPECT_TRUE(shown);
}

TEST_F(WaylandContentsTest, AProgramThatStopsAnsweringCostsAtMostTheLimitAndFailsClosed) {
    zenity("Sign in", "Enter your bank password");
    QProcess* stopped = labelWindow("Elsewhere", "Help");
    ASSERT_TRUE(described("Sign in", "zenity", "Enter your bank password"));
    ASSERT_TRUE(described("Elsewhere", "label_window", "Help"));
    kill(static_cast<pid_t>(stopped->processId()), SIGSTOP);
    for (int pass = 0; pass < 2; ++pass) {
        const auto began = std::chrono::steady_clock::now();
        // Without an id every program must say whether it has such a window; the stopped one cannot.
        EXPECT_FALSE(texts.textsOf({"Sign in", ""})) << "pass " << pass;
        EXPECT_LT(std::chrono::steady_clock::now() - began, 400ms) << "pass " << pass << ": the limit is 200 ms";
        const auto again = std::chrono::steady_clock::now();
        // By id the stopped program is asked its name at most (its executable does not name it "zenity").
        texts.textsOf({"Sign in", "zenity"});
        EXPECT_LT(std::chrono::steady_clock::now() - again, 400ms) << "pass " << pass;
    }
    kill(static_cast<pid_t>(stopped->processId()), SIGCONT);
    EXPECT_TRUE(described("Sign in", "", "Enter your bank password")) << "read again once it answers";
}

// zendrel-cli as a user runs it: `windows --texts` prints what the bus shows, a send and the monitor type
// only where the contents text is shown.
TEST_F(WaylandContentsTest, TheCommandLineListsTheTextsAndSendsAndMonitorsByThem) {
    const QString data = dir.filePath("data");
    auto cli = [&](const QStringList& args, const QByteArray& input = {}) {
        QProcess p;
        p.start(ZENDREL_CLI, QStringList{"--data", data} + args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()));
    };
    ASSERT_TRUE(QDir().mkpath(data));
    ASSERT_EQ(cli({"init"}).first, 0);
    const auto entry = [&](const QString& service, const QString& contents, const QStringList& more = {}) {
        const auto r = cli(QStringList{"entries", "add", "--user", "Default User", "--service", service, "--url",
                                       "https://example.org/" + service, "--name", "ann",
                                       "--title", "Sign in", "--contents", contents, "--wait", "0", "--paste",
                                       "[Password][Enter]"} + more,
                           "s3cret\n");
        EXPECT_EQ(r.first, 0) << r.second.toStdString();
        return r.second.trimmed();
    };
    const QString bankEntry = entry("Bank", "bank password");
    const QString wrongEntry = entry("Wrong", "routing number");

    QProcess* bank = zenity("Sign in", "Enter your bank password");
    ASSERT_TRUE(described("Sign in", "zenity", "Enter your bank password"));
    const auto listing = cli({"windows", "--texts", "Sign in"});
    EXPECT_EQ(listing.first, 0);
    EXPECT_EQ(listing.second, "Enter your bank password\nCancel\nOK\n");
    // A terminal is not on the bus: nothing can be read from it, and the command says so instead of
    // listing nothing.
    foot("Plain terminal");
    const auto unread = cli({"windows", "--texts", "Plain terminal"});
    EXPECT_EQ(unread.first, 0) << unread.second.toStdString();
    EXPECT_EQ(unread.second.toStdString(),
              "No text could be read from the window \"Plain terminal\", so a contents text would not find it.\n");

    const auto wrong = cli({"send", wrongEntry, "--user", "Default User"});
    EXPECT_EQ(wrong.first, 1);
    EXPECT_TRUE(wrong.second.contains("The associated window does not exist (Sign in).")) << wrong.second.toStdString();
    EXPECT_EQ(typed(bank, 300), std::nullopt) << "nothing typed for a text the window does not show";
    const auto sent = cli({"send", bankEntry, "--user", "Default User"});
    EXPECT_EQ(sent.first, 0) << sent.second.toStdString();
    EXPECT_EQ(typed(bank), QStringLiteral("s3cret"));

    // The monitor: only the entry whose contents the new window shows is typed.
    entry("Watched wrong", "routing number", {"--monitor", "--repeat", "0"});
    entry("Watched", "bank password", {"--monitor", "--repeat", "0"});
    QProcess monitor;
    monitor.start(ZENDREL_CLI, {"--data", data, "monitor", "--user", "Default User", "--seconds", "8"});
    QThread::msleep(1000);
    QProcess* watched = zenity("Sign in", "Enter your bank password");
    EXPECT_EQ(typed(watched, 6000), QStringLiteral("s3cret"));
    monitor.waitForFinished(15000);
    const QString said = QString::fromUtf8(monitor.readAllStandardOutput());
    EXPECT_EQ(said.count("typed"), 1) << said.toStdString();
    // (The window has closed by then, zenity ends on Enter, so its title is not printed.)
    EXPECT_TRUE(said.startsWith("typed Watched into")) << said.toStdString();
}

} // namespace

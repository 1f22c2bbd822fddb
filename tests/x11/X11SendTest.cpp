// Typing into real xterms on a private X server (see with-x11.sh); each xterm runs cat into a file, so
// the file holds exactly what arrived.
#include "platform/sim/VirtualClock.h"
#include "platform/x11/PosixShell.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Keyboard.h"
#include "send/Sender.h"
#include "support/TypedInto.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

// Last: Xlib's macros would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace zendrel;

namespace {

class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
        conn = x11::X11Connection::open();
        ASSERT_TRUE(conn) << "no X display";
        desktop = std::make_unique<x11::X11Desktop>(*conn);
        keyboard = std::make_unique<x11::X11Keyboard>(*conn);
        layout("us");
    }
    void TearDown() override {
        if (keyboard && keyboard->capsLockOn()) {
            run("xdotool", {"key", "Caps_Lock"});
        }
        for (QProcess* p : terms) {
            p->kill();
            p->waitForFinished(3000);
            delete p;
        }
        layout("us");
    }
    static void run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(10000);
    }
    void layout(const QString& name) {
        run("setxkbmap", {name});
        if (keyboard) {
            keyboard->refresh();
        }
        // The clients learn of the new layout from a notice of their own; keys pressed before a client has
        // read it are taken by the old layout, or lost. Give xterm the moment it needs.
        QThread::msleep(500);
    }
    // Opens an xterm titled `title` whose input goes to a file; returns the file's path.
    QString xterm(const QString& title) {
        const QString file = dir.filePath(QStringLiteral("out%1").arg(terms.size()));
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C.UTF-8");
        p->setProcessEnvironment(env);
        p->start("xterm", {"-u8", "-T", title, "-xrm", "XTerm*allowTitleOps: false", "-e", "sh", "-c",
                           "stty -echo; exec cat > '" + file + "'"});
        terms.push_back(p);
        for (int i = 0; i < 200 && windowTitled(title) == 0; ++i) {
            QThread::msleep(25);
        }
        // The new window is in front with the focus once the window manager has placed it.
        const WindowId w = windowTitled(title);
        for (int i = 0; i < 100; ++i) {
            const WindowId f = desktop->focusedWindow();
            if (f != 0 && desktop->isWithin(f, w)) {
                break;
            }
            QThread::msleep(20);
        }
        // The window manager may hand the new window the focus once more a moment later.
        QThread::msleep(400);
        return file;
    }
    WindowId windowTitled(const QString& title) { return test::windowTitled(*desktop, title); }
    static QByteArray received(const QString& file, int lines = 1) { return test::received(file, lines); }
    SendOutcome send(const QString& title, const QString& text, Activation variant = Activation::Main,
                     bool direct = false) {
        Sender sender(*keyboard, *desktop, clock, SendSettings{7, 0});
        return sender.send({title, {}, ExpandedText::plain(text), direct}, variant);
    }
    // Runs the command-line companion on a data directory: its exit status and standard error.
    static std::pair<int, QString> runCli(const QString& data, const QStringList& args, const QByteArray& input) {
        QProcess p;
        p.start(QStringLiteral(ZENDREL_CLI), QStringList{"--data", data} + args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(30000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    }
    // Types text exactly (no tokens), then a line end.
    void typeRaw(const QString& text) {
        Typist t(*keyboard, clock, SendSettings{7, 0});
        t.typeCharacters(text + "\n");
        keyboard->flush();
    }

    QTemporaryDir dir;
    SystemClock clock;
    std::unique_ptr<x11::X11Connection> conn;
    std::unique_ptr<x11::X11Desktop> desktop;
    std::unique_ptr<x11::X11Keyboard> keyboard;
    std::vector<QProcess*> terms;
};

QString printableAscii() {
    QString s;
    for (char c = ' '; c <= '~'; ++c) {
        s += QLatin1Char(c);
    }
    return s;
}

class LayoutTest : public X11Test, public ::testing::WithParamInterface<const char*> {};

TEST_P(LayoutTest, EveryPrintableCharacterArrivesOnTheLayout) {
    const QString file = xterm("Layout");
    layout(GetParam());
    // The terminal takes the new layout when it has read its notice, a moment after the switch; until then
    // keys land under the old one. A probe of the letters and digits that move between these layouts,
    // typed until it arrives whole, shows the terminal has it.
    const QString probe = QStringLiteral("azqwym1");
    int lines = 0;
    for (int tries = 0; tries < 20; ++tries) {
        typeRaw(probe);
        ++lines;
        if (QString::fromUtf8(received(file, lines)).endsWith(probe + "\n")) {
            break;
        }
        QThread::msleep(250);
    }
    ASSERT_TRUE(QString::fromUtf8(received(file, lines)).endsWith(probe + "\n")) << GetParam();
    const QString text = printableAscii() + QStringLiteral(" äöüßé ÄÖÜÉ €ł");
    typeRaw(text);
    const QStringList got = QString::fromUtf8(received(file, lines + 1)).split(QLatin1Char('\n'));
    ASSERT_GE(got.size(), 2);
    EXPECT_EQ(got[got.size() - 2], text) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest, ::testing::Values("us", "de", "fr"));

TEST_F(X11Test, CapsLockMakesNoDifferenceAndStaysOn) {
    const QString file = xterm("Caps");
    run("xdotool", {"key", "Caps_Lock"});
    keyboard->refresh();
    ASSERT_TRUE(keyboard->capsLockOn());
    typeRaw("Hello World abcXYZ 123 äÄ €");
    EXPECT_EQ(QString::fromUtf8(received(file)), "Hello World abcXYZ 123 äÄ €\n");
    EXPECT_TRUE(keyboard->capsLockOn());
}

TEST_F(X11Test, KeyTokensModifiersAndWaitsReachTheWindow) {
    const QString file = xterm("Tokens");
    QElapsedTimer t;
    t.start();
    // Ctrl+V makes the terminal take the next control character literally: Ctrl+A arrives as byte 1.
    EXPECT_EQ(send("Tokens", "a[Tab]b[+c][^V][^A][WAIT=100]d[Enter]"), SendOutcome::Sent);
    EXPECT_GE(t.elapsed(), 1000);
    EXPECT_EQ(received(file), QByteArray("a\tbC\x01" "d\n"));
}

TEST_F(X11Test, TheTitleRulesFindTheFrontmostMatchingWindowAndBringItForward) {
    const QString alpha = xterm("Alpha One");
    const QString betaBack = xterm("Beta Two");
    const QString betaFront = xterm("Beta Two");
    ASSERT_EQ(desktop->topLevelWindows().front().text, "Beta Two");

    EXPECT_EQ(send("alpha*", "1[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(received(alpha), "1\n");
    EXPECT_EQ(desktop->topLevelWindows().front().text, "Alpha One") << "activation brings the window forward";

    EXPECT_EQ(send("*two", "2[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(send("BETA TWO", "3[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(received(betaFront, 2), "2\n3\n");
    EXPECT_EQ(send("Gamma", "4[Enter]"), SendOutcome::NoWindow);
    QThread::msleep(200);
    EXPECT_EQ(received(betaBack, 0), "");
    EXPECT_EQ(received(alpha), "1\n");
}

TEST_F(X11Test, DirectSendGivesTheWindowTheFocusItself) {
    const QString target = xterm("Direct Target");
    const QString other = xterm("Other");
    EXPECT_EQ(send("Direct Target", "x[Tab 2]y[Enter]", Activation::Main, true), SendOutcome::Sent);
    EXPECT_EQ(received(target), "x\t\ty\n");
    EXPECT_EQ(received(other, 0), "");
}

TEST_F(X11Test, NothingIsTypedWhenTheFocusCannotReachTheWindow) {
    const QString hidden = xterm("Hidden Target");
    const QString other = xterm("Bystander");
    const WindowId w = windowTitled("Hidden Target");
    run("xdotool", {"windowminimize", QString::number(w)});
    for (int i = 0; i < 100 && !desktop->isMinimized(w); ++i) {
        QThread::msleep(20);
    }
    ASSERT_TRUE(desktop->isMinimized(w));
    // The monitor does not restore a minimised window, so the text has nowhere safe to go.
    EXPECT_EQ(send("Hidden Target", "secret[Enter]", Activation::Monitor), SendOutcome::FocusRefused);
    QThread::msleep(300);
    EXPECT_EQ(received(hidden, 0), "");
    EXPECT_EQ(received(other, 0), "");
    // The main program restores it and types.
    EXPECT_EQ(send("Hidden Target", "shown[Enter]", Activation::Main), SendOutcome::Sent);
    EXPECT_EQ(received(hidden), "shown\n");
}

TEST_F(X11Test, ProgramsStartDetachedAndMissingOnesFail) {
    x11::PosixShell shell;
    std::string error;
    const QString marker = dir.filePath("started");
    EXPECT_TRUE(shell.startProgram(("touch '" + marker + "'").toStdString(), error));
    for (int i = 0; i < 100 && !QFile::exists(marker); ++i) {
        QThread::msleep(20);
    }
    EXPECT_TRUE(QFile::exists(marker));
    EXPECT_FALSE(shell.startProgram("/nonexistent/program --flag", error));
    EXPECT_FALSE(error.empty());
}

TEST_F(X11Test, AShiftKeyTheUserHoldsIsWaitedOutBeforeTyping) {
    const QString file = xterm("Held");
    Display* d = conn->display();
    const unsigned int shift = XKeysymToKeycode(d, XK_Shift_L);
    XTestFakeKeyEvent(d, shift, True, CurrentTime);
    XSync(d, False);
    // The "user" lets go half a second later, from another connection.
    std::thread release([shift] {
        QThread::msleep(500);
        auto other = x11::X11Connection::open();
        XTestFakeKeyEvent(other->display(), shift, False, CurrentTime);
        XSync(other->display(), False);
    });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(send("Held", "abc[Enter]"), SendOutcome::Sent);
    EXPECT_GE(t.elapsed(), 450);
    release.join();
    EXPECT_EQ(received(file), "abc\n");
}

TEST_F(X11Test, TheCommandLineSendsAnEntryAndReportsAMissingWindow) {
    const QString file = xterm("Bank Login");
    QTemporaryDir data;
    auto cli = [&](const QStringList& args, const QByteArray& input = {}) { return runCli(data.path(), args, input); };
    ASSERT_EQ(cli({"entries", "add", "--user", "Default User", "--service", "Bank", "--name", "alice", "--title",
                   "bank*", "--wait", "0"},
                  "s3[cr]et\n")
                  .first,
              0);
    ASSERT_EQ(cli({"entries", "add", "--user", "Default User", "--service", "Mail", "--name", "bob", "--title", "Mail",
                   "--wait", "0"},
                  "x\n")
                  .first,
              0);
    EXPECT_EQ(cli({"send", "1", "--user", "Default User"}).first, 0);
    EXPECT_EQ(received(file), "alice\ts3[cr]et\n");
    const auto missing = cli({"send", "2", "--user", "Default User"});
    EXPECT_EQ(missing.first, 1);
    EXPECT_EQ(missing.second, "Cannot Send: The associated window does not exist (Mail).\n");
}

TEST_F(X11Test, APasswordWithCharactersNoKeyboardTypesIsAFailedSend) {
    const QString file = xterm("Bank Login");
    QTemporaryDir data;
    ASSERT_EQ(runCli(data.path(),
                     {"entries", "add", "--user", "Default User", "--service", "Bank", "--name", "alice", "--title",
                      "bank*", "--wait", "0", "--paste", "[Password][Enter]"},
                     "ab\x01" "c\x7f" "d\n")
                  .first,
              0);
    const auto r = runCli(data.path(), {"send", "1", "--user", "Default User"}, {});
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.second, "Cannot Send: The characters at places 3, 5 of the text could not be typed on this keyboard, "
                        "so the text typed into (bank*) is incomplete.\n");
    EXPECT_EQ(received(file), "abcd\n");
}

// A send killed while a character the layout lacks sat on a spare keycode leaves that keycode mapped; the
// next keyboard of any Zendrel program empties it, but never a keycode that someone mapped otherwise since.
TEST_F(X11Test, KeycodesAKilledSendLeftRemappedAreEmptiedBeforeTypingAgain) {
    Display* d = conn->display();
    int minKey = 0;
    int maxKey = 0;
    XDisplayKeycodes(d, &minKey, &maxKey);
    int perKey = 0;
    KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(minKey), maxKey - minKey + 1, &perKey);
    ASSERT_TRUE(map);
    std::vector<int> spare;
    for (int kc = maxKey; kc >= minKey && spare.size() < 2; --kc) {
        bool empty = true;
        for (int i = 0; i < perKey; ++i) {
            empty = empty && map[(kc - minKey) * perKey + i] == NoSymbol;
        }
        if (empty) {
            spare.push_back(kc);
        }
    }
    XFree(map);
    ASSERT_EQ(spare.size(), 2u);
    // What a killed send leaves: 中 on every level of one spare keycode, noted on the root window; and a
    // noted keycode that another program has since given a layout of its own.
    std::vector<KeySym> ours(static_cast<size_t>(perKey), 0x1004e2d);
    XChangeKeyboardMapping(d, spare[0], perKey, ours.data(), 1);
    std::vector<KeySym> theirs(static_cast<size_t>(perKey), NoSymbol);
    theirs[0] = XK_a;
    theirs[1] = XK_A;
    XChangeKeyboardMapping(d, spare[1], perKey, theirs.data(), 1);
    const Atom note = XInternAtom(d, "_ZENDREL_REMAPPED_KEYCODES", False);
    const unsigned char noted[2] = {static_cast<unsigned char>(spare[0]), static_cast<unsigned char>(spare[1])};
    XChangeProperty(d, DefaultRootWindow(d), note, XA_INTEGER, 8, PropModeReplace, noted, 2);
    XSync(d, False);

    x11::X11Keyboard next(*conn);
    auto symsOf = [&](int kc) {
        int n = 0;
        KeySym* m = XGetKeyboardMapping(d, static_cast<KeyCode>(kc), 1, &n);
        std::vector<KeySym> out(m, m + n);
        XFree(m);
        return out;
    };
    for (KeySym ks : symsOf(spare[0])) {
        EXPECT_EQ(ks, static_cast<KeySym>(NoSymbol));
    }
    EXPECT_EQ(symsOf(spare[1])[0], static_cast<KeySym>(XK_a)) << "a key mapped otherwise is left alone";
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(d, DefaultRootWindow(d), note, 0, 16, False, XA_INTEGER, &type, &format, &count, &after, &data);
    EXPECT_EQ(type, static_cast<Atom>(None)) << "the note is gone";
    if (data) {
        XFree(data);
    }
    std::fill(theirs.begin(), theirs.end(), NoSymbol);
    XChangeKeyboardMapping(d, spare[1], perKey, theirs.data(), 1);
    XSync(d, False);
}

// The same as it happens: a send typing characters the layout lacks is killed while one of them sits on a
// spare keycode; the next send empties that keycode before it types, and types correctly.
TEST_F(X11Test, ASendKilledWhileACharacterSatOnASpareKeycodeLeavesNothingMappedForTheNext) {
    const QString file = xterm("Bank Login");
    QTemporaryDir data;
    const QByteArray cjk = QString::fromUtf8("中文字符测试中文字符测试中文字符测试").toUtf8();
    ASSERT_EQ(runCli(data.path(),
                     {"entries", "add", "--user", "Default User", "--service", "Bank", "--name", "a", "--title",
                      "bank*", "--wait", "0", "--paste", "[Password]"},
                     cjk + "\n")
                  .first,
              0);
    ASSERT_EQ(runCli(data.path(),
                     {"entries", "add", "--user", "Default User", "--service", "Mail", "--name", "b", "--title",
                      "bank*", "--wait", "0", "--paste", "[Password][Enter]"},
                     "plain\n")
                  .first,
              0);
    ASSERT_EQ(runCli(data.path(), {"settings", "set", "ZD_BS", "1"}, {}).first, 0);
    ASSERT_EQ(runCli(data.path(), {"settings", "set", "ZD_GD", "20"}, {}).first, 0);

    Display* d = conn->display();
    auto cjkKeycodes = [d] {
        int minKey = 0;
        int maxKey = 0;
        XDisplayKeycodes(d, &minKey, &maxKey);
        int perKey = 0;
        KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(minKey), maxKey - minKey + 1, &perKey);
        int found = 0;
        for (int i = 0; map && i < (maxKey - minKey + 1) * perKey; ++i) {
            found += map[i] >= 0x1004e00 && map[i] <= 0x1009fff ? 1 : 0;
        }
        if (map) {
            XFree(map);
        }
        return found;
    };
    ASSERT_EQ(cjkKeycodes(), 0);
    QProcess sender;
    sender.start(QStringLiteral(ZENDREL_CLI), {"--data", data.path(), "send", "1", "--user", "Default User"});
    ASSERT_TRUE(sender.waitForStarted());
    bool caught = false;
    QElapsedTimer t;
    t.start();
    while (!caught && t.elapsed() < 10000 && sender.state() == QProcess::Running) {
        caught = cjkKeycodes() > 0;
    }
    ASSERT_TRUE(caught) << "the send never remapped a keycode";
    kill(static_cast<pid_t>(sender.processId()), SIGKILL);
    sender.waitForFinished();
    ASSERT_GT(cjkKeycodes(), 0) << "the killed send left its keycode mapped";

    EXPECT_EQ(runCli(data.path(), {"send", "2", "--user", "Default User"}, {}).first, 0);
    EXPECT_EQ(cjkKeycodes(), 0);
    EXPECT_TRUE(received(file).endsWith("plain\n")) << received(file).toStdString();
}

TEST_F(X11Test, TheCommandLineMonitorTypesIntoWindowsAsTheyAppear) {
    QTemporaryDir data;
    auto cli = [&](const QStringList& args, const QByteArray& input = {}) { return runCli(data.path(), args, input).first; };
    ASSERT_EQ(cli({"init"}), 0);
    ASSERT_EQ(cli({"entries", "add", "--user", "Default User", "--service", "Once", "--name", "o", "--title",
                   "Watch One", "--wait", "0", "--monitor", "--paste", "[Password][Enter]"},
                  "first\n"),
              0);
    ASSERT_EQ(cli({"entries", "add", "--user", "Default User", "--service", "Again", "--name", "a", "--title",
                   "Watch Two", "--wait", "0", "--monitor", "--repeat", "3", "--paste", "[Password][Enter]"},
                  "second\n"),
              0);
    QProcess monitor;
    monitor.start(QStringLiteral(ZENDREL_CLI), {"--data", data.path(), "monitor", "--user", "Default User",
                                               "--seconds", "30"});
    ASSERT_TRUE(monitor.waitForStarted());
    QThread::msleep(700);

    const QString other = xterm("Other Window");
    const QString one = xterm("Watch One");
    EXPECT_EQ(received(one), "first\n");
    const QString two = xterm("Watch Two");
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(received(two), "second\n");
    const qint64 firstAt = t.elapsed();
    EXPECT_EQ(received(two, 2), "second\nsecond\n");
    EXPECT_GE(t.elapsed() - firstAt, 3000) << "not again before its interval";
    QThread::msleep(1000);
    EXPECT_EQ(received(one, 0), "first\n") << "an interval of 0 types once";
    EXPECT_EQ(received(other, 0), "");

    kill(static_cast<pid_t>(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(5000));
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0);
    const QString out = QString::fromUtf8(monitor.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith("typed Once into Watch One\ntyped Again into Watch Two\ntyped Again into Watch Two\n"))
        << out.toStdString();
}

TEST_F(X11Test, TheMainProgramOpensItsFrameAndClosesFromTheKeyboard) {
    QTemporaryDir data;
    QProcess program;
    program.start(QStringLiteral(ZENDREL_PROGRAM), {"Data=" + data.path()});
    ASSERT_TRUE(program.waitForStarted());
    WindowId frame = 0;
    for (int i = 0; i < 200 && frame == 0; ++i) {
        QThread::msleep(25);
        frame = windowTitled("Zendrel");
    }
    ASSERT_NE(frame, 0u) << "the window \"Zendrel\" appears";
    // Brought to the front with the focus, once the window manager has it on the screen.
    SendOutcome activated = SendOutcome::FocusRefused;
    for (int i = 0; i < 10 && activated != SendOutcome::Sent; ++i) {
        activated = send("Zendrel", "");
    }
    ASSERT_EQ(activated, SendOutcome::Sent);
    // File, then Exit, by their Alt keys.
    Typist typist(*keyboard, clock, SendSettings{7, 0});
    typist.typeSendText(ExpandedText::plain("[%F][WAIT=30]x"));
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(data.filePath("ZD_DATA")));
    EXPECT_TRUE(QFile::exists(data.filePath("POSITION.INI")));
}

// The main program as a user drives it, by its keyboard: an entry added through the form is sent into
// another program's window, and a watched entry is typed into its window when that appears.
class MainProgramTest : public X11Test {
protected:
    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
        X11Test::TearDown();
    }
    WindowId waitForWindow(const QString& title) {
        WindowId w = 0;
        for (int i = 0; i < 400 && w == 0; ++i) {
            QThread::msleep(25);
            w = windowTitled(title);
        }
        return w;
    }
    // Brings a window of the program forward with the focus, as a click on it would.
    void activate(const QString& title) {
        SendOutcome activated = SendOutcome::FocusRefused;
        for (int i = 0; i < 10 && activated != SendOutcome::Sent; ++i) {
            activated = send(title, "");
        }
        ASSERT_EQ(activated, SendOutcome::Sent) << title.toStdString();
        QThread::msleep(200);
    }
    // Keys in the send language ("[%A]", "[TAB]"), then a pause for the program to act on them.
    void keys(const QString& sendText, int pauseMs = 300) {
        Typist typist(*keyboard, clock, SendSettings{7, 0});
        typist.typeSendText(ExpandedText::plain(sendText));
        keyboard->flush();
        QThread::msleep(pauseMs);
    }
    // Characters exactly as written, brackets included.
    void text(const QString& characters) {
        Typist typist(*keyboard, clock, SendSettings{7, 0});
        typist.typeCharacters(characters);
        keyboard->flush();
        QThread::msleep(100);
    }
    // Fills in the open entry form and confirms it.
    void addEntry(const QString& service, const QString& name, const QString& password, const QString& title,
                  bool monitored) {
        keys("[%A]");
        ASSERT_NE(waitForWindow("Add Password Information"), 0u);
        activate("Add Password Information");
        keys("[%S]");
        text(service);
        keys("[%N]");
        text(name);
        keys("[%P]");
        text(password);
        keys("[%C]");
        text(password);
        // Back from the service to the row of tabs, and along it to "Settings for Send".
        keys("[%S][+TAB][RIGHT][RIGHT][RIGHT]");
        keys("[%T]");
        text("[Name][Tab][Password][Enter]");
        keys("[%L]");
        text(title);
        if (monitored) {
            keys("[%R]");
        }
        keys("[%O]", 800);
        for (int i = 0; i < 100 && windowTitled("Add Password Information") != 0; ++i) {
            QThread::msleep(50);
        }
        QStringList titles;
        for (const auto& w : desktop->topLevelWindows()) {
            titles << QString::fromStdString(w.text);
        }
        ASSERT_EQ(windowTitled("Add Password Information"), 0u)
            << "the form saved the entry and closed; windows: " << titles.join(" | ").toStdString();
    }

    QTemporaryDir data;
    QProcess program;
};

TEST_F(MainProgramTest, AnEntryAddedThroughTheFormIsSentIntoTheWindowItNames) {
    program.start(QStringLiteral(ZENDREL_PROGRAM), {"Data=" + data.path()});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_NE(waitForWindow("Zendrel"), 0u);
    activate("Zendrel");
    // File, Passwords: the only user is chosen at once and his list opens.
    keys("[%F]w", 1000);
    addEntry("Bank", "ann.smith", "s3cret", "*Login", false);

    const QString file = xterm("Bank Login");
    activate("Zendrel");
    // From the list over "Select User", "&Add", "Cop&y", "&Change" and "&Delete" to "Send".
    keys("[TAB][TAB][TAB][TAB][TAB][TAB]");
    text(" ");
    EXPECT_EQ(received(file), QByteArray("ann.smith\ts3cret\n"));

    // A watched entry is typed when its window appears, with the monitor on as the first run leaves it.
    activate("Zendrel");
    addEntry("Mail", "ann", "m4il", "*Webmail", true);
    const QString mail = xterm("Webmail");
    EXPECT_EQ(received(mail), QByteArray("ann\tm4il\n"));

    activate("Zendrel");
    keys("[%F][WAIT=30]x");
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(X11Test, WithoutWindowManagerWindowsAreFoundUnderTheRootAndFocusedDirectly) {
    const QString first = xterm("Plain One");
    const QString second = xterm("Plain Two");
    EXPECT_EQ(send("Plain One", "one[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(send("plain two", "two[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(received(first), "one\n");
    EXPECT_EQ(received(second), "two\n");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

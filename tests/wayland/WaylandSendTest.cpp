// Typing into native Wayland windows under a private headless sway (see with-sway.sh): foot terminals run cat
// into a file, so the file holds exactly what arrived; the layout and Caps Lock are set through sway.
#include "platform/Clock.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "send/Sender.h"
#include "support/TypedInto.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

using namespace zendrel;

namespace {

void swaymsg(const QString& command) {
    QProcess p;
    p.start(QStringLiteral("swaymsg"), {command});
    p.waitForFinished(10000);
}

// Runs a command, its standard input closed; its exit status, standard output and standard error.
struct Ran {
    int status = -1;
    QString out;
    QString err;
};
Ran run(const QString& program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class WaylandTest : public ::testing::Test {
protected:
    void SetUp() override {
        conn = wayland::WaylandConnection::open();
        ASSERT_TRUE(conn) << "no Wayland compositor";
        ASSERT_TRUE(conn->canSend()) << conn->missingForSending();
        desktop = std::make_unique<wayland::WaylandDesktop>(*conn);
        keyboard = std::make_unique<wayland::WaylandKeyboard>(*conn);
        ASSERT_TRUE(keyboard->usable());
        swaymsg("input * xkb_layout us");
        swaymsg("input * xkb_capslock disabled");
    }
    void TearDown() override {
        for (QProcess* p : clients) {
            p->kill();
            p->waitForFinished(3000);
            delete p;
        }
    }
    // Opens a foot terminal titled `title` whose input goes to a file; returns the file's path once the window
    // is there and activated.
    QString foot(const QString& title) {
        const QString file = dir.filePath(QStringLiteral("out%1").arg(clients.size()));
        auto* p = new QProcess;
        p->start("foot", {"--title", title, "--app-id", "zendrel-test-foot", "sh", "-c",
                          "stty -echo; exec cat > '" + file + "'"});
        clients.push_back(p);
        waitForWindow(title);
        // The terminal takes keys once its shell runs; give it that moment.
        QThread::msleep(300);
        return file;
    }
    WindowId waitForWindow(const QString& title) {
        WindowId w = 0;
        for (int i = 0; i < 400 && (w = windowTitled(title)) == 0; ++i) {
            QThread::msleep(25);
        }
        for (int i = 0; i < 200 && w != 0 && desktop->focusedWindow() != w; ++i) {
            QThread::msleep(25);
        }
        return w;
    }
    WindowId windowTitled(const QString& title) { return test::windowTitled(*desktop, title); }
    static QByteArray received(const QString& file, int lines = 1) { return test::received(file, lines); }
    SendOutcome send(const QString& title, const QString& text, const QString& contents = {}) {
        Sender sender(*keyboard, *desktop, clock, SendSettings{7, 0});
        return sender.send({title, contents, ExpandedText::plain(text), false}, Activation::Main);
    }

    QTemporaryDir dir;
    SystemClock clock;
    std::unique_ptr<wayland::WaylandConnection> conn;
    std::unique_ptr<wayland::WaylandDesktop> desktop;
    std::unique_ptr<wayland::WaylandKeyboard> keyboard;
    std::vector<QProcess*> clients;
};

struct LayoutCase {
    const char* layout;
    bool capsLock;
};

class LayoutTest : public WaylandTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(LayoutTest, EveryCharacterArrivesExactlyWhateverTheLayoutAndCapsLock) {
    const QString file = foot("Layout Target");
    swaymsg(QStringLiteral("input * xkb_layout ") + GetParam().layout);
    if (GetParam().capsLock) {
        swaymsg("input * xkb_capslock enabled");
    }
    QThread::msleep(200);
    QString ascii;
    for (char c = ' '; c <= '~'; ++c) {
        if (c != '[' && c != ']') {
            ascii += QLatin1Char(c);
        }
    }
    const QString text = ascii + QStringLiteral(" ölaf Zürich€@ 東京の空 ÆØÅ ß\tend");
    ASSERT_EQ(send("Layout Target", text + "[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(QString::fromUtf8(received(file)), text + "\n") << GetParam().layout << " caps " << GetParam().capsLock;
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest,
                         ::testing::Values(LayoutCase{"us", false}, LayoutCase{"us", true}, LayoutCase{"de", false},
                                           LayoutCase{"de", true}));

// The keysym a client reads for the key right of T in the keymap the seat announces now ('y' on us, 'z' on de);
// 0 when the seat has no keyboard.
uint32_t announcedKeyRightOfT() {
    auto c = wayland::WaylandConnection::open();
    if (!c || !c->seatHasKeyboard()) {
        return 0;
    }
    std::string text;
    static const wl_keyboard_listener listener = {
        [](void* data, wl_keyboard*, uint32_t, int32_t fd, uint32_t size) {
            if (void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0); map != MAP_FAILED) {
                *static_cast<std::string*>(data) =
                    std::string(static_cast<const char*>(map), strnlen(static_cast<const char*>(map), size));
                munmap(map, size);
            }
            close(fd);
        },
        [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
        [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
        [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void*, wl_keyboard*, int32_t, int32_t) {},
    };
    wl_keyboard* k = wl_seat_get_keyboard(c->seat());
    wl_keyboard_add_listener(k, &listener, &text);
    c->roundtrip();
    wl_keyboard_release(k);
    uint32_t keysym = 0;
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (xkb_keymap* keymap =
            xkb_keymap_new_from_string(context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, 21 + 8, 0, 0, &syms) == 1) { // evdev KEY_Y
            keysym = syms[0];
        }
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return keysym;
}

// After a text the seat announces the user's layout again: the one it had, the one sway gave our keyboard when
// the seat had none of its own, and the one the user switched to since the keyboard was made.
TEST_F(WaylandTest, AfterATextTheSeatAnnouncesTheUsersLayoutAgain) {
    QString file;
    for (const auto& [layout, key] : {std::pair{"de", uint32_t{'z'}}, std::pair{"us", uint32_t{'y'}}}) {
        SCOPED_TRACE(layout);
        // A seat without a keyboard, set to the layout; then the keyboard is made, and a window that binds it.
        keyboard.reset();
        conn->roundtrip();
        swaymsg(QStringLiteral("input * xkb_layout ") + layout);
        keyboard = std::make_unique<wayland::WaylandKeyboard>(*conn);
        ASSERT_TRUE(keyboard->usable());
        const QString title = QStringLiteral("Layout Back ") + layout;
        file = foot(title);
        ASSERT_EQ(send(title, QStringLiteral("yzölaf€[Enter]")), SendOutcome::Sent);
        EXPECT_EQ(QString::fromUtf8(received(file)), QStringLiteral("yzölaf€\n"));
        EXPECT_EQ(announcedKeyRightOfT(), key);
    }
    // The layout changed while the keyboard lives.
    swaymsg("input * xkb_layout de");
    ASSERT_EQ(send("Layout Back us", QStringLiteral("yz[Enter]")), SendOutcome::Sent);
    EXPECT_EQ(announcedKeyRightOfT(), uint32_t{'z'});
    EXPECT_EQ(QString::fromUtf8(received(file, 2)), QStringLiteral("yzölaf€\nyz\n"));
}

TEST_F(WaylandTest, KeyTokensArriveAsRealKeysWithTheirModifiers) {
    const QString file = foot("Tokens");
    // Ctrl+V makes the terminal take the next control character literally: Ctrl+A arrives as byte 1.
    ASSERT_EQ(send("Tokens", "a[Tab]b[+c][^V][^A]d[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(received(file), QByteArray("a\tbC\x01" "d\n"));
}

TEST_F(WaylandTest, TheTitleRulesChooseAmongThreeWindowsMostRecentlyActivatedFirst) {
    const QString alpha = foot("Alpha Login");
    const QString betaBack = foot("Beta Login");
    const QString betaFront = foot("Beta Login");
    ASSERT_EQ(desktop->topLevelWindows().front().text, "Beta Login");

    // Exact (any case), trailing star, leading star; the equal titles go to the window activated last.
    EXPECT_EQ(send("alpha login", "1[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(received(alpha), "1\n");
    EXPECT_EQ(desktop->topLevelWindows().front().text, "Alpha Login") << "activation brings it first";
    EXPECT_EQ(send("*ta login", "2[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(send("BETA*", "3[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(received(betaFront, 2), "2\n3\n");
    EXPECT_EQ(send("Gamma", "4[Enter]"), SendOutcome::NoWindow);
    // "~" types into the window that has the focus, whatever its title.
    EXPECT_EQ(send("~anything", "5[Enter]"), SendOutcome::Sent);
    EXPECT_EQ(received(betaFront, 3), "2\n3\n5\n");
    QThread::msleep(200);
    EXPECT_EQ(received(betaBack, 0), "");
    EXPECT_EQ(received(alpha, 0), "1\n");
}

TEST_F(WaylandTest, AContentsCheckWithoutAWindowTextSourceNeverPasses) {
    const QString file = foot("Bank Login");
    EXPECT_EQ(send("Bank Login", "secret[Enter]", "Password"), SendOutcome::NoWindow);
    EXPECT_EQ(send("Bank Login", "secret[Enter]", "<>"), SendOutcome::NoWindow);
    QThread::msleep(300);
    EXPECT_EQ(received(file, 0), "");

    // With a source, the window passes on what the source read in it.
    struct Texts final : WindowTextSource {
        std::optional<std::vector<std::string>> textsOf(const WindowIdentity& w) override {
            asked = w;
            return std::vector<std::string>{"Enter your password"};
        }
        WindowIdentity asked;
    } texts;
    desktop->setWindowTexts(&texts);
    EXPECT_EQ(send("Bank Login", "ok[Enter]", "password"), SendOutcome::Sent);
    EXPECT_EQ(received(file), "ok\n");
    EXPECT_EQ(texts.asked.title, "Bank Login");
    EXPECT_EQ(texts.asked.appId, "zendrel-test-foot");
    desktop->setWindowTexts(nullptr);
}

TEST_F(WaylandTest, AGtkEntryReceivesThePassword) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("GDK_BACKEND", "wayland");
    env.insert("NO_AT_BRIDGE", "1");
    QProcess zenity;
    zenity.setProcessEnvironment(env);
    zenity.start("zenity", {"--entry", "--title", "GTK Login", "--text", "Password:"});
    ASSERT_NE(waitForWindow("GTK Login"), 0u) << "zenity did not show its window";
    QThread::msleep(500);
    ASSERT_EQ(send("GTK Login", QStringLiteral("pässwörd €9[Enter]")), SendOutcome::Sent);
    const bool finished = zenity.waitForFinished(10000);
    if (!finished) {
        zenity.kill();
        zenity.waitForFinished(3000);
    }
    EXPECT_TRUE(finished) << "zenity said: " << zenity.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(zenity.readAllStandardOutput()), QStringLiteral("pässwörd €9\n"));
}

TEST_F(WaylandTest, TheClipboardIsReadWrittenWithTheHintAndClearedWithoutFocus) {
    auto clipboard = wayland::WaylandClipboard::open();
    ASSERT_TRUE(clipboard);
    const uint64_t before = clipboard->changeCount();
    clipboard->setText("s3cr€t", true);
    EXPECT_GT(clipboard->changeCount(), before);
    EXPECT_EQ(clipboard->text(), "s3cr€t");
    // Another program (a second connection, as a clipboard manager would be) sees the text and the hint.
    auto other = wayland::WaylandClipboard::open();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->text(), "s3cr€t");
    const uint64_t seen = other->changeCount();
    clipboard->setText("Cleared by Zendrel.", false);
    for (int i = 0; i < 100 && other->changeCount() == seen; ++i) {
        QThread::msleep(10);
    }
    EXPECT_GT(other->changeCount(), seen) << "a change made elsewhere is counted";
    EXPECT_EQ(other->text(), "Cleared by Zendrel.");
    // The owner gone, its text goes with it, and nothing hangs.
    clipboard.reset();
    for (int i = 0; i < 100 && !other->text().empty(); ++i) {
        QThread::msleep(10);
    }
    EXPECT_EQ(other->text(), "");
}

} // namespace

#include "monitor/MonitorEngine.h"
#include "platform/NoDisplay.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

// A virtual clock whose sleeps can change the desktop, as time passing would.
class HookClock final : public Clock {
public:
    explicit HookClock(sim::VirtualClock& c) : m_c(c) {}
    int32_t today() const override { return m_c.today(); }
    int32_t clock() const override { return m_c.clock(); }
    void yield() override { m_c.yield(); }
    int64_t monotonic() const override { return m_c.monotonic(); }
    void sleep(int64_t h) override {
        m_c.sleep(h);
        if (onSleep) {
            auto f = std::move(onSleep);
            onSleep = nullptr;
            f();
        }
    }
    std::function<void()> onSleep;

private:
    sim::VirtualClock& m_c;
};

class MonitorEngineTest : public ::testing::Test {
protected:
    test::TestStore ts;
    HookClock clock{ts.clock()};
    sim::SimDesktop desktop;
    sim::SimKeyboard keyboard{&ts.clock(), &desktop};
    QStringList messages;
    QStringList sent;
    std::unique_ptr<MonitorEngine> engine;

    void SetUp() override {
        ts.clock().set(81'000, 1);
        start(EngineProgram::Main);
    }
    void start(EngineProgram program) {
        MonitorEngine::Callbacks cb;
        cb.message = [this](const QString& t, const QString& x) { messages << t + ": " + x; };
        cb.sent = [this](const MonitorRow& r, const QString& w) { sent << r.service + " -> " + w; };
        engine = std::make_unique<MonitorEngine>(program, ts.store(), keyboard, desktop, clock, SendSettings{7, 0}, cb);
    }
    PasswordRecord entry(const QString& service, const QString& title, bool monitor = false, int wait = 0,
                         int repeat = 0) {
        PasswordRecord e = test::entry("Ann", service, "ann");
        e.password = "pw-" + service;
        e.paste = "[Password][Enter]";
        e.windowTitleToLocate = title;
        e.monitor = monitor ? 1 : 0;
        e.secondsToWait = static_cast<uint8_t>(wait);
        e.doNotRepeatSeconds = repeat;
        return e;
    }
    void store(PasswordRecord e) {
        Table<PasswordRecord> t(ts.store());
        ASSERT_TRUE(t.insert(e));
    }
    // Runs the timer for the given virtual seconds, a tick every half second.
    void runFor(double seconds) {
        for (int i = 0; i < static_cast<int>(seconds * 2); ++i) {
            ts.clock().advance(50);
            engine->tick();
        }
    }
    std::string typedInto(WindowId w) { return keyboard.textReceivedBy(w); }
};

TEST_F(MonitorEngineTest, ASendToAMissingWindowIsReportedAndDroppedWhileAMonitoredOneWaits) {
    store(entry("Watched", "Bank", true));
    engine->userOpened("Ann");
    engine->processUserList();
    engine->queueEntryForSend(entry("Once", "Bank"));
    runFor(1);
    EXPECT_EQ(messages, QStringList({"Cannot Send: The associated window does not exist (Bank)."}));
    ASSERT_EQ(engine->rows().size(), 1u);
    EXPECT_FALSE(engine->rows()[0].immediate);
    runFor(5);
    EXPECT_EQ(messages.size(), 1) << "a monitored entry reports nothing";
    const WindowId bank = desktop.addWindow("Bank");
    runFor(1);
    EXPECT_EQ(typedInto(bank), "pw-Watched\n");
}

TEST_F(MonitorEngineTest, AnIntervalOfZeroTypesOnceAndReopeningTheListLoadsItAgain) {
    store(entry("Watched", "Bank", true, 0, 0));
    const WindowId bank = desktop.addWindow("Bank");
    engine->userOpened("Ann");
    engine->processUserList();
    runFor(5);
    EXPECT_EQ(typedInto(bank), "pw-Watched\n");
    EXPECT_TRUE(engine->rows().empty());
    engine->userClosed("Ann");
    engine->processUserList();
    engine->userOpened("Ann");
    engine->processUserList();
    runFor(1);
    EXPECT_EQ(typedInto(bank), "pw-Watched\npw-Watched\n");
}

TEST_F(MonitorEngineTest, ARepeatIntervalKeepsTypingIntoTheWindowNoSoonerThanItAllows) {
    store(entry("Watched", "Bank", true, 0, 3));
    const WindowId bank = desktop.addWindow("Bank");
    engine->userOpened("Ann");
    engine->processUserList();
    std::vector<int64_t> times;
    for (int i = 0; i < 20; ++i) {
        ts.clock().advance(50);
        const size_t before = keyboard.events().size();
        engine->tick();
        if (keyboard.events().size() != before) {
            times.push_back(ts.clock().monotonic());
        }
    }
    ASSERT_GE(times.size(), 2u);
    EXPECT_GE(times[1] - times[0], 350);
    EXPECT_EQ(typedInto(bank).substr(0, 22), "pw-Watched\npw-Watched\n");
}

TEST_F(MonitorEngineTest, ASendWaitsItsSecondsEvenAcrossMidnight) {
    const WindowId bank = desktop.addWindow("Bank");
    ts.clock().set(81'000, kHundredthsPerDay - 200);  // two seconds before midnight
    engine->queueEntryForSend(entry("Once", "Bank", false, 5));
    runFor(4.5);
    EXPECT_EQ(typedInto(bank), "") << "not before its five seconds";
    runFor(1);
    EXPECT_EQ(typedInto(bank), "pw-Once\n");
    EXPECT_EQ(ts.clock().today(), 81'001);
    EXPECT_TRUE(engine->rows().empty());
}

TEST_F(MonitorEngineTest, TurningTheMonitorOffEmptiesTheListAndOnReloadsEveryOpenUser) {
    store(entry("A1", "Alpha", true));
    PasswordRecord bob = entry("B1", "Beta", true);
    bob.user = "Bob";
    store(bob);
    engine->userOpened("Ann");
    engine->userOpened("Bob");
    engine->processUserList();
    EXPECT_EQ(engine->rows().size(), 2u);
    engine->setMonitorOn(false);
    EXPECT_TRUE(engine->rows().empty());
    const WindowId alpha = desktop.addWindow("Alpha");
    runFor(2);
    EXPECT_EQ(typedInto(alpha), "");
    engine->setMonitorOn(true);
    EXPECT_EQ(engine->rows().size(), 2u);
    runFor(1);
    EXPECT_EQ(typedInto(alpha), "pw-A1\n");
}

TEST_F(MonitorEngineTest, TwoMatchingRowsAreTypedInOnePassLaterTitleFirst) {
    store(entry("A", "Alpha", true));
    store(entry("B", "Beta", true));
    desktop.addWindow("Alpha");
    desktop.addWindow("Beta");
    engine->userOpened("Ann");
    engine->processUserList();
    engine->runSendPass(false);
    EXPECT_EQ(sent, QStringList({"B -> Beta", "A -> Alpha"}));
}

TEST_F(MonitorEngineTest, MonitoredRowsWithoutARealTitleAreNeverTyped) {
    store(entry("Blank", "", true));
    store(entry("Tilde", "~Anything", true));
    const WindowId focused = desktop.addWindow("Editor");
    desktop.setFocus(focused);
    engine->userOpened("Ann");
    engine->processUserList();
    runFor(5);
    EXPECT_EQ(typedInto(focused), "");
    EXPECT_EQ(engine->rows().size(), 2u);
    // A one-off Send keeps those titles' meaning: the focused window.
    engine->queueEntryForSend(entry("Once", ""));
    runFor(1);
    EXPECT_EQ(typedInto(focused), "pw-Once\n");
}

TEST_F(MonitorEngineTest, ASendQueuedWhileTheMonitorIsOffStillGoesAndDropsMonitoredRows) {
    store(entry("Watched", "Bank", true));
    const WindowId mail = desktop.addWindow("Mail");
    engine->userOpened("Ann");
    engine->processUserList();
    engine->setMonitorOn(false);
    engine->userChanged("Ann");
    engine->processUserList();
    EXPECT_TRUE(engine->rows().empty()) << "the monitor off loads nothing";
    engine->queueEntryForSend(entry("Once", "Mail", false, 1));
    runFor(2);
    EXPECT_EQ(typedInto(mail), "pw-Once\n");
}

// With the monitor off, Send types at once; the program's own frame may still have the focus while it
// minimises. A blank or "~" title waits for the window that gets the focus after it, and gives up in the end.
TEST_F(MonitorEngineTest, ASendIntoTheFocusedWindowNeverTypesIntoTheProgramsOwnFrame) {
    engine->setMonitorOn(false);
    for (const char* title : {"", "~Mail"}) {
        SCOPED_TRACE(title);
        messages.clear();
        const WindowId editor = desktop.addWindow("Editor");
        const WindowId frame = desktop.addWindow("Zendrel");
        desktop.markOwn(frame);
        desktop.setFocus(frame);
        clock.onSleep = [&] { desktop.setFocus(editor); };
        engine->queueEntryForSend(entry("Once", title));
        EXPECT_EQ(typedInto(editor), "pw-Once\n");
        EXPECT_EQ(typedInto(frame), "");
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

        // A frame that never lets the focus go gets nothing typed into it either.
        desktop.setFocus(frame);
        engine->queueEntryForSend(entry("Again", title));
        EXPECT_EQ(typedInto(frame), "");
        EXPECT_EQ(messages, QStringList({"Cannot Send: The associated window could not be brought to the front (" +
                                         QString(title) + "), so nothing was typed."}));
        desktop.closeWindow(frame);
        desktop.closeWindow(editor);
    }
}

// A desktop where the frame cannot minimise (sway): the focus goes back to the window the user was in before,
// the frontmost of another program that is not minimised, and never to a window that cannot take it.
TEST_F(MonitorEngineTest, ASendIntoTheFocusedWindowGivesTheFocusBackWhereTheFrameCannotMinimise) {
    engine->setMonitorOn(false);
    desktop.setHandsFocusBack(true);
    struct Case {
        const char* title;
        bool editorMinimised;
        bool editorRefuses;
        const char* editorGets;
        const char* olderGets;
        bool refused;
    };
    const Case cases[] = {
        {"", false, false, "pw-Once\n", "", false},
        {"~Mail", false, false, "pw-Once\n", "", false},
        {"", true, false, "", "pw-Once\n", false}, // a minimised window is passed over
        {"~Mail", false, true, "", "", true},      // the window before refuses: nothing is typed anywhere
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.title) + (c.editorMinimised ? " minimised" : "") +
                     (c.editorRefuses ? " refuses" : ""));
        messages.clear();
        const WindowId older = desktop.addWindow("Older");
        const WindowId editor = desktop.addWindow("Editor");
        const WindowId frame = desktop.addWindow("Zendrel");
        const WindowId frameDialog = desktop.addChild(frame, "Passwords");
        desktop.markOwn(frame);
        desktop.setFocus(frameDialog);
        desktop.setMinimized(editor, c.editorMinimised);
        if (c.editorRefuses) {
            desktop.refuseFocus(editor);
        }
        engine->queueEntryForSend(entry("Once", c.title));
        runFor(5);
        EXPECT_EQ(typedInto(editor), c.editorGets);
        EXPECT_EQ(typedInto(older), c.olderGets);
        EXPECT_EQ(typedInto(frame) + typedInto(frameDialog), "");
        if (c.refused) {
            EXPECT_EQ(messages, QStringList({"Cannot Send: The associated window could not be brought to the front (" +
                                             QString(c.title) + "), so nothing was typed."}));
        } else {
            EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        }
        for (WindowId w : {frame, editor, older}) {
            desktop.closeWindow(w);
        }
        keyboard.clear();
    }
}

TEST_F(MonitorEngineTest, UsersStayMonitoredWhileAnyOfTheirListsIsOpen) {
    store(entry("Watched", "Bank", true));
    engine->userOpened("Ann");
    engine->userOpened("ann");
    engine->processUserList();
    engine->userClosed("Ann");
    engine->processUserList();
    EXPECT_EQ(engine->rows().size(), 1u);
    engine->userClosed("Ann");
    engine->processUserList();
    EXPECT_TRUE(engine->rows().empty());
}

TEST_F(MonitorEngineTest, AWindowThatRefusesTheFocusIsNotFoughtForOnEveryPass) {
    store(entry("Watched", "Bank", true));
    const WindowId bank = desktop.addWindow("Bank");
    desktop.refuseFocus(bank);
    engine->userOpened("Ann");
    engine->processUserList();
    runFor(10);
    EXPECT_LE(desktop.activations(), 3) << "tried again only every five seconds";
    EXPECT_GE(desktop.activations(), 2);
    EXPECT_TRUE(keyboard.events().empty());
    EXPECT_EQ(engine->rows().size(), 1u);
}

TEST_F(MonitorEngineTest, RepeatIntervalsAreComputedWithoutOverflow) {
    EXPECT_EQ(MonitorEngine::repeatInterval(-5), 0);
    EXPECT_EQ(MonitorEngine::repeatInterval(30), 3000);
    EXPECT_EQ(MonitorEngine::repeatInterval(INT32_MAX), int64_t{kHundredthsPerDay} * 366);
}

TEST_F(MonitorEngineTest, APassReadsTheWindowListOnceWhileNothingIsTyped) {
    for (int i = 0; i < 300; ++i) {
        store(entry(QStringLiteral("S%1").arg(i), QStringLiteral("Absent %1").arg(i), true));
    }
    for (int i = 0; i < 50; ++i) {
        desktop.addWindow(QStringLiteral("Window %1").arg(i).toStdString());
    }
    engine->userOpened("Ann");
    engine->processUserList();
    const int before = desktop.windowListReads();
    engine->runSendPass(false);
    EXPECT_EQ(desktop.windowListReads() - before, 1);
}

TEST_F(MonitorEngineTest, TheMonitorProgramDoesNotTypeIntoAWindowThatClosedDuringItsWait) {
    start(EngineProgram::Monitor);
    store(entry("Watched", "Bank", true, 3));
    const WindowId bank = desktop.addWindow("Bank");
    engine->selectUser("Ann");
    ts.clock().advance(400);
    clock.onSleep = [&] { desktop.closeWindow(bank); };
    engine->runSendPass(false);
    EXPECT_TRUE(keyboard.events().empty());
    EXPECT_EQ(engine->rows().size(), 1u);

    // A window that stays is typed into after the wait, and is not restored when minimised.
    const WindowId again = desktop.addWindow("Bank");
    engine->runSendPass(false);
    EXPECT_EQ(typedInto(again), "pw-Watched\n");
}

TEST_F(MonitorEngineTest, AWatchedEntryTypedOnceStaysWhenItsTypingWasStopped) {
    PasswordRecord e = entry("Watched", "Bank", true, 0, 0);
    e.paste = "[Password][Tab][Name][Enter]";
    store(e);
    const WindowId bank = desktop.addWindow("Bank");
    const WindowId other = desktop.addWindow("Other");
    engine->userOpened("Ann");
    engine->processUserList();
    // Once typing has begun, the user clicks into another window.
    std::function<void()> leave = [&] {
        if (keyboard.events().empty()) {
            clock.onSleep = leave;
        } else {
            desktop.setFocus(other);
        }
    };
    clock.onSleep = leave;
    runFor(1);
    EXPECT_EQ(typedInto(other), "") << "nothing reaches the window the focus went to";
    ASSERT_EQ(engine->rows().size(), 1u) << "the send did not complete: the entry stays watched";
    clock.onSleep = nullptr;
    runFor(7);  // tried again after a pause
    EXPECT_TRUE(QString::fromStdString(typedInto(bank)).endsWith("pw-Watched\tann\n")) << typedInto(bank);
    EXPECT_TRUE(engine->rows().empty()) << "typed once, it is done";
}

// Without a display, a Send of any kind of title says so instead of "succeeding" into nowhere.
TEST(NoDisplayTest, EverySendReportsThatThereIsNoDisplayAndTypesNothing) {
    test::TestStore ts;
    NoDesktop desktop;
    NoKeyboard keyboard;
    QStringList messages;
    QStringList sent;
    MonitorEngine::Callbacks cb;
    cb.message = [&](const QString& t, const QString& x) { messages << t + ": " + x; };
    cb.sent = [&](const MonitorRow& r, const QString&) { sent << r.service; };
    MonitorEngine engine(EngineProgram::Main, ts.store(), keyboard, desktop, ts.clock(), SendSettings{7, 0}, cb);
    engine.userOpened("Ann");
    engine.processUserList();
    for (const char* title : {"Bank", "", "~Zendrel"}) {
        PasswordRecord e = test::entry("Ann", "S", "ann");
        e.windowTitleToLocate = title;
        engine.queueEntryForSend(e);
    }
    for (int i = 0; i < 20; ++i) {
        ts.clock().advance(50);
        engine.tick();
    }
    EXPECT_TRUE(sent.isEmpty());
    messages.sort();
    EXPECT_EQ(messages, QStringList({"Cannot Send: No display to type into was found, so nothing was typed into ().",
                                     "Cannot Send: No display to type into was found, so nothing was typed into (Bank).",
                                     "Cannot Send: No display to type into was found, so nothing was typed into (~Zendrel)."}));
    EXPECT_TRUE(engine.rows().empty());
}

} // namespace

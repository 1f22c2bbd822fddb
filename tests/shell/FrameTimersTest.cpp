#include "platform/sim/SimDesktop.h"
#include "platform/sim/VirtualClock.h"
#include "shell/FrameTimers.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class FrameTimersTest : public ::testing::Test {
protected:
    sim::VirtualClock clock{81'000, 12 * 360'000 + 1};  // noon
    sim::SimClipboard clipboard;
    FrameTimers timers{clock, clipboard};
    int countdowns = 0;
    FrameTimers::MonitorState monitor{true, {}};

    void tickFor(int64_t hundredths, int64_t step = 50) {
        for (int64_t t = 0; t < hundredths; t += step) {
            clock.advance(step);
            timers.tick(monitor, [this] { ++countdowns; });
        }
    }
};

TEST_F(FrameTimersTest, TheClipboardIsClearedItsSecondsAfterItLastChanged) {
    timers.setClearSeconds(30);
    clipboard.setText("s3cret", true);
    tickFor(50);
    EXPECT_EQ(timers.countdownText(), "30 seconds to clipboard clear");
    tickFor(1000);
    EXPECT_EQ(timers.countdownText(), "20 seconds to clipboard clear");
    clipboard.setText("another", false);  // a new copy restarts the count
    tickFor(50);
    EXPECT_EQ(timers.countdownText(), "30 seconds to clipboard clear");
    tickFor(2900);
    EXPECT_EQ(clipboard.text(), "another");
    tickFor(150);
    EXPECT_EQ(clipboard.text(), "");
    EXPECT_EQ(timers.countdownText(), "");
}

TEST_F(FrameTimersTest, APictureOnTheClipboardLivesItsFullTimeAndIsClearedToo) {
    timers.setClearSeconds(30);
    tickFor(2000);
    clipboard.setPicture();
    const int changes = clipboard.changes;
    tickFor(2900);
    EXPECT_EQ(clipboard.changes, changes) << "not cleared before its 30 seconds";
    tickFor(200);
    EXPECT_GT(clipboard.changes, changes);
    EXPECT_EQ(clipboard.text(), "");
}

TEST_F(FrameTimersTest, ADeadlineShortlyAfterMidnightFiresAfterMidnightAndOneMissedInSleepFiresAtOnce) {
    timers.setClearSeconds(30);
    clock.set(81'000, kHundredthsPerDay - 1000);  // ten seconds before midnight
    clipboard.setText("s3cret", true);
    tickFor(50);
    tickFor(900);
    EXPECT_EQ(clipboard.text(), "s3cret") << "still before midnight";
    tickFor(2200);
    EXPECT_EQ(clipboard.text(), "");
    EXPECT_EQ(clock.today(), 81'001);

    // The machine sleeps past the deadline and past midnight: the next tick clears.
    clock.set(81'001, kHundredthsPerDay - 500);
    clipboard.setText("again", true);
    tickFor(50);
    clock.advance(100'000);
    tickFor(50);
    EXPECT_EQ(clipboard.text(), "");
}

TEST_F(FrameTimersTest, InactivityStartsTheCountdownAfterItsMinutesAndInputPutsItOff) {
    timers.setInactivityMinutes(5);
    tickFor(4 * 6000);
    EXPECT_EQ(countdowns, 0);
    EXPECT_EQ(timers.countdownText(), "60 seconds to shutdown");
    timers.userActivity();
    tickFor(4 * 6000 + 5900);
    EXPECT_EQ(countdowns, 0) << "ticks are no activity, but the input was";
    tickFor(200);
    EXPECT_EQ(countdowns, 1);
    // Without more input the next countdown comes five minutes after this one started.
    tickFor(5 * 6000 + 100);
    EXPECT_EQ(countdowns, 2);
}

TEST_F(FrameTimersTest, TheStatusShowsTheMonitorAndAtMostTwoUsers) {
    monitor = {false, {"Ann", "Bob"}};
    tickFor(50);
    EXPECT_EQ(timers.countdownText(), "Monitor Off");
    monitor = {true, {"Ann  ", "Bob", "Cy"}};
    tickFor(50);
    EXPECT_EQ(timers.countdownText(), "Monitoring Ann, Bob");
    monitor = {true, {"Ann"}};
    tickFor(50);
    EXPECT_EQ(timers.countdownText(), "Monitoring Ann");
    EXPECT_EQ(timers.dateText(), "Wednesday, October 5, 2022") << "day 81000";
    EXPECT_EQ(timers.timeText(), "12:00PM");
}

TEST_F(FrameTimersTest, ClosingLeavesAHarmlessTextOnlyWhenClearingIsOn) {
    clipboard.setText("s3cret", true);
    timers.closing();
    EXPECT_EQ(clipboard.text(), "s3cret");
    timers.setClearSeconds(10);
    timers.closing();
    EXPECT_EQ(clipboard.text(), "Cleared by Zendrel.");
}

TEST(ClipboardFilterTest, KeepsLettersDigitsAndPunctuationAndOneSpaceOfARun) {
    EXPECT_EQ(filterClipboardText("a\tb  c"), "ab c");
    EXPECT_EQ(filterClipboardText("   lead"), "lead");
    EXPECT_EQ(filterClipboardText("x{y}z ~w"), "xyz w");
    EXPECT_EQ(filterClipboardText("line one\r\nline  two   "), "line oneline two");
    EXPECT_EQ(filterClipboardText(QStringLiteral("caf\u00e9 1+1=2!")), "caf 1+1=2!");
    EXPECT_EQ(filterClipboardText(QString("ab") + QChar(u'\0') + "cd"), "ab");
}

TEST(CloseDownCountdownTest, CountsTenSecondsFromOpening) {
    sim::VirtualClock clock;
    CloseDownCountdown c(clock);
    EXPECT_EQ(c.line(), "10 Seconds.");
    clock.advance(350);
    c.tick();
    EXPECT_EQ(c.line(), "6 seconds.");
    EXPECT_FALSE(c.expired());
    clock.advance(700);
    EXPECT_TRUE(c.expired());
}

} // namespace

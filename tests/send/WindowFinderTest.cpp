#include "support/ScriptedServices.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/VirtualClock.h"
#include "send/Sender.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

struct TitleCase {
    const char* rule;
    const char* window;
    bool matches;
};

class TitleRuleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleRuleTest, MatchesByTheExactOrTheStarRule) {
    sim::SimDesktop desktop;
    const WindowId w = desktop.addWindow(GetParam().window);
    const Located l = WindowFinder(desktop).find(GetParam().rule, {});
    EXPECT_EQ(l.found() ? l.window : 0, GetParam().matches ? w : 0) << GetParam().rule << " / " << GetParam().window;
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TitleRuleTest,
    ::testing::Values(TitleCase{"Notepad", "notepad", true}, TitleCase{"Notepad  ", "NOTEPAD", true},
                      TitleCase{"Notepad", "Notepad2", false}, TitleCase{"*Notepad", "Untitled - Notepad", true},
                      TitleCase{"Untitled*", "Untitled - Notepad", true},
                      TitleCase{"Notepad*", "Untitled - Notepad", false}, TitleCase{"Notepad*", "notepad++", true},
                      TitleCase{"*Doc*", "My Document", false}, TitleCase{"*Doc*", "My Doc* list", true},
                      TitleCase{"Bank*Login", "Bank of Mars", true}, TitleCase{"*", "anything", true},
                      TitleCase{"Ünïcode", "üNÏCODE", true}));

TEST(WindowFinderTest, TheFrontmostOfEqualTitlesWinsAndUntitledWindowsAreSkipped) {
    sim::SimDesktop desktop;
    desktop.addWindow("Bank Login");
    const WindowId front = desktop.addWindow("bank login");
    desktop.addWindow("");
    EXPECT_EQ(WindowFinder(desktop).find("Bank Login", {}).window, front);
}

TEST(WindowFinderTest, ContentsAreLookedForInEveryDescendant) {
    sim::SimDesktop desktop;
    const WindowId right = desktop.addWindow("Login");
    const WindowId panel = desktop.addChild(right, "");
    desktop.addChild(panel, "Enter Password:");
    const WindowId wrong = desktop.addWindow("Login");  // in front, without the text
    desktop.addChild(wrong, "Enter user name");
    EXPECT_EQ(WindowFinder(desktop).find("Login", "password").window, right);
    EXPECT_EQ(WindowFinder(desktop).find("Login", "").window, wrong);
    EXPECT_EQ(WindowFinder(desktop).find("Login", "<>").window, right) << "a child without text reads <>";
    EXPECT_FALSE(WindowFinder(desktop).find("Login", "Token").found());
}

TEST(WindowFinderTest, AWindowThatMatchesByBothRulesIsReadOnceAndTheNextWindowIsTried) {
    // Reading what a window shows may cost a call to another program: one reading per window and search.
    sim::SimDesktop desktop;
    const WindowId right = desktop.addWindow("Bank*");
    desktop.addChild(right, "Enter your bank password");
    const WindowId wrong = desktop.addWindow("bank*");  // in front; "Bank*" matches it by both rules
    desktop.addChild(wrong, "Help");
    EXPECT_EQ(WindowFinder(desktop).find("Bank*", "bank password").window, right);
    EXPECT_EQ(desktop.descendantReads(wrong), 1);
    EXPECT_EQ(desktop.descendantReads(right), 1);
}

TEST(WindowFinderTest, TheTextsOfTheFrontmostWindowThatMatchesAreWhatTheContentsCheckCompares) {
    sim::SimDesktop desktop;
    const WindowId behind = desktop.addWindow("Bank Login");
    desktop.addChild(behind, "Behind");
    const WindowId front = desktop.addWindow("My Bank Login");
    const WindowId panel = desktop.addChild(front, "");
    desktop.addChild(panel, "Enter Password:");
    desktop.addWindow("Editor");
    const auto texts = WindowFinder(desktop).texts("*bank login");
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(texts->join("|"), "<>|Enter Password:");
    EXPECT_FALSE(WindowFinder(desktop).texts("Mail").has_value());
}

class SenderTest : public ::testing::Test {
protected:
    sim::VirtualClock clock{81'000, 1000};
    sim::SimDesktop desktop;
    sim::SimKeyboard keyboard{&clock, &desktop};
    Sender sender{keyboard, desktop, clock, SendSettings{7, 5}};
    WindowId bank = desktop.addWindow("Bank Login");
    WindowId editor = desktop.addWindow("Editor");

    SendRequest request(const char* title, const char* text, bool direct = false) {
        return {title, {}, ExpandedText::plain(text), direct};
    }
};

TEST_F(SenderTest, TheTextGoesIntoTheLocatedWindowAfterActivation) {
    desktop.setFocus(editor);
    EXPECT_EQ(sender.send(request("*Login", "name[Tab]secret[Enter]"), Activation::Main), SendOutcome::Sent);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "name\tsecret\n");
    EXPECT_EQ(keyboard.textReceivedBy(editor), "");
    EXPECT_EQ(desktop.front(), bank);
}

// A password with characters the keyboard cannot type is not sent "successfully" with holes in it.
TEST_F(SenderTest, CharactersThatCannotBeTypedMakeTheSendFailAndAreNamedByTheirPlace) {
    for (const bool direct : {false, true}) {
        Sender s{keyboard, desktop, clock, SendSettings{7, 5}};
        EXPECT_EQ(s.send(request("*Login", "ab\x01" "c\x7f" "d", direct), Activation::Main), SendOutcome::Untypable);
        EXPECT_EQ(s.untypable(), (std::vector<qsizetype>{3, 5}));
        EXPECT_EQ(cannotSendText(SendOutcome::Untypable, "*Login", s.untypable()),
                  "The characters at places 3, 5 of the text could not be typed on this keyboard, so the text typed "
                  "into (*Login) is incomplete.");
        EXPECT_EQ(s.send(request("*Login", "abcd", direct), Activation::Main), SendOutcome::Sent);
        EXPECT_TRUE(s.untypable().empty());
    }
}

TEST_F(SenderTest, AMissingWindowIsReportedAndNothingIsTyped) {
    const SendOutcome o = sender.send(request("Mail", "x"), Activation::Main);
    EXPECT_EQ(o, SendOutcome::NoWindow);
    EXPECT_EQ(cannotSendText(o, "Mail  "), "The associated window does not exist (Mail).");
    EXPECT_TRUE(keyboard.events().empty());
}

TEST_F(SenderTest, NothingIsTypedWhenTheFocusCannotReachTheWindow) {
    desktop.setFocus(editor);
    desktop.refuseFocus(bank);
    EXPECT_EQ(sender.send(request("Bank Login", "secret"), Activation::Main), SendOutcome::FocusRefused);
    EXPECT_EQ(sender.send(request("Bank Login", "secret", true), Activation::Main), SendOutcome::FocusRefused);
    EXPECT_TRUE(keyboard.events().empty());
}

TEST_F(SenderTest, TypingStopsWhenTheFocusLeavesTheWindow) {
    keyboard.onEvent(6, [this] { desktop.setFocus(editor); });
    EXPECT_EQ(sender.send(request("Bank Login", "abcdefgh[Tab]ijk"), Activation::Main), SendOutcome::Stopped);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "abc");
    EXPECT_EQ(keyboard.textReceivedBy(editor), "");
}

TEST_F(SenderTest, ABlankOrTildeTitleTypesIntoTheFocusedWindowOnlyWhileItKeepsTheFocus) {
    for (const char* title : {"", "~Zendrel"}) {
        keyboard.clear();
        desktop.setFocus(editor);
        keyboard.onEvent(6, [this] { desktop.setFocus(bank); });
        EXPECT_EQ(sender.send(request(title, "abcdefgh[Tab]ijk"), Activation::Main), SendOutcome::Stopped) << title;
        EXPECT_EQ(keyboard.textReceivedBy(editor), "abc") << title;
        EXPECT_EQ(keyboard.textReceivedBy(bank), "") << "nothing follows the focus to the window clicked";
    }
}

TEST_F(SenderTest, TheMonitorLeavesAMinimisedWindowAloneAndTheMainProgramRestoresIt) {
    desktop.setFocus(editor);
    desktop.setMinimized(bank, true);
    EXPECT_EQ(sender.send(request("Bank Login", "x"), Activation::Monitor), SendOutcome::FocusRefused);
    EXPECT_TRUE(desktop.isMinimized(bank));
    EXPECT_EQ(sender.send(request("Bank Login", "x"), Activation::Main), SendOutcome::Sent);
    EXPECT_FALSE(desktop.isMinimized(bank));
}

TEST_F(SenderTest, BlankAndTildeTitlesTypeIntoTheFocusedWindowWithoutActivating) {
    desktop.setFocus(bank);  // behind the editor, but it has the focus
    EXPECT_EQ(sender.send(request("", "a"), Activation::Main), SendOutcome::Sent);
    EXPECT_EQ(sender.send(request("~Editor", "b"), Activation::Main), SendOutcome::Sent);
    EXPECT_EQ(sender.send(request("~Nothing at all", "c"), Activation::Main), SendOutcome::Sent);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "abc");
    EXPECT_EQ(desktop.activations(), 0);
}

TEST_F(SenderTest, ABlankTitleWithNoWindowFocusedTypesNothing) {
    desktop.setFocus(0);
    EXPECT_EQ(sender.send(request("", "secret"), Activation::Main), SendOutcome::FocusRefused);
    EXPECT_EQ(sender.send(request("~x", "secret"), Activation::Main), SendOutcome::FocusRefused);
    EXPECT_TRUE(keyboard.events().empty());
}

TEST_F(SenderTest, HeldModifiersAreWaitedOutAndASendNeverTurnsIntoShortcuts) {
    keyboard.holdModifiersFor(50);
    EXPECT_EQ(sender.send(request("Bank Login", "a"), Activation::Main), SendOutcome::Sent);
    EXPECT_GE(keyboard.events().front().time - (int64_t{81000} * kHundredthsPerDay + 999), 50);
    keyboard.clear();
    keyboard.holdModifiersFor(100'000);
    EXPECT_EQ(sender.send(request("Bank Login", "a"), Activation::Main), SendOutcome::ModifiersHeld);
    EXPECT_TRUE(keyboard.events().empty());
}

// A modifier pressed in the middle of a send is waited out before the next group or key, and a send stops
// rather than type shortcuts when it stays held.
TEST_F(SenderTest, AModifierPressedDuringTheSendIsWaitedOutBeforeEveryGroupAndKey) {
    // Groups of 7: "abcdefg" (14 key events), then "h", then the Tab key.
    keyboard.onEvent(6, [this] { keyboard.holdModifiersFor(80); });
    EXPECT_EQ(sender.send(request("Bank Login", "abcdefgh[Tab]"), Activation::Main), SendOutcome::Sent);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "abcdefgh\t");
    const auto& ev = keyboard.events();
    ASSERT_GE(ev.size(), 16u);
    EXPECT_GE(ev[14].time - ev[13].time, 70) << "the second group waited for the release";

    keyboard.clear();
    keyboard.onEvent(4, [this] { keyboard.holdModifiersFor(100'000); });
    EXPECT_EQ(sender.send(request("Bank Login", "abcdefgh[Tab]"), Activation::Main), SendOutcome::ModifiersHeld);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "abcdefg") << "nothing more while the modifier stayed down";
}

TEST_F(SenderTest, DirectSendFocusesTheWindowItselfWithoutActivation) {
    desktop.setFocus(editor);
    EXPECT_EQ(sender.send(request("Bank Login", "[Tab 2]x", true), Activation::Main), SendOutcome::Sent);
    EXPECT_EQ(keyboard.textReceivedBy(bank), "\t\tx");
    EXPECT_EQ(desktop.activations(), 0);
}

TEST(StartEntryProgramTest, StartsNamedProgramsAndReportsOnesThatCannotStart) {
    sim::SimShell shell;
    ScriptedMessages messages;
    for (const char* none : {"", "   ", "n/a", "N/A  ", "\tprog"}) {
        EXPECT_FALSE(startEntryProgram(QString::fromLatin1(none), shell, messages)) << none;
    }
    EXPECT_TRUE(shell.started.empty());
    EXPECT_TRUE(startEntryProgram("n/a", shell, messages, true)) << "the form's Test starts N/A too";
    EXPECT_TRUE(startEntryProgram("xterm -T Bank  ", shell, messages));
    EXPECT_EQ(shell.started.back(), "xterm -T Bank");

    shell.missing.insert("/opt/none");
    EXPECT_FALSE(startEntryProgram("/opt/none", shell, messages));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].title, "Critical Error Message");
    EXPECT_EQ(messages.shown[0].text,
              "EXE, Batch File or PIF File Not Found:/opt/none|Please notify technical support immediately!");
    EXPECT_TRUE(messages.shown[0].beep);
}

} // namespace

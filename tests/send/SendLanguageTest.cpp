#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/VirtualClock.h"
#include "send/KeyTokens.h"
#include "send/SendPlan.h"
#include "send/Typist.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

class SendLanguageTest : public ::testing::Test {
protected:
    sim::VirtualClock clock{81'000, 1000};
    sim::SimKeyboard keyboard{&clock};
    Typist typist{keyboard, clock, SendSettings{7, 30}};

    std::string type(const QString& text) {
        typist.typeSendText(ExpandedText::plain(text));
        return keyboard.text();
    }
    // Times (relative to the start) at which each character or key went down, as "c@t".
    std::string timeline() const {
        std::string out;
        const int64_t start = keyboard.events().empty() ? 0 : keyboard.events().front().time;
        for (const auto& e : keyboard.events()) {
            if (e.down && e.vk != vk::Shift && e.vk != vk::Control && e.vk != vk::Alt) {
                out += std::to_string(e.vk) + "@" + std::to_string(e.time - start) + " ";
            }
        }
        return out;
    }
};

PasswordRecord sample() {
    PasswordRecord e;
    e.password = "p[Enter]w";
    e.name = "alice   ";
    e.url = "https://x.example";
    e.service = "Bank";
    e.notes = "n";
    e.moreNotes = "m";
    return e;
}

TEST(ExpandSendTextTest, FieldsAreReplacedInAnyCaseAndTheirValuesStayLiteral) {
    const ExpandedText t = expandSendText("[name][Tab][PASSWORD][Enter] [Url]/[service] [NOTES][MoreNotes]", sample());
    EXPECT_EQ(t.text, "alice[Tab]p[Enter]w[Enter] https://x.example/Bank nm");
    // The brackets of the password are its own characters, not the user's tokens.
    EXPECT_FALSE(t.isLiteral(t.text.indexOf("[Tab]")));
    EXPECT_TRUE(t.isLiteral(t.text.indexOf("p[Enter]w") + 1));

    sim::VirtualClock clock;
    sim::SimKeyboard keyboard(&clock);
    Typist(keyboard, clock, {7, 0}).typeSendText(t);
    EXPECT_EQ(keyboard.text(), "alice\tp[Enter]w\n https://x.example/Bank nm");
}

TEST(ExpandSendTextTest, AValueHoldingATokenIsNotExpandedAgainAndLongTextsStayWhole) {
    PasswordRecord e = sample();
    e.password = "[URL][PASSWORD]";
    EXPECT_EQ(expandSendText("[Password]", e).text, "[URL][PASSWORD]");
    e.notes = QString(10000, 'n');
    const ExpandedText t = expandSendText("[Name][Tab][Notes][Tab][Password]", e);
    EXPECT_EQ(t.text.size(), 5 + 5 + 10000 + 5 + 15);
    EXPECT_TRUE(t.text.endsWith("[URL][PASSWORD]"));
    EXPECT_EQ(expandSendText("x[Password", e).text, "x[Password");
    EXPECT_EQ(expandSendText("[Name]   ", e).text, "alice");
}

TEST_F(SendLanguageTest, LiteralGroupsTokensAndTheirWaits) {
    EXPECT_EQ(type("abc[Tab]def"), "abc\tdef");
    // abc, the interval, Tab, 10 and the interval, def with nothing after it.
    EXPECT_EQ(timeline(), "65@0 66@0 67@0 9@30 68@70 69@70 70@70 ");
    EXPECT_EQ(clock.monotonic() - keyboard.events().front().time, 70);
}

TEST_F(SendLanguageTest, LongStretchesAreCutIntoGroups) {
    EXPECT_EQ(type("abcdefghij[Enter]"), "abcdefghij\n");
    EXPECT_EQ(timeline(), "65@0 66@0 67@0 68@0 69@0 70@0 71@0 72@30 73@30 74@30 13@60 ");
}

struct TokenCase {
    const char* text;
    const char* typed;
};

class TokenTest : public SendLanguageTest, public ::testing::WithParamInterface<TokenCase> {};

TEST_P(TokenTest, TypesWhatTheTokenMeans) {
    EXPECT_EQ(type(QString::fromUtf8(GetParam().text)), GetParam().typed) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, TokenTest,
    ::testing::Values(TokenCase{"[tab]", "\t"}, TokenCase{"[Tab   ]", "\t"}, TokenCase{"[ Tab]", " Tab"},
                      TokenCase{"[^c]", "<Ctrl+C>"}, TokenCase{"[CTRL-C]", "<Ctrl+C>"},
                      TokenCase{"[CTRLC]", "<Ctrl+C>"}, TokenCase{"[CTRL+C]", "<Ctrl+Shift+C>"},
                      TokenCase{"[ALT-F4]", "<Alt+F4>"}, TokenCase{"[SHIFT-TAB]", "<Shift+Tab>"},
                      TokenCase{"[%^+x]", "<Ctrl+Alt+Shift+X>"}, TokenCase{"[PAUSE]", ""},
                      TokenCase{"[+PAUSE]", "<Shift+Pause>"}, TokenCase{"[Hello]", "Hello"},
                      TokenCase{"[[]", "["}, TokenCase{"x[Password", "xPassword"}, TokenCase{"a]b", "a]b"},
                      TokenCase{"[KEYTAB]", "\t"}, TokenCase{"[keytab]", "keytab"}, TokenCase{"[PAD7]", "7"},
                      TokenCase{"[F12][Home][Delete]", "<F12><Home><Delete>"},
                      TokenCase{"[Name] says: \"hi\" 100% ~ok?", "Name says: \"hi\" 100% ~ok?"}));

TEST_F(SendLanguageTest, WaitTokensWaitAndTypeNothing) {
    EXPECT_EQ(type("a[WAIT=200]b"), "ab");
    EXPECT_EQ(timeline(), "65@0 66@270 ");  // interval, 200, 10, interval
    keyboard.clear();
    EXPECT_EQ(type("a[Wait]b"), "ab");
    EXPECT_EQ(timeline(), "65@0 66@120 ");
}

TEST_F(SendLanguageTest, CapsLockIsCompensatedAndLeftOn) {
    keyboard.setCapsLock(true);
    EXPECT_EQ(type("Ab"), "Ab");
    EXPECT_EQ(keyboard.trace(), "Dn65 Up65 Dn16 Dn66 Up66 Up16");
    EXPECT_TRUE(keyboard.capsLockOn());
}

TEST_F(SendLanguageTest, OnlyTheFixedShiftedCharactersTakeShift) {
    typist.typeCharacters(":");
    EXPECT_EQ(keyboard.trace(), "Dn16 Dn186 Up186 Up16");
    keyboard.clear();
    typist.typeCharacters(";");
    EXPECT_EQ(keyboard.trace(), "Dn186 Up186");
}

TEST_F(SendLanguageTest, PressKeyPutsModifiersDownAndUpInTheirOrder) {
    typist.pressKey(65 | kShiftBit | kCtrlBit | kAltBit);
    EXPECT_EQ(keyboard.trace(), "Dn16 Dn17 Dn18 Dn65 Up65 Up16 Up17 Up18");
}

TEST(KeyTokenTest, ModifierWordsPrefixesAndWaits) {
    int64_t waited = -1;
    auto wait = [&](int64_t n) { waited = n; };
    EXPECT_EQ(resolveKeyToken("CTRL+A", wait).code, 512 | 256 | 65);
    EXPECT_EQ(resolveKeyToken("Shift-F1", wait).code, 256 | 112);
    EXPECT_EQ(resolveKeyToken("ALTX", wait).code, 1024 | 88);
    EXPECT_EQ(resolveKeyToken("+nothing", wait).code, 256);
    EXPECT_EQ(resolveKeyToken("MOUSERIGHT", wait).code, 2);
    EXPECT_EQ(resolveKeyToken(" TAB", wait).code, 0);
    EXPECT_EQ(waited, -1);
    const KeyResolution w = resolveKeyToken("wait=15", wait);
    EXPECT_TRUE(w.waited);
    EXPECT_EQ(waited, 15);
    resolveKeyToken("WAIT=99999999999999999999", wait);
    EXPECT_EQ(waited, INT32_MAX);
}

TEST(WaitTest, ClosingTheProgramEndsALongWaitAndTheTyping) {
    sim::VirtualClock clock;
    sim::SimKeyboard keyboard(&clock);
    std::atomic<bool> cancel{false};
    Typist typist(keyboard, clock, SendSettings{7, 0, &cancel});
    keyboard.onEvent(2, [&] { cancel = true; });
    EXPECT_FALSE(typist.typeSendText(ExpandedText::plain("ab[WAIT=99999999]cd")));
    EXPECT_EQ(keyboard.text(), "a") << "stopped before the next character";
    const int64_t before = clock.monotonic();
    typist.waitHundredths(99'999'999);
    EXPECT_EQ(clock.monotonic(), before);
}

TEST(WaitTest, ACharacterOfTwoUnitsIsNeverSplitBetweenGroups) {
    sim::VirtualClock clock;
    sim::SimKeyboard keyboard(&clock);
    Typist typist(keyboard, clock, SendSettings{2, 0});
    typist.typeSendText(ExpandedText::plain(QStringLiteral("a\U0001F600b[Tab]")));
    // Each keystroke of the simulated keyboard stands for one whole character.
    EXPECT_EQ(keyboard.events().size(), 8u);
}

TEST(WaitTest, AWaitStartingBeforeMidnightEndsAfterItsTimeNotAtOnceNorADayLater) {
    sim::VirtualClock clock(81'000, kHundredthsPerDay - 40);
    sim::SimKeyboard keyboard(&clock);
    Typist typist(keyboard, clock, {});
    const int64_t start = clock.monotonic();
    typist.waitHundredths(100);
    EXPECT_EQ(clock.monotonic() - start, 100);
    EXPECT_EQ(clock.today(), 81'001);
    EXPECT_EQ(clock.clock(), 60);
}

class DirectSendTest : public ::testing::Test {
protected:
    sim::VirtualClock clock{81'000, 1000};
    sim::SimDesktop desktop;
    sim::SimKeyboard keyboard{&clock, &desktop};
    Typist typist{keyboard, clock, SendSettings{7, 30}};
    WindowId target = desktop.addWindow("Target");
    WindowId other = desktop.addWindow("Other");
};

TEST_F(DirectSendTest, RepeatsPausesAndBracketsAsTheDirectTyperHasThem) {
    desktop.setFocus(other);
    ASSERT_TRUE(typist.directSendText(desktop, target, ExpandedText::plain("[Tab 3][Tab 0][Home][Hello]"), 2));
    EXPECT_EQ(keyboard.textReceivedBy(target), "\t\t\t\t<Home>[Hello]");
    std::string times;
    const int64_t start = keyboard.events().front().time;
    for (const auto& e : keyboard.events()) {
        if (e.down && (e.vk == 9 || e.vk == 36)) {
            times += std::to_string(e.time - start) + " ";
        }
    }
    EXPECT_EQ(times, "0 5 10 15 20 ");  // 5 after each Tab, none after Home
    EXPECT_EQ(desktop.focusedWindow(), other) << "focus mode 2 gives the focus back";
}

TEST_F(DirectSendTest, AClosingBracketOutOfReachLeavesTheOpeningOneAsText) {
    const QString far = "[" + QString(33, 'x') + "]";
    typist.directSendText(desktop, target, ExpandedText::plain(far + "[PAUSE][" + QString(32, 'y') + "]"), 1);
    EXPECT_EQ(keyboard.textReceivedBy(target), far.toStdString() + "<Pause>[" + std::string(32, 'y') + "]");
    EXPECT_EQ(desktop.focusedWindow(), target);
}

} // namespace

namespace {

using Kind = SendStep::Kind;

SendStep chars(const QString& t, bool guarded = false) {
    return {Kind::Characters, t, 0, 0, guarded};
}
SendStep press(int code) {
    return {Kind::Key, {}, code, 0, true};
}
SendStep pause(int64_t h, bool guarded = false) {
    return {Kind::Wait, {}, 0, h, guarded};
}

// A send text is read once into steps; a field value's brackets stay text, the last run is one group.
TEST(SendPlanTest, TheGroupInterpreterPlansGroupsTokensWaitsAndFieldValuesAsText) {
    ExpandedText t = ExpandedText::plain("abcdefghi[Tab][WAIT=30][pause]");
    t.text += QStringLiteral("[Enter]");  // an entry's value
    t.literal.resize(static_cast<size_t>(t.text.size()), true);
    t.text += QStringLiteral("[Enter]x\U0001F600y");
    t.literal.resize(static_cast<size_t>(t.text.size()), false);
    const std::vector<SendStep> want = {
        chars("abcd"),   pause(25), chars("efgh"), pause(25), chars("i"),    pause(25),
        press(9),        pause(10), pause(25),                                            // [Tab]
        pause(30, true), pause(10), pause(25),                                            // [WAIT=30]
        pause(10, true), pause(25),                                                       // [pause]
        chars("[Ent"),   pause(25), chars("er]"),  pause(25),                             // the value
        press(13),       pause(10), pause(25),                                            // [Enter]
        chars(QStringLiteral("x\U0001F600y")), {Kind::Flush, {}, 0, 0, false}};
    EXPECT_EQ(planGroups(t, 4, 25), want);
}

TEST(SendPlanTest, TheDirectTyperPlansRepeatsAndTypesAnUnclosedBracket) {
    const std::vector<SendStep> plan = planDirect(ExpandedText::plain("[Tab 2]a[nothing]"));
    const std::vector<SendStep> want = {press(9),   pause(5),   press(9),   pause(5),   chars("a"), chars("["),
                                        chars("n"), chars("o"), chars("t"), chars("h"), chars("i"), chars("n"),
                                        chars("g"), chars("]"), pause(5)};
    EXPECT_EQ(plan, want);
}

} // namespace

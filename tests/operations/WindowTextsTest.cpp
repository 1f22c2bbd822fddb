#include "operations/SendOperations.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

using namespace zendrel;

namespace {

struct TextsCase {
    const char* what;
    std::vector<std::string> children;
    const char* lines;  // joined by |
};

class WindowTextsTest : public ::testing::TestWithParam<TextsCase> {};

TEST_P(WindowTextsTest, OffersEachLineThatCouldBeLookedForOnce) {
    sim::SimDesktop desktop;
    const WindowId w = desktop.addWindow("Bank Login");
    for (const std::string& text : GetParam().children) {
        desktop.addChild(w, text);
    }
    const WindowTexts t = windowTexts(desktop, "bank login");
    EXPECT_TRUE(t.found);
    EXPECT_EQ(t.lines.join("|").toStdString(), GetParam().lines) << GetParam().what;
    // A window with nothing to offer says so: a contents text would never find it.
    EXPECT_EQ(t.message.toStdString(), t.lines.isEmpty() ? "No text could be read from the window \"bank login\", so "
                                                           "a contents text would not find it."
                                                         : "")
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WindowTextsTest,
    ::testing::Values(TextsCase{"in order", {"Enter your bank password", "OK", "Cancel"}, "Enter your bank password|OK|Cancel"},
                      TextsCase{"controls without text are left out", {"", "OK", ""}, "OK"},
                      TextsCase{"a text of several lines offers each", {"Welcome\nto your bank\r\n\n"}, "Welcome|to your bank"},
                      TextsCase{"repeated texts once, spaces around them dropped", {"  OK  ", "OK", "Help"}, "OK|Help"},
                      TextsCase{"nothing to show", {}, ""},
                      TextsCase{"only blank or empty controls", {"", "  ", "<>"}, ""}));

TEST(WindowTextsTest, WithoutAMatchingWindowOrTitleItSaysWhy) {
    sim::SimDesktop desktop;
    desktop.addChild(desktop.addWindow("Editor"), "File");
    const WindowTexts none = windowTexts(desktop, "Bank Login  ");
    EXPECT_FALSE(none.found);
    EXPECT_TRUE(none.lines.isEmpty());
    EXPECT_EQ(none.message, "The associated window does not exist (Bank Login).");
    const WindowTexts blank = windowTexts(desktop, "   ");
    EXPECT_FALSE(blank.found);
    EXPECT_EQ(blank.message, "No window title is given, so no window is looked at.");
}

} // namespace

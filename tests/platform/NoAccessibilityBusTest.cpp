#include "platform/atspi/AtspiTexts.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>

using namespace zendrel;

// A session without a session bus (this test program is started without one): every reading is empty at
// once, and nothing starts a bus of its own.
TEST(NoAccessibilityBusTest, ReadingsAreEmptyAndCostNothing) {
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    atspi::AtspiTexts texts;
    const auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        const AccessibleReading r = texts.read(getppid(), "Sign in");
        ASSERT_TRUE(r.texts.empty());
        ASSERT_FALSE(r.timedOut);
        // Known by title and application id (Wayland): nothing is read, so no contents text can pass.
        ASSERT_FALSE(texts.textsOf({"Sign in", "zenity"}));
        ASSERT_FALSE(texts.textsOf({"Sign in", ""}));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(100));
    EXPECT_FALSE(atspi::AtspiTexts::busAvailable());
}

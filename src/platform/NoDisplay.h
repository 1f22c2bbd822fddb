#pragma once

#include "platform/Desktop.h"
#include "platform/Keyboard.h"

namespace zendrel {

// What a program works with when it found no display: no windows, nothing typed. Sending says so instead
// of succeeding into nowhere.
class NoDesktop final : public Desktop {
public:
    std::vector<WindowInfo> topLevelWindows() override { return {}; }
    std::vector<WindowInfo> descendants(WindowId) override { return {}; }
    WindowId focusedWindow() override { return 0; }
    bool isWithin(WindowId, WindowId) override { return false; }
    void activate(WindowId, bool) override {}
    bool focusDirectly(WindowId) override { return false; }
    bool available() override { return false; }
};

class NoKeyboard final : public Keyboard {
public:
    void keyDown(int) override {}
    void keyUp(int) override {}
    bool capsLockOn() override { return false; }
    bool typeCharacter(char32_t) override { return false; }
    bool waitForModifiersReleased(int) override { return true; }
};

} // namespace zendrel

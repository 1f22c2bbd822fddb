#pragma once

#include <cstdint>
#include <string>

namespace zendrel {

// Virtual-key codes of the send language (the low byte of a key code).
namespace vk {
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Alt = 18;
constexpr int CapsLock = 20;
} // namespace vk

// Key-code modifier bits.
constexpr int kShiftBit = 256;
constexpr int kCtrlBit = 512;
constexpr int kAltBit = 1024;

// Synthesised keyboard input into whatever window has the focus.
class Keyboard {
public:
    virtual ~Keyboard() = default;
    // One key event of a virtual-key code (1 to 255).
    virtual void keyDown(int virtualKey) = 0;
    virtual void keyUp(int virtualKey) = 0;
    virtual bool capsLockOn() = 0;
    // Types one character as one keystroke, with the modifiers the keyboard layout needs for it; Caps Lock
    // is compensated and left as it was. Returns false when the character cannot be typed at all.
    virtual bool typeCharacter(char32_t c) = 0;
    // Waits, at most the given milliseconds, until the user holds no Shift, Ctrl, Alt or Super key.
    virtual bool waitForModifiersReleased(int timeoutMs) = 0;
    // Makes sure the events sent so far have reached the display.
    virtual void flush() {}
    // Reads the keyboard layout afresh (it may have changed since the keyboard was made).
    virtual void refresh() {}
    // The characters a text is about to type, all at once, before its first key: a keyboard that has to
    // make keys for them makes them here rather than one character at a time.
    virtual void prepare(const std::u32string& characters) {}
    // The text is typed (or stopped): whatever the keyboard changed for it is put back.
    virtual void finish() {}
};

} // namespace zendrel

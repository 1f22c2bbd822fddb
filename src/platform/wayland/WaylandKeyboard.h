#pragma once

#include "platform/Keyboard.h"
#include "platform/wayland/VirtualKeymap.h"
#include "platform/wayland/WaylandConnection.h"

#include <string>

struct wl_keyboard;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace zendrel::wayland {

// Keystrokes through the compositor's virtual-keyboard protocol. For a text, the keyboard uploads a keymap
// holding a key for each of its characters (and for the key tokens), waits until the compositor has taken
// it, types every character as one plain keystroke and afterwards puts the user's keymap back. The one
// virtual keyboard lives as long as this object: clients bind their keyboard only once a seat has one, and
// a keyboard made for each send would lose its first keys.
class WaylandKeyboard final : public Keyboard {
public:
    explicit WaylandKeyboard(WaylandConnection& connection);
    ~WaylandKeyboard() override;

    void keyDown(int virtualKey) override;
    void keyUp(int virtualKey) override;
    // The virtual keyboard's own lock state, which it keeps off while typing: the user's Caps Lock belongs to
    // the user's keyboard and changes nothing here.
    bool capsLockOn() override { return false; }
    bool typeCharacter(char32_t c) override;
    // The user's held keys are the user's keyboard's state, which Wayland shows only to the focused client.
    bool waitForModifiersReleased(int) override { return true; }
    void flush() override;
    void prepare(const std::u32string& characters) override;
    void finish() override;

    // Whether the virtual keyboard exists and the connection works.
    bool usable() const;
    // The user's keymap in xkb text, as the seat announced it before the last text (or, on a seat without a
    // keyboard of its own, as the compositor configured ours; else the default layout): what finish() puts back.
    const std::string& userKeymap() const { return m_userKeymap; }

private:
    bool ensureKeys(const std::vector<uint32_t>& keysyms);
    bool upload(const std::string& keymap);
    void sendKey(uint32_t keycode, bool down);
    void sendModifiers();
    // The keymap the seat announces to a keyboard bound now; empty when the seat has no keyboard or shows
    // a keymap of ours.
    std::string announcedKeymap();
    static void readKeymap(void* data, wl_keyboard* keyboard, uint32_t format, int32_t fd, uint32_t size);

    WaylandConnection& m_conn;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    VirtualKeymap m_keymap;
    bool m_ownKeymapActive = false;  // the compositor has m_keymap, not the user's
    uint32_t m_depressed = 0;
    std::string m_userKeymap;
};

} // namespace zendrel::wayland

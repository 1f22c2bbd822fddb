#pragma once

#include "platform/Keyboard.h"
#include "platform/x11/X11Connection.h"

#include <map>
#include <vector>

struct _XkbDesc;

namespace zendrel::x11 {

// Keystrokes through the XTest extension, typed by the keyboard layout in use: each character is looked
// up in the current XKB group with the modifiers its level needs (Shift, AltGr), Caps Lock taken into
// account; a character the layout lacks is typed on a spare keycode mapped to it for that keystroke.
class X11Keyboard final : public Keyboard {
public:
    explicit X11Keyboard(X11Connection& connection);
    ~X11Keyboard() override;

    void keyDown(int virtualKey) override;
    void keyUp(int virtualKey) override;
    bool capsLockOn() override;
    bool typeCharacter(char32_t c) override;
    bool waitForModifiersReleased(int timeoutMs) override;
    void flush() override;

    // Reads the keyboard layout afresh (after a change of layout).
    void refresh() override;
    // The keysym that types a character, 0 for none.
    static unsigned long keysymFor(char32_t c);
    // The keysym of a virtual-key code, 0 for none.
    static unsigned long keysymForVirtualKey(int virtualKey);

    // Empties the spare keycodes that a send noted as remapped and never emptied (it was killed).
    void restoreRemapped();

private:
    struct Stroke {
        unsigned char keycode = 0;
        unsigned int mods = 0;  // modifier mask to hold
    };
    bool find(unsigned long keysym, Stroke& out);
    void press(const Stroke& s);
    bool typeOnSpare(unsigned long keysym);
    unsigned char keycodeOf(unsigned long keysym);
    unsigned int lockedMods();

    X11Connection& m_conn;
    _XkbDesc* m_xkb = nullptr;
    int m_group = 0;
    unsigned int m_locked = 0;
    unsigned int m_level3Mask = 0;
    unsigned long remappedAtom();
    unsigned char m_shiftKeycode = 0;
    std::vector<unsigned char> m_modifierKeys;  // keycodes of Shift, Ctrl, Alt, Super and AltGr
    unsigned char m_level3Keycode = 0;
    std::map<unsigned long, Stroke> m_cache;
};

} // namespace zendrel::x11

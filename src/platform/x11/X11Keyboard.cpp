#include "platform/x11/X11Keyboard.h"

#include "platform/Keysyms.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <thread>
#include <vector>

namespace zendrel::x11 {

namespace {

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The level a key type gives to a set of modifiers.
int levelFor(XkbKeyTypePtr type, unsigned int mods) {
    mods &= type->mods.mask;
    for (int i = 0; i < type->map_count; ++i) {
        const XkbKTMapEntryRec& e = type->map[i];
        if (e.active && e.mods.mask == mods) {
            return e.level;
        }
    }
    return 0;
}

} // namespace

X11Keyboard::X11Keyboard(X11Connection& connection) : m_conn(connection) {
    // Keycodes a killed send left remapped are emptied before anything is typed again.
    restoreRemapped();
    refresh();
}

X11Keyboard::~X11Keyboard() {
    if (m_xkb) {
        XkbFreeKeyboard(m_xkb, XkbAllComponentsMask, True);
    }
}

void X11Keyboard::refresh() {
    Display* d = m_conn.display();
    if (m_xkb) {
        XkbFreeKeyboard(m_xkb, XkbAllComponentsMask, True);
    }
    m_xkb = XkbGetMap(d, XkbAllClientInfoMask, XkbUseCoreKbd);
    XkbStateRec state{};
    XkbGetState(d, XkbUseCoreKbd, &state);
    m_group = state.group;
    m_locked = state.locked_mods | state.latched_mods;
    m_cache.clear();
    m_shiftKeycode = XKeysymToKeycode(d, XK_Shift_L);
    m_level3Keycode = XKeysymToKeycode(d, XK_ISO_Level3_Shift);
    if (!m_level3Keycode) {
        m_level3Keycode = XKeysymToKeycode(d, XK_Mode_switch);
    }
    m_modifierKeys.clear();
    if (XModifierKeymap* map = XGetModifierMapping(d)) {
        // Shift, Control, and Mod1 to Mod5 (Alt, Super, AltGr); Lock is a state, not a held key.
        for (int mod : {ShiftMapIndex, ControlMapIndex, Mod1MapIndex, Mod2MapIndex, Mod3MapIndex, Mod4MapIndex,
                        Mod5MapIndex}) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                const KeyCode kc = map->modifiermap[mod * map->max_keypermod + k];
                if (kc && XkbKeycodeToKeysym(d, kc, 0, 0) != XK_Num_Lock) {
                    m_modifierKeys.push_back(kc);
                }
            }
        }
        XFreeModifiermap(map);
    }
    m_level3Mask = 0;
    if (m_level3Keycode) {
        XModifierKeymap* map = XGetModifierMapping(d);
        for (int mod = 0; mod < 8 && map; ++mod) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                if (map->modifiermap[mod * map->max_keypermod + k] == m_level3Keycode) {
                    m_level3Mask = 1u << mod;
                }
            }
        }
        if (map) {
            XFreeModifiermap(map);
        }
    }
}

unsigned int X11Keyboard::lockedMods() {
    XkbStateRec state{};
    XkbGetState(m_conn.display(), XkbUseCoreKbd, &state);
    const unsigned int locked = state.locked_mods | state.latched_mods;
    if (state.group != m_group || locked != m_locked) {
        m_group = state.group;
        m_locked = locked;
        m_cache.clear();
    }
    return m_locked;
}

bool X11Keyboard::capsLockOn() {
    return (lockedMods() & LockMask) != 0;
}

unsigned long X11Keyboard::keysymFor(char32_t c) {
    return keysymForCharacter(c);
}

unsigned long X11Keyboard::keysymForVirtualKey(int virtualKey) {
    return zendrel::keysymForVirtualKey(virtualKey);
}

unsigned char X11Keyboard::keycodeOf(unsigned long keysym) {
    Stroke s;
    if (find(keysym, s)) {
        return s.keycode;
    }
    return XKeysymToKeycode(m_conn.display(), keysym);
}

bool X11Keyboard::find(unsigned long keysym, Stroke& out) {
    auto it = m_cache.find(keysym);
    if (it != m_cache.end()) {
        out = it->second;
        return out.keycode != 0;
    }
    Stroke best;
    int bestCost = 99;
    if (m_xkb && m_xkb->map) {
        const unsigned int shift = ShiftMask;
        const unsigned int l3 = m_level3Mask;
        const unsigned int candidates[] = {0, shift, l3, shift | l3};
        for (int kc = m_xkb->min_key_code; kc <= m_xkb->max_key_code && bestCost > 0; ++kc) {
            const int groups = XkbKeyNumGroups(m_xkb, kc);
            if (groups == 0) {
                continue;
            }
            const int group = m_group < groups ? m_group : 0;
            XkbKeyTypePtr type = XkbKeyKeyType(m_xkb, kc, group);
            const int width = XkbKeyGroupWidth(m_xkb, kc, group);
            for (int level = 0; level < width; ++level) {
                if (XkbKeySymEntry(m_xkb, kc, level, group) != keysym) {
                    continue;
                }
                // The modifiers to hold so that, with the locked ones (Caps Lock), the key gives this level.
                for (int c = 0; c < 4; ++c) {
                    const unsigned int mods = candidates[c];
                    if ((mods & l3) && !l3) {
                        continue;
                    }
                    if (levelFor(type, mods | m_locked) == level) {
                        const int cost = (mods & shift ? 1 : 0) + (mods & l3 ? 2 : 0);
                        if (cost < bestCost) {
                            bestCost = cost;
                            best = {static_cast<unsigned char>(kc), mods};
                        }
                        break;
                    }
                }
            }
        }
    }
    m_cache[keysym] = best;
    out = best;
    return best.keycode != 0;
}

void X11Keyboard::press(const Stroke& s) {
    Display* d = m_conn.display();
    if ((s.mods & ShiftMask) && m_shiftKeycode) {
        XTestFakeKeyEvent(d, m_shiftKeycode, True, CurrentTime);
    }
    if ((s.mods & m_level3Mask) && m_level3Mask && m_level3Keycode) {
        XTestFakeKeyEvent(d, m_level3Keycode, True, CurrentTime);
    }
    XTestFakeKeyEvent(d, s.keycode, True, CurrentTime);
    XTestFakeKeyEvent(d, s.keycode, False, CurrentTime);
    if ((s.mods & m_level3Mask) && m_level3Mask && m_level3Keycode) {
        XTestFakeKeyEvent(d, m_level3Keycode, False, CurrentTime);
    }
    if ((s.mods & ShiftMask) && m_shiftKeycode) {
        XTestFakeKeyEvent(d, m_shiftKeycode, False, CurrentTime);
    }
}

bool X11Keyboard::typeOnSpare(unsigned long keysym) {
    Display* d = m_conn.display();
    int minKey = 0;
    int maxKey = 0;
    XDisplayKeycodes(d, &minKey, &maxKey);
    int perKey = 0;
    KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(minKey), maxKey - minKey + 1, &perKey);
    if (!map) {
        return false;
    }
    int spare = 0;
    for (int kc = maxKey; kc >= minKey && spare == 0; --kc) {
        bool empty = true;
        for (int i = 0; i < perKey; ++i) {
            empty = empty && map[(kc - minKey) * perKey + i] == NoSymbol;
        }
        if (empty) {
            spare = kc;
        }
    }
    XFree(map);
    if (spare == 0 || perKey <= 0) {
        return false;
    }
    flush();
    // The keycode is noted on the root window before it is remapped: a program killed before it empties
    // the keycode again leaves the note, and the next keyboard of any Zendrel program empties it.
    const unsigned char noted = static_cast<unsigned char>(spare);
    XChangeProperty(d, DefaultRootWindow(d), remappedAtom(), XA_INTEGER, 8, PropModeAppend, &noted, 1);
    std::vector<KeySym> syms(static_cast<size_t>(perKey), keysym);
    XChangeKeyboardMapping(d, spare, perKey, syms.data(), 1);
    XSync(d, False);
    // Caps Lock would turn a lower-case letter on this key into a capital: switch it off for the
    // keystroke and back on after it.
    const bool caps = (lockedMods() & LockMask) != 0;
    if (caps) {
        XkbLockModifiers(d, XkbUseCoreKbd, LockMask, 0);
    }
    XTestFakeKeyEvent(d, static_cast<unsigned int>(spare), True, CurrentTime);
    XTestFakeKeyEvent(d, static_cast<unsigned int>(spare), False, CurrentTime);
    if (caps) {
        XkbLockModifiers(d, XkbUseCoreKbd, LockMask, LockMask);
    }
    XSync(d, False);
    // The receiving program reads the mapping when it handles the keystroke; give it the time to do so
    // before the keycode is emptied again.
    pause(40);
    std::fill(syms.begin(), syms.end(), NoSymbol);
    XChangeKeyboardMapping(d, spare, perKey, syms.data(), 1);
    XDeleteProperty(d, DefaultRootWindow(d), remappedAtom());
    XSync(d, False);
    return true;
}

unsigned long X11Keyboard::remappedAtom() {
    return XInternAtom(m_conn.display(), "_ZENDREL_REMAPPED_KEYCODES", False);
}

void X11Keyboard::restoreRemapped() {
    Display* d = m_conn.display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, DefaultRootWindow(d), remappedAtom(), 0, 256, True, XA_INTEGER, &type, &format, &count,
                           &after, &data) != Success ||
        !data) {
        return;
    }
    int minKey = 0;
    int maxKey = 0;
    XDisplayKeycodes(d, &minKey, &maxKey);
    for (unsigned long i = 0; format == 8 && i < count; ++i) {
        const int kc = data[i];
        if (kc < minKey || kc > maxKey) {
            continue;
        }
        int perKey = 0;
        KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(kc), 1, &perKey);
        if (!map) {
            continue;
        }
        // Emptied only while it holds what a send put there (one keysym, on whichever levels the server
        // reports it), never a key someone has mapped otherwise since.
        KeySym only = NoSymbol;
        bool ours = true;
        for (int l = 0; l < perKey; ++l) {
            if (map[l] == NoSymbol) {
                continue;
            }
            ours = ours && (only == NoSymbol || map[l] == only);
            only = map[l];
        }
        ours = ours && only != NoSymbol;
        XFree(map);
        if (ours) {
            std::vector<KeySym> none(static_cast<size_t>(perKey), NoSymbol);
            XChangeKeyboardMapping(d, kc, perKey, none.data(), 1);
        }
    }
    XFree(data);
    XSync(d, False);
}

void X11Keyboard::keyDown(int virtualKey) {
    const unsigned long ks = keysymForVirtualKey(virtualKey);
    const unsigned char kc = ks ? XKeysymToKeycode(m_conn.display(), ks) : 0;
    if (kc) {
        XTestFakeKeyEvent(m_conn.display(), kc, True, CurrentTime);
        if (virtualKey == vk::CapsLock) {
            m_cache.clear();
        }
    }
}

void X11Keyboard::keyUp(int virtualKey) {
    const unsigned long ks = keysymForVirtualKey(virtualKey);
    const unsigned char kc = ks ? XKeysymToKeycode(m_conn.display(), ks) : 0;
    if (kc) {
        XTestFakeKeyEvent(m_conn.display(), kc, False, CurrentTime);
        if (virtualKey == vk::CapsLock) {
            flush();
            lockedMods();
        }
    }
}

bool X11Keyboard::typeCharacter(char32_t c) {
    const unsigned long ks = keysymFor(c);
    if (ks == 0) {
        return false;
    }
    Stroke s;
    if (find(ks, s)) {
        press(s);
        return true;
    }
    return typeOnSpare(ks);
}

bool X11Keyboard::waitForModifiersReleased(int timeoutMs) {
    // Asked before every group and key of a send: the keys that are modifiers come from the last refresh.
    Display* d = m_conn.display();
    const std::vector<unsigned char>& keys = m_modifierKeys;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        char down[32] = {};
        XQueryKeymap(d, down);
        bool held = false;
        for (unsigned char kc : keys) {
            held = held || (down[kc / 8] & (1 << (kc % 8)));
        }
        if (!held) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        pause(20);
    }
}

void X11Keyboard::flush() {
    XFlush(m_conn.display());
}

} // namespace zendrel::x11

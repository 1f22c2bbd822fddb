#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace zendrel::wayland {

// The keymap of Zendrel's own virtual keyboard: one key per keysym to be typed, so that every character is
// one plain keystroke whatever the user's layout, with Shift, Control and Alt on keys of their own and a key
// for every key token, for the tokens' combinations. The keyboard keeps its Caps Lock off while typing (a
// locked Caps Lock would make clients capitalize). Keycodes stay within 8 to 255, the range every client (XWayland too) reads.
class VirtualKeymap {
public:
    static constexpr uint32_t kFirstKeycode = 9;
    static constexpr uint32_t kLastKeycode = 255;
    // The real modifiers' masks in every keymap: Shift, Control and Mod1 (Alt).
    static constexpr uint32_t kShiftMask = 1u << 0;
    static constexpr uint32_t kControlMask = 1u << 2;
    static constexpr uint32_t kAltMask = 1u << 3;

    VirtualKeymap();

    // The keycode (xkb numbering) of a keysym, 0 when the keymap has no key for it.
    uint32_t keycodeOf(uint32_t keysym) const;
    // Gives each keysym a key of its own if it has none yet. False when they do not all fit; then nothing
    // is added.
    bool add(const std::vector<uint32_t>& keysyms);
    // Back to the modifier keys and the key tokens' keys alone.
    void reset();
    // How many more keysyms fit.
    size_t room() const { return kLastKeycode - kFirstKeycode + 1 - m_keysyms.size(); }
    // The modifier mask that a modifier key's keysym sets, 0 for other keysyms.
    static uint32_t maskOf(uint32_t keysym);

    // The keymap in the xkb text format, as the virtual-keyboard protocol takes it.
    std::string text() const;
    // The name of its keycodes section: how a keymap that came back from the compositor is told to be ours.
    static const char* sectionName() { return "zendrel-virtual-keys"; }

private:
    std::vector<uint32_t> m_keysyms;  // index + kFirstKeycode is the keycode
    std::unordered_map<uint32_t, uint32_t> m_keycodes;
};

} // namespace zendrel::wayland

#include "platform/wayland/VirtualKeymap.h"

#include "platform/Keysyms.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <iterator>
#include <unordered_set>

namespace zendrel::wayland {

namespace {

constexpr uint32_t kModifierKeysyms[] = {XKB_KEY_Shift_L, XKB_KEY_Control_L, XKB_KEY_Alt_L};

std::string nameOf(uint32_t keysym) {
    char name[64];
    if (xkb_keysym_get_name(keysym, name, sizeof name) <= 0) {
        return "NoSymbol";
    }
    return name;
}

} // namespace

VirtualKeymap::VirtualKeymap() {
    reset();
}

void VirtualKeymap::reset() {
    m_keysyms.clear();
    m_keycodes.clear();
    add({std::begin(kModifierKeysyms), std::end(kModifierKeysyms)});
    // Every key a key token names is there from the start: a keymap changed between a modifier's press and
    // the key it modifies would lose the combination.
    std::vector<uint32_t> tokens;
    for (int vk = 1; vk < 256; ++vk) {
        tokens.push_back(static_cast<uint32_t>(keysymForVirtualKey(vk)));
    }
    add(tokens);
}

uint32_t VirtualKeymap::keycodeOf(uint32_t keysym) const {
    const auto it = m_keycodes.find(keysym);
    return it == m_keycodes.end() ? 0 : it->second;
}

bool VirtualKeymap::add(const std::vector<uint32_t>& keysyms) {
    std::vector<uint32_t> fresh;
    std::unordered_set<uint32_t> seen;
    for (const uint32_t k : keysyms) {
        if (k != 0 && !m_keycodes.count(k) && seen.insert(k).second) {
            fresh.push_back(k);
        }
    }
    if (fresh.size() > room()) {
        return false;
    }
    for (const uint32_t k : fresh) {
        m_keycodes[k] = kFirstKeycode + static_cast<uint32_t>(m_keysyms.size());
        m_keysyms.push_back(k);
    }
    return true;
}

uint32_t VirtualKeymap::maskOf(uint32_t keysym) {
    switch (keysym) {
    case XKB_KEY_Shift_L:
        return kShiftMask;
    case XKB_KEY_Control_L:
        return kControlMask;
    case XKB_KEY_Alt_L:
        return kAltMask;
    default:
        return 0;
    }
}

std::string VirtualKeymap::text() const {
    std::string t = "xkb_keymap {\n";
    t += std::string("xkb_keycodes \"") + sectionName() + "\" {\n";
    t += "minimum = 8;\nmaximum = " + std::to_string(kLastKeycode) + ";\n";
    for (size_t i = 0; i < m_keysyms.size(); ++i) {
        const std::string code = std::to_string(kFirstKeycode + i);
        t += "<K" + code + "> = " + code + ";\n";
    }
    t += "};\n";
    t += "xkb_types \"zendrel\" { include \"complete\" };\n";
    t += "xkb_compatibility \"zendrel\" { include \"complete\" };\n";
    t += "xkb_symbols \"zendrel\" {\n";
    for (size_t i = 0; i < m_keysyms.size(); ++i) {
        const uint32_t k = m_keysyms[i];
        const std::string key = "key <K" + std::to_string(kFirstKeycode + i) + "> { ";
        if (k >= XKB_KEY_a && k <= XKB_KEY_z) {
            // A letter's key gives its capital with Shift, as a key token such as [+a] means.
            t += key + "type = \"TWO_LEVEL\", [ " + nameOf(k) + ", " + nameOf(k - XKB_KEY_a + XKB_KEY_A) + " ] };\n";
        } else {
            // Every other key types its one character, Shift or not.
            t += key + "type = \"ONE_LEVEL\", [ " + nameOf(k) + " ] };\n";
        }
    }
    t += "modifier_map Shift { <K" + std::to_string(keycodeOf(XKB_KEY_Shift_L)) + "> };\n";
    t += "modifier_map Control { <K" + std::to_string(keycodeOf(XKB_KEY_Control_L)) + "> };\n";
    t += "modifier_map Mod1 { <K" + std::to_string(keycodeOf(XKB_KEY_Alt_L)) + "> };\n";
    t += "};\n};\n";
    return t;
}

} // namespace zendrel::wayland

#include "platform/sim/SimKeyboard.h"

#include "platform/sim/SimDesktop.h"

#include <cstring>
#include <map>

namespace zendrel::sim {

namespace {

// US layout: the unshifted and shifted characters of the punctuation keys.
struct Punct {
    int vk;
    char plain;
    char shifted;
};
constexpr Punct kPunct[] = {{0xBA, ';', ':'},  {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'},
                            {0xBE, '.', '>'},  {0xBF, '/', '?'}, {0xC0, '`', '~'}, {0xDB, '[', '{'},
                            {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'}};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

const std::map<int, const char*>& keyNames() {
    static const std::map<int, const char*> names = {
        {1, "MouseLeft"}, {2, "MouseRight"}, {3, "MouseCenter"}, {5, "MouseLeft2"}, {6, "MouseRight2"},
        {7, "MouseCenter2"}, {8, "BS"}, {9, "Tab"}, {13, "Enter"}, {19, "Pause"}, {20, "CapsLock"}, {27, "Esc"}, {33, "PgUp"},
        {34, "PgDn"}, {35, "End"}, {36, "Home"}, {37, "Left"}, {38, "Up"}, {39, "Right"}, {40, "Down"},
        {44, "Print"}, {45, "Insert"}, {46, "Delete"}, {106, "Pad*"}, {107, "Pad+"}, {109, "Pad-"},
        {110, "Pad."}, {111, "Pad/"}};
    return names;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

SimKeyboard::SimKeyboard(Clock* clock, SimDesktop* desktop) : m_clock(clock), m_desktop(desktop) {}

bool SimKeyboard::isShiftedCharacter(char32_t c) {
    return c < 128 && c != 0 && std::strchr("~!@%^&*()_+|{}:\"<>?$#", static_cast<int>(c)) != nullptr;
}

int SimKeyboard::virtualKeyOf(char32_t c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<int>(c - 'a' + 'A');
    }
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') {
        return static_cast<int>(c);
    }
    if (c == '\t') {
        return 9;
    }
    if (c == '\r' || c == '\n') {
        return 13;
    }
    if (c == '\b') {
        return 8;
    }
    if (c == 27) {
        return 27;
    }
    for (int d = 0; d < 10; ++d) {
        if (c == static_cast<char32_t>(kShiftedDigits[d])) {
            return '0' + d;
        }
    }
    for (const auto& p : kPunct) {
        if (c == static_cast<char32_t>(p.plain) || c == static_cast<char32_t>(p.shifted)) {
            return p.vk;
        }
    }
    return 255;
}

void SimKeyboard::record(int vk, bool down) {
    m_events.push_back(
        {vk, down, m_clock ? m_clock->monotonic() : 0, m_desktop ? m_desktop->focusedWindow() : 0, m_caps});
    for (auto& [n, action] : m_triggers) {
        if (n == m_events.size() && action) {
            auto a = std::move(action);
            action = nullptr;
            a();
        }
    }
}

void SimKeyboard::keyDown(int virtualKey) {
    if (virtualKey == vk::CapsLock) {
        m_caps = !m_caps;
    }
    record(virtualKey, true);
}

void SimKeyboard::keyUp(int virtualKey) {
    record(virtualKey, false);
}

bool SimKeyboard::typeCharacter(char32_t c) {
    // The Shift decision of the Windows model: letters compensate Caps Lock; other characters take
    // Shift exactly when they are in the fixed set.
    bool shift = false;
    const bool lower = c >= 'a' && c <= 'z';
    const bool upper = c >= 'A' && c <= 'Z';
    if (lower || upper) {
        shift = (lower && m_caps) || (upper && !m_caps);
    } else {
        shift = isShiftedCharacter(c);
    }
    if (shift) {
        keyDown(vk::Shift);
    }
    const int key = virtualKeyOf(c);
    keyDown(key);
    keyUp(key);
    if (shift) {
        keyUp(vk::Shift);
    }
    return key != 255;
}

bool SimKeyboard::waitForModifiersReleased(int timeoutMs) {
    if (!m_clock) {
        return m_heldUntil < 0;
    }
    const int64_t deadline = m_clock->monotonic() + timeoutMs / 10;
    while (m_clock->monotonic() < m_heldUntil) {
        if (m_clock->monotonic() >= deadline) {
            return false;
        }
        m_clock->sleep(1);
    }
    return true;
}

std::string SimKeyboard::trace() const {
    std::string out;
    for (const auto& e : m_events) {
        if (!out.empty()) {
            out += ' ';
        }
        out += (e.down ? "Dn" : "Up") + std::to_string(e.vk);
    }
    return out;
}

std::string SimKeyboard::render(WindowId window, bool filter) const {
    std::string out;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    for (const auto& e : m_events) {
        const bool caps = e.caps;
        if (e.vk == vk::Shift) {
            shift = e.down;
            continue;
        }
        if (e.vk == vk::Control) {
            ctrl = e.down;
            continue;
        }
        if (e.vk == vk::Alt) {
            alt = e.down;
            continue;
        }
        if (!e.down) {
            continue;
        }
        if (filter && e.window != window) {
            continue;
        }
        char32_t c = 0;
        if (e.vk >= 'A' && e.vk <= 'Z') {
            c = (shift != caps) ? static_cast<char32_t>(e.vk) : static_cast<char32_t>(e.vk + 32);
        } else if (e.vk >= '0' && e.vk <= '9') {
            c = shift ? static_cast<char32_t>(kShiftedDigits[e.vk - '0']) : static_cast<char32_t>(e.vk);
        } else if (e.vk == ' ') {
            c = ' ';
        } else if (e.vk == 9) {
            c = '\t';
        } else if (e.vk == 13) {
            c = '\n';
        } else if (e.vk >= 96 && e.vk <= 105) {
            c = static_cast<char32_t>('0' + e.vk - 96);
        } else {
            for (const auto& p : kPunct) {
                if (e.vk == p.vk) {
                    c = static_cast<char32_t>(shift ? p.shifted : p.plain);
                }
            }
        }
        if (shift && (e.vk == 9 || e.vk == 13)) {
            c = 0;  // Shift+Tab and Shift+Enter are keys of their own, not characters
        }
        if ((ctrl || alt) || c == 0) {
            std::string name;
            if (ctrl) {
                name += "Ctrl+";
            }
            if (alt) {
                name += "Alt+";
            }
            if (shift && (ctrl || alt || c == 0)) {
                name += "Shift+";
            }
            if (e.vk >= 'A' && e.vk <= 'Z') {
                name += static_cast<char>(e.vk);
            } else if (e.vk >= 112 && e.vk <= 123) {
                name += "F" + std::to_string(e.vk - 111);
            } else if (keyNames().count(e.vk)) {
                name += keyNames().at(e.vk);
            } else if (c != 0) {
                appendUtf8(name, c);
            } else {
                name += "vk" + std::to_string(e.vk);
            }
            out += "<" + name + ">";
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

} // namespace zendrel::sim

#include "platform/wayland/WaylandKeyboard.h"

#include "platform/Keysyms.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace zendrel::wayland {

namespace {

uint32_t nowMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The keymap a keyboard of the user's default layout has ($XKB_DEFAULT_LAYOUT and the like, else us).
std::string defaultKeymap() {
    std::string text;
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) {
        return text;
    }
    if (xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
        if (char* s = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1)) {
            text = s;
            std::free(s);
        }
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return text;
}

// A keymap handed over as a file descriptor: a memfd the size of the text and the text in it.
int keymapFile(const std::string& keymap) {
    const int fd = memfd_create("zendrel-keymap", MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    size_t done = 0;
    while (done < keymap.size() + 1) {
        const ssize_t n = write(fd, keymap.c_str() + done, keymap.size() + 1 - done);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return fd;
}

} // namespace

WaylandKeyboard::WaylandKeyboard(WaylandConnection& connection) : m_conn(connection) {
    m_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(m_conn.bindVirtualKeyboardManager());
    if (!m_manager || !m_conn.seat()) {
        return;
    }
    // The user's keymap, while the seat's keyboard is still the user's.
    m_userKeymap = announcedKeymap();
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_conn.seat());
    if (m_userKeymap.empty() && m_conn.roundtrip()) {
        // A seat without a keyboard: the compositor gives the new one the layout of its own configuration
        // (sway's "input * xkb_layout"), which the seat now announces.
        m_userKeymap = announcedKeymap();
    }
    if (m_userKeymap.empty()) {
        m_userKeymap = defaultKeymap();
    }
    // A virtual keyboard takes no key before its first keymap.
    upload(m_userKeymap.empty() ? m_keymap.text() : m_userKeymap);
    m_ownKeymapActive = m_userKeymap.empty();
}

WaylandKeyboard::~WaylandKeyboard() {
    if (m_keyboard) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    }
    if (m_manager) {
        zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    }
    wl_display_flush(m_conn.display());
}

std::string WaylandKeyboard::announcedKeymap() {
    std::string keymap;
    if (!m_conn.seatHasKeyboard()) {
        return keymap;
    }
    static const wl_keyboard_listener listener = {
        &WaylandKeyboard::readKeymap,
        [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
        [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
        [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {},
        [](void*, wl_keyboard*, int32_t, int32_t) {},
    };
    wl_keyboard* seatKeyboard = wl_seat_get_keyboard(m_conn.seat());
    wl_keyboard_add_listener(seatKeyboard, &listener, &keymap);
    m_conn.roundtrip();
    // Asked for again with every text: released, not only forgotten here.
    if (wl_keyboard_get_version(seatKeyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(seatKeyboard);
    } else {
        wl_keyboard_destroy(seatKeyboard);
    }
    return keymap;
}

void WaylandKeyboard::readKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    auto* keymap = static_cast<std::string*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            std::string text(static_cast<const char*>(map), strnlen(static_cast<const char*>(map), size));
            // A keymap of ours that the seat still shows is no user's keymap.
            if (text.find(VirtualKeymap::sectionName()) == std::string::npos) {
                *keymap = std::move(text);
            }
            munmap(map, size);
        }
    }
    close(fd);
}

bool WaylandKeyboard::usable() const {
    return m_keyboard && wl_display_get_error(m_conn.display()) == 0;
}

bool WaylandKeyboard::upload(const std::string& keymap) {
    const int fd = keymapFile(keymap);
    if (fd < 0) {
        return false;
    }
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<uint32_t>(keymap.size() + 1));
    close(fd);
    // Keys sent right after a new keymap can be lost: the compositor must have taken it first.
    return m_conn.roundtrip();
}

bool WaylandKeyboard::ensureKeys(const std::vector<uint32_t>& keysyms) {
    if (!usable()) {
        return false;
    }
    if (!m_ownKeymapActive) {
        // The keymap to put back afterwards is the user's as it is now: the layout may have changed since.
        if (std::string now = announcedKeymap(); !now.empty()) {
            m_userKeymap = std::move(now);
        }
    }
    bool missing = !m_ownKeymapActive;
    for (const uint32_t k : keysyms) {
        missing = missing || m_keymap.keycodeOf(k) == 0;
    }
    if (!missing) {
        return true;
    }
    if (!m_keymap.add(keysyms)) {
        // The keymap is full: start afresh with the keys needed now (and those of held modifiers).
        m_keymap.reset();
        if (!m_keymap.add(keysyms)) {
            return false;
        }
    }
    m_ownKeymapActive = upload(m_keymap.text());
    // A lock or a modifier left by another keyboard's state must not change the keys typed.
    sendModifiers();
    return m_ownKeymapActive;
}

void WaylandKeyboard::sendKey(uint32_t keycode, bool down) {
    zwp_virtual_keyboard_v1_key(m_keyboard, nowMs(), keycode - 8,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void WaylandKeyboard::sendModifiers() {
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, m_depressed, 0, 0, 0);
}

void WaylandKeyboard::prepare(const std::u32string& characters) {
    std::vector<uint32_t> keysyms;
    for (const char32_t c : characters) {
        if (const uint32_t k = static_cast<uint32_t>(keysymForCharacter(c))) {
            keysyms.push_back(k);
        }
    }
    // More different characters than keys: the first ones now, the others when they come.
    std::vector<uint32_t> now;
    VirtualKeymap probe = m_keymap;
    for (const uint32_t k : keysyms) {
        if (probe.keycodeOf(k) == 0 && !probe.add({k})) {
            break;
        }
        now.push_back(k);
    }
    ensureKeys(now);
}

void WaylandKeyboard::finish() {
    if (!usable()) {
        return;
    }
    if (m_depressed != 0) {
        // Modifiers a stopped text left down are let go.
        for (const uint32_t k : {0xffe1u, 0xffe3u, 0xffe9u}) {
            if (m_depressed & VirtualKeymap::maskOf(k)) {
                sendKey(m_keymap.keycodeOf(k), false);
            }
        }
        m_depressed = 0;
        sendModifiers();
    }
    if (m_ownKeymapActive && !m_userKeymap.empty()) {
        m_ownKeymapActive = !upload(m_userKeymap);
    }
    m_keymap.reset();
}

bool WaylandKeyboard::typeCharacter(char32_t c) {
    const uint32_t keysym = static_cast<uint32_t>(keysymForCharacter(c));
    if (keysym == 0 || !ensureKeys({keysym})) {
        return false;
    }
    const uint32_t keycode = m_keymap.keycodeOf(keysym);
    sendKey(keycode, true);
    sendKey(keycode, false);
    return true;
}

void WaylandKeyboard::keyDown(int virtualKey) {
    const uint32_t keysym = static_cast<uint32_t>(keysymForVirtualKey(virtualKey));
    if (keysym == 0 || !ensureKeys({keysym})) {
        return;
    }
    sendKey(m_keymap.keycodeOf(keysym), true);
    if (const uint32_t mask = VirtualKeymap::maskOf(keysym)) {
        m_depressed |= mask;
        sendModifiers();
    }
}

void WaylandKeyboard::keyUp(int virtualKey) {
    const uint32_t keysym = static_cast<uint32_t>(keysymForVirtualKey(virtualKey));
    if (keysym == 0 || !ensureKeys({keysym})) {
        return;
    }
    sendKey(m_keymap.keycodeOf(keysym), false);
    if (const uint32_t mask = VirtualKeymap::maskOf(keysym)) {
        m_depressed &= ~mask;
        sendModifiers();
    }
}

void WaylandKeyboard::flush() {
    if (m_keyboard) {
        wl_display_flush(m_conn.display());
    }
}

} // namespace zendrel::wayland

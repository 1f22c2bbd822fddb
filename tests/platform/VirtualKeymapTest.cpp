// The virtual keyboard's keymap, compiled by xkbcommon as a compositor and its clients compile it.
#include "platform/Keysyms.h"
#include "platform/wayland/VirtualKeymap.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

using zendrel::wayland::VirtualKeymap;

namespace {

struct Compiled {
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                       &xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, &xkb_keymap_unref};
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state{nullptr, &xkb_state_unref};

    explicit Compiled(const std::string& text) {
        keymap.reset(xkb_keymap_new_from_string(context.get(), text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (keymap) {
            state.reset(xkb_state_new(keymap.get()));
        }
    }
    // The text a client makes of one keycode under the given modifiers.
    std::u32string typed(uint32_t keycode, uint32_t depressed = 0, uint32_t locked = 0) {
        xkb_state_update_mask(state.get(), depressed, 0, locked, 0, 0, 0);
        return {static_cast<char32_t>(xkb_state_key_get_utf32(state.get(), keycode))};
    }
};

TEST(VirtualKeymap, EveryCharacterOfATextIsOnePlainKeyOfTheCompiledKeymap) {
    const std::u32string text = U"aZ09 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~ öÄß€@東京ŁØ";
    VirtualKeymap map;
    std::vector<uint32_t> keysyms;
    for (const char32_t c : text) {
        keysyms.push_back(static_cast<uint32_t>(zendrel::keysymForCharacter(c)));
    }
    ASSERT_TRUE(map.add(keysyms));
    Compiled compiled(map.text());
    ASSERT_TRUE(compiled.keymap) << map.text();
    for (const char32_t c : text) {
        const uint32_t keycode = map.keycodeOf(static_cast<uint32_t>(zendrel::keysymForCharacter(c)));
        ASSERT_NE(keycode, 0u);
        EXPECT_EQ(compiled.typed(keycode), std::u32string(1, c)) << static_cast<uint32_t>(c);
    }
}

TEST(VirtualKeymap, TheModifierKeysSetTheirModifiersAndShiftCapitalizesOnlyLetters) {
    VirtualKeymap map;
    ASSERT_TRUE(map.add({'a', '1', 0xf6}));
    Compiled compiled(map.text());
    ASSERT_TRUE(compiled.keymap);
    struct Case {
        uint32_t keysym;
        uint32_t mask;
        const char* modifier;
    };
    for (const Case& c : {Case{XKB_KEY_Shift_L, VirtualKeymap::kShiftMask, XKB_MOD_NAME_SHIFT},
                          Case{XKB_KEY_Control_L, VirtualKeymap::kControlMask, XKB_MOD_NAME_CTRL},
                          Case{XKB_KEY_Alt_L, VirtualKeymap::kAltMask, XKB_MOD_NAME_ALT}}) {
        EXPECT_EQ(VirtualKeymap::maskOf(c.keysym), c.mask);
        xkb_state* state = xkb_state_new(compiled.keymap.get());
        xkb_state_update_key(state, map.keycodeOf(c.keysym), XKB_KEY_DOWN);
        EXPECT_EQ(xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED), c.mask) << c.modifier;
        EXPECT_EQ(1u << xkb_keymap_mod_get_index(compiled.keymap.get(), c.modifier), c.mask) << c.modifier;
        xkb_state_unref(state);
    }
    // [+a] is a capital A; a character typed is itself whatever else is held.
    EXPECT_EQ(compiled.typed(map.keycodeOf('a'), VirtualKeymap::kShiftMask), U"A");
    EXPECT_EQ(compiled.typed(map.keycodeOf('a')), U"a");
    EXPECT_EQ(compiled.typed(map.keycodeOf('1'), VirtualKeymap::kShiftMask), U"1");
    EXPECT_EQ(compiled.typed(map.keycodeOf(0xf6), VirtualKeymap::kShiftMask), U"\u00f6");
}

TEST(VirtualKeymap, KeysStayWhereTheyAreAndAFullKeymapRefusesWhole) {
    VirtualKeymap map;
    ASSERT_TRUE(map.add({0x1004e01, 0x1004e02, 0x1004e01}));
    const uint32_t x = map.keycodeOf(0x1004e01);
    ASSERT_TRUE(map.add({0x1004e03, 0x1004e01}));
    EXPECT_EQ(map.keycodeOf(0x1004e01), x) << "a key already made keeps its keycode";
    EXPECT_NE(map.keycodeOf(0x1004e03), map.keycodeOf(0x1004e02));

    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < map.room(); ++i) {
        many.push_back(0x1005000 + i);  // CJK ideographs
    }
    ASSERT_TRUE(map.add(many));
    EXPECT_EQ(map.room(), 0u);
    EXPECT_EQ(map.keycodeOf(many.back()), VirtualKeymap::kLastKeycode);
    EXPECT_FALSE(map.add({0xe9, 0x1004e01}));
    EXPECT_EQ(map.keycodeOf(0xe9), 0u) << "nothing of a refused set is added";
    EXPECT_TRUE(Compiled(map.text()).keymap) << "a full keymap still compiles";

    map.reset();
    EXPECT_EQ(map.keycodeOf(0x1004e01), 0u);
    EXPECT_NE(map.keycodeOf(XKB_KEY_Shift_L), 0u) << "the modifier keys stay";
    for (const int vk : {9, 13, int('V'), int('7'), 112, 46}) {
        EXPECT_NE(map.keycodeOf(static_cast<uint32_t>(zendrel::keysymForVirtualKey(vk))), 0u)
            << "the key tokens' keys stay: " << vk;
    }
}

} // namespace

#include "platform/Keysyms.h"

// Only the keysym numbers: the same in X11 and in xkbcommon keymaps.
#include <X11/keysym.h>

namespace zendrel {

unsigned long keysymForCharacter(char32_t c) {
    switch (c) {
    case '\n':
    case '\r':
        return XK_Return;
    case '\t':
        return XK_Tab;
    case '\b':
        return XK_BackSpace;
    case 27:
        return XK_Escape;
    default:
        break;
    }
    if (c < 0x20 || c == 0x7f || (c >= 0xd800 && c < 0xe000) || c > 0x10ffff) {
        return 0;
    }
    if (c <= 0xff) {
        return c;  // Latin-1 keysyms are the characters' own codes
    }
    return 0x01000000 + c;
}

unsigned long keysymForVirtualKey(int virtualKey) {
    const int v = virtualKey & 255;
    if (v >= 'A' && v <= 'Z') {
        return XK_a + (v - 'A');
    }
    if (v >= '0' && v <= '9') {
        return XK_0 + (v - '0');
    }
    if (v >= 96 && v <= 105) {
        return XK_KP_0 + (v - 96);
    }
    if (v >= 112 && v <= 123) {
        return XK_F1 + (v - 112);
    }
    switch (v) {
    case 8: return XK_BackSpace;
    case 9: return XK_Tab;
    case 13: return XK_Return;
    case 16: return XK_Shift_L;
    case 17: return XK_Control_L;
    case 18: return XK_Alt_L;
    case 19: return XK_Pause;
    case 20: return XK_Caps_Lock;
    case 27: return XK_Escape;
    case 32: return XK_space;
    case 33: return XK_Prior;
    case 34: return XK_Next;
    case 35: return XK_End;
    case 36: return XK_Home;
    case 37: return XK_Left;
    case 38: return XK_Up;
    case 39: return XK_Right;
    case 40: return XK_Down;
    case 44: return XK_Print;
    case 45: return XK_Insert;
    case 46: return XK_Delete;
    case 106: return XK_KP_Multiply;
    case 107: return XK_KP_Add;
    case 109: return XK_KP_Subtract;
    case 110: return XK_KP_Decimal;
    case 111: return XK_KP_Divide;
    default:
        return 0;  // the mouse codes and unknown codes make no keyboard event here
    }
}

} // namespace zendrel

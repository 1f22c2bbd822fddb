#pragma once

namespace zendrel {

// Keysyms (the numbers X11 and xkbcommon share) of what the send language types.

// The keysym that types a character: Tab, Return, BackSpace and Escape for their control characters, the
// character's own keysym otherwise; 0 for a character no key can type.
unsigned long keysymForCharacter(char32_t c);
// The keysym of a virtual-key code (the low byte of a key code), 0 for none.
unsigned long keysymForVirtualKey(int virtualKey);

} // namespace zendrel

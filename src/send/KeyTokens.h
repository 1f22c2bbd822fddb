#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace zendrel {

struct KeyResolution {
    int code = 0;         // virtual-key code with the modifier bits 256, 512, 1024; 0 when no key
    bool waited = false;  // the token was a wait token and its wait is done
};

// Resolves the text between brackets into a key code: modifier prefixes "+", "^", "%", the words
// CTRL, ALT and SHIFT, the key-name table, and WAIT tokens, whose wait `wait` performs (hundredths).
KeyResolution resolveKeyToken(const QString& token, const std::function<void(int64_t)>& wait);

// The code of a key name of the table ("TAB", "F5", "PAD3"), 0 when it names no key.
int keyNameCode(const QString& upperName);

// The key names, in the order of the table, for the list shown to the user.
QStringList keyNames();

} // namespace zendrel

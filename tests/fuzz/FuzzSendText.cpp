// Fuzz target: send texts, entry values and key tokens through expansion, both interpreters and token
// resolution on the simulated keyboard. Field values must arrive exactly as stored, whatever brackets or
// token names they hold; nothing may crash or hang.
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/VirtualClock.h"
#include "data/DataStore.h"
#include "send/KeyTokens.h"
#include "send/Typist.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zendrel;

namespace {

// Printable ASCII only, so the US-layout rendering can show every character.
QString printable(const std::string& bytes) {
    QString s;
    for (unsigned char b : bytes) {
        s += QLatin1Char(static_cast<char>(32 + b % 95));
    }
    return s;
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    // Parts separated by NUL: the user's send text, the password, the name.
    std::string parts[3];
    size_t part = 0;
    for (char c : input) {
        if (c == '\0' && part < 2) {
            ++part;
        } else {
            parts[part] += c;
        }
    }
    const QString userText = QString::fromUtf8(parts[0].data(), static_cast<qsizetype>(parts[0].size())).left(300);

    sim::VirtualClock clock;
    sim::SimDesktop desktop;
    sim::SimKeyboard keyboard(&clock, &desktop);
    const WindowId w = desktop.addWindow("Target");
    desktop.setFocus(w);

    // Any text through both interpreters and the token resolver.
    Typist(keyboard, clock, {static_cast<int>(size % 12), static_cast<int64_t>(size % 60)})
        .typeSendText(ExpandedText::plain(userText));
    Typist(keyboard, clock, {}).directSendText(desktop, w, ExpandedText::plain(userText), static_cast<int>(size % 3));
    const int code = resolveKeyToken(userText, [&clock](int64_t n) { clock.advance(n); }).code;
    check(code >= 0 && code <= (255 | kShiftBit | kCtrlBit | kAltBit), "key code in range");

    // Values arrive exactly as stored, typed by either interpreter.
    PasswordRecord e;
    e.password = fitText(printable(parts[1]), 128);
    e.name = fitText(printable(parts[2]), 128);
    const ExpandedText t = expandSendText(QStringLiteral("[Name][Tab][Password]") + userText, e);
    const std::string expected = e.name.toStdString() + "\t" + e.password.toStdString();
    for (int direct = 0; direct < 2; ++direct) {
        keyboard.clear();
        desktop.setFocus(w);
        Typist typist(keyboard, clock, {7, 3});
        if (direct) {
            typist.directSendText(desktop, w, t, 1);
        } else {
            typist.typeSendText(t);
        }
        const std::string typed = keyboard.text();
        if (e.password.isEmpty()) {
            check(typed.rfind(e.name.toStdString(), 0) == 0, "name typed first");
        } else {
            check(typed.rfind(expected, 0) == 0, "name, tab and password typed exactly");
        }
    }
    return 0;
}

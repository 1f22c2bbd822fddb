#include "send/Typist.h"

#include "send/KeyTokens.h"

namespace zendrel {

namespace {

qsizetype findOwn(const ExpandedText& t, QChar c, qsizetype from = 0, qsizetype limit = -1) {
    const qsizetype end = limit < 0 ? t.text.size() : std::min(t.text.size(), limit);
    for (qsizetype i = from; i < end; ++i) {
        if (t.text.at(i) == c && !t.isLiteral(i)) {
            return i;
        }
    }
    return -1;
}

} // namespace

Typist::Typist(Keyboard& keyboard, Clock& clock, SendSettings settings)
    : m_keyboard(keyboard), m_clock(clock), m_settings(settings) {
    if (m_settings.groupSize <= 0) {
        m_settings.groupSize = 7;
    }
    if (m_settings.interval < 0) {
        m_settings.interval = 0;
    }
}

bool Typist::guard() {
    if (!m_stopped && m_settings.cancel && m_settings.cancel->load()) {
        m_stopped = true;
    }
    if (!m_stopped && m_guard && !m_guard()) {
        m_stopped = true;
    }
    return !m_stopped;
}

void Typist::waitHundredths(int64_t n) {
    m_keyboard.flush();
    const int64_t deadline = m_clock.monotonic() + std::max<int64_t>(n, 0);
    for (;;) {
        const int64_t left = deadline - m_clock.monotonic();
        if (left <= 0) {
            break;
        }
        if (m_settings.cancel && m_settings.cancel->load()) {
            m_stopped = true;
            break;
        }
        m_clock.sleep(left);
    }
}

void Typist::pressKey(int code) {
    const int key = code & 255;
    if (code & kShiftBit) {
        m_keyboard.keyDown(vk::Shift);
    }
    if (code & kCtrlBit) {
        m_keyboard.keyDown(vk::Control);
    }
    if (code & kAltBit) {
        m_keyboard.keyDown(vk::Alt);
    }
    m_keyboard.keyDown(key);
    m_keyboard.keyUp(key);
    if (code & kShiftBit) {
        m_keyboard.keyUp(vk::Shift);
    }
    if (code & kCtrlBit) {
        m_keyboard.keyUp(vk::Control);
    }
    if (code & kAltBit) {
        m_keyboard.keyUp(vk::Alt);
    }
}

bool Typist::typeCharacters(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!guard()) {
            return false;
        }
        char32_t c = text.at(i).unicode();
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        m_keyboard.typeCharacter(c);
    }
    return true;
}

bool Typist::runToken(const ExpandedText& token) {
    bool ownText = true;
    for (qsizetype i = 0; i < token.text.size(); ++i) {
        ownText = ownText && !token.isLiteral(i);
    }
    const QString upper = token.text.toUpper();
    QString trimmed = upper;
    while (trimmed.endsWith(QLatin1Char(' '))) {
        trimmed.chop(1);
    }
    if (ownText && trimmed == QLatin1String("PAUSE")) {
        // A pause: nothing is typed; the waits below make it.
    } else {
        // A token holding an entry's value is never a key: the value is typed as it is.
        const KeyResolution r =
            ownText ? resolveKeyToken(token.text, [this](int64_t n) { waitHundredths(n); }) : KeyResolution{};
        if (r.waited) {
        } else if (r.code != 0) {
            if (!guard()) {
                return false;
            }
            pressKey(r.code);
        } else if (!typeCharacters(token.text)) {
            return false;
        }
    }
    waitHundredths(10);
    return true;
}

bool Typist::typeSendText(const ExpandedText& text) {
    m_stopped = false;
    ExpandedText t = text;
    while (!t.trimmedRight().text.isEmpty()) {
        if (!guard()) {
            return false;
        }
        const qsizetype p = findOwn(t, QLatin1Char('['));
        if (p < 0) {
            // The last stretch of text is one group whatever its length, and no interval follows it.
            const bool ok = typeCharacters(t.trimmedRight().text);
            m_keyboard.flush();
            return ok;
        }
        if (p == 0) {
            const ExpandedText rest = t.mid(1);
            const qsizetype q = findOwn(rest, QLatin1Char(']'));
            if (q < 0) {
                if (!runToken(rest)) {
                    return false;
                }
                t = ExpandedText{};
            } else {
                if (!runToken(rest.mid(0, q))) {
                    return false;
                }
                t = rest.mid(q + 1);
            }
        } else {
            qsizetype n = std::min<qsizetype>(p, m_settings.groupSize);
            // A character made of two UTF-16 units is never split between two groups.
            if (n < p && t.text.at(n - 1).isHighSurrogate()) {
                ++n;
            }
            if (!typeCharacters(t.text.left(n))) {
                return false;
            }
            t = t.mid(n);
        }
        waitHundredths(m_settings.interval);
    }
    // Everything was typed: where the focus went afterwards no longer matters.
    m_keyboard.flush();
    return true;
}

bool Typist::directSendText(Desktop& desktop, WindowId window, const ExpandedText& text, int focusMode) {
    m_stopped = false;
    WindowId previous = 0;
    if (focusMode != 0) {
        previous = desktop.focusedWindow();
        desktop.focusDirectly(window);
    }
    auto pauseAfter = [this](int value) {
        if (value < 32 || value > 255) {
            waitHundredths(5);
        }
    };
    bool ok = true;
    const QString& s = text.text;
    for (qsizetype i = 0; i < s.size() && ok; ++i) {
        if (!guard()) {
            ok = false;
            break;
        }
        if (s.at(i) == QLatin1Char('[') && !text.isLiteral(i)) {
            const qsizetype close = findOwn(text, QLatin1Char(']'), i + 1, i + 34);
            if (close > i) {
                const ExpandedText token = text.mid(i + 1, close - i - 1);
                bool ownText = true;
                for (qsizetype k = 0; k < token.text.size(); ++k) {
                    ownText = ownText && !token.isLiteral(k);
                }
                QString name = token.text;
                int repeat = 1;
                if (const qsizetype space = name.indexOf(QLatin1Char(' ')); space >= 0) {
                    const QString digits = name.mid(space + 1).left(4);
                    int n = 0;
                    for (QChar c : digits) {
                        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                            break;
                        }
                        n = n * 10 + (c.unicode() - '0');
                    }
                    repeat = std::max(n, 1);
                    name = name.left(space);
                }
                const KeyResolution r =
                    ownText ? resolveKeyToken(name, [this](int64_t n) { waitHundredths(n); }) : KeyResolution{};
                if (r.waited || r.code != 0) {
                    for (int k = 0; k < repeat && !r.waited; ++k) {
                        if (!guard()) {
                            ok = false;
                            break;
                        }
                        pressKey(r.code);
                        pauseAfter(r.code);
                    }
                    i = close;
                    continue;
                }
            }
        }
        char32_t c = s.at(i).unicode();
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s.at(i), s.at(i + 1));
            ++i;
        }
        m_keyboard.typeCharacter(c);
        pauseAfter(static_cast<int>(c));
    }
    waitHundredths(5);
    if (focusMode == 2 && previous != 0) {
        desktop.focusDirectly(previous);
    }
    return ok;
}

} // namespace zendrel

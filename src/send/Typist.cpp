#include "send/Typist.h"

#include "send/KeyTokens.h"

namespace zendrel {


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
        ++m_typed;
        if (!m_keyboard.typeCharacter(c)) {
            m_untypable.push_back(m_typed);
        }
    }
    return true;
}

bool Typist::run(const std::vector<SendStep>& steps) {
    for (const SendStep& step : steps) {
        if (step.guarded && !guard()) {
            return false;
        }
        // A modifier the user presses during the send would turn the next characters into shortcuts in
        // the target: it is waited out before every group and key, and the send stops if it stays.
        if ((step.kind == SendStep::Kind::Characters || step.kind == SendStep::Kind::Key) &&
            !m_keyboard.waitForModifiersReleased(kModifierWaitMs)) {
            m_modifiersHeld = true;
            m_stopped = true;
            return false;
        }
        switch (step.kind) {
        case SendStep::Kind::Characters:
            if (!typeCharacters(step.characters)) {
                return false;
            }
            break;
        case SendStep::Kind::Key:
            pressKey(step.code);
            break;
        case SendStep::Kind::Wait:
            waitHundredths(step.hundredths);
            break;
        case SendStep::Kind::Flush:
            m_keyboard.flush();
            break;
        }
    }
    return true;
}

bool Typist::typeSendText(const ExpandedText& text) {
    m_stopped = false;
    m_modifiersHeld = false;
    m_typed = 0;
    m_untypable.clear();
    return runPrepared(planGroups(text, m_settings.groupSize, m_settings.interval));
}

bool Typist::runPrepared(const std::vector<SendStep>& steps) {
    std::u32string characters;
    for (const SendStep& step : steps) {
        if (step.kind == SendStep::Kind::Characters) {
            characters += step.characters.toStdU32String();
        }
    }
    m_keyboard.prepare(characters);
    const bool ok = run(steps);
    m_keyboard.finish();
    return ok;
}

bool Typist::directSendText(Desktop& desktop, WindowId window, const ExpandedText& text, int focusMode) {
    m_stopped = false;
    m_modifiersHeld = false;
    m_typed = 0;
    m_untypable.clear();
    WindowId previous = 0;
    if (focusMode != 0) {
        previous = desktop.focusedWindow();
        desktop.focusDirectly(window);
    }
    const bool ok = runPrepared(planDirect(text));
    if (focusMode == 2 && previous != 0) {
        desktop.focusDirectly(previous);
    }
    return ok;
}

} // namespace zendrel

#include "send/Sender.h"

namespace zendrel {

namespace {

QString trimmedRight(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return s.left(n);
}

} // namespace

Sender::Sender(Keyboard& keyboard, Desktop& desktop, Clock& clock, SendSettings settings)
    : m_keyboard(keyboard), m_desktop(desktop), m_clock(clock), m_settings(settings) {}

SendOutcome Sender::typeInto(WindowId window, const SendRequest& request, bool located) {
    Typist typist(m_keyboard, m_clock, m_settings);
    if (window != 0) {
        typist.setGuard([this, window] {
            const WindowId focus = m_desktop.focusedWindow();
            return focus != 0 && m_desktop.isWithin(focus, window);
        });
    }
    const ExpandedText text = request.text.trimmedRight();
    bool ok = false;
    if (request.direct && located && window > 31) {
        ok = typist.directSendText(m_desktop, window, text, 1);
    } else {
        ok = typist.typeSendText(text);
    }
    m_untypable = typist.untypable();
    if (!ok) {
        return typist.modifiersHeld() ? SendOutcome::ModifiersHeld : SendOutcome::Stopped;
    }
    // A text typed with holes in it is not a send that worked: a password lacking a character fails.
    return m_untypable.empty() ? SendOutcome::Sent : SendOutcome::Untypable;
}

SendOutcome Sender::sendTo(WindowId window, const SendRequest& request, Activation variant) {
    // The layout may have changed since the last send.
    m_keyboard.refresh();
    if (!m_keyboard.waitForModifiersReleased(kModifierWaitMs)) {
        return SendOutcome::ModifiersHeld;
    }
    if (request.direct) {
        // Direct sending gives the window the input focus itself, past the window manager.
        if (!m_desktop.focusDirectly(window)) {
            return SendOutcome::FocusRefused;
        }
    } else {
        m_desktop.activate(window, variant == Activation::Main);
    }
    if (!WindowFinder(m_desktop).focusReaches(window, m_clock, kFocusWait)) {
        return SendOutcome::FocusRefused;
    }
    return typeInto(window, request, true);
}

SendOutcome Sender::typeIntoFocused(const SendRequest& request) {
    m_keyboard.refresh();
    // The program's own frame may still hold the focus while it minimises after Send: the text is meant for
    // the window that gets the focus next, never for the program itself. With no window focused at all the
    // keystrokes would go wherever the pointer happens to be.
    const int64_t deadline = m_clock.monotonic() + kOwnFocusWait;
    WindowId focus = m_desktop.focusedWindow();
    bool handedBack = false;
    while (focus == 0 || m_desktop.isOwnWindow(focus)) {
        if (focus != 0 && !handedBack) {
            // Where the frame cannot step aside (no minimising), the focus goes back to the window the user was
            // in before, once.
            handedBack = true;
            if (const WindowId previous = m_desktop.previousWindow(); previous != 0) {
                m_desktop.activate(previous, false);
            }
        }
        if (m_clock.monotonic() >= deadline) {
            return SendOutcome::FocusRefused;
        }
        m_clock.sleep(2);
        focus = m_desktop.focusedWindow();
    }
    if (!m_keyboard.waitForModifiersReleased(kModifierWaitMs)) {
        return SendOutcome::ModifiersHeld;
    }
    // The window focused now is the one typed into: when the focus leaves it, typing stops.
    return typeInto(focus, request, false);
}

SendOutcome Sender::send(const SendRequest& request, Activation variant) {
    if (!m_desktop.available()) {
        return SendOutcome::NoDisplay;
    }
    if (trimmedRight(request.title).isEmpty()) {
        // A blank title types into whatever has the focus, on purpose.
        return typeIntoFocused(request);
    }
    WindowFinder finder(m_desktop);
    const Located l = finder.find(request.title, request.contents);
    if (l.negated) {
        // A "~" title also means the focused window; nothing is activated.
        return typeIntoFocused(request);
    }
    if (!l.found()) {
        return SendOutcome::NoWindow;
    }
    return sendTo(l.window, request, variant);
}

QString cannotSendText(SendOutcome outcome, const QString& title, const std::vector<qsizetype>& untypable) {
    const QString t = trimmedRight(title);
    switch (outcome) {
    case SendOutcome::NoWindow:
        return QStringLiteral("The associated window does not exist (") + t + QStringLiteral(").");
    case SendOutcome::FocusRefused:
        return QStringLiteral("The associated window could not be brought to the front (") + t +
               QStringLiteral("), so nothing was typed.");
    case SendOutcome::ModifiersHeld:
        return QStringLiteral("Shift, Ctrl or Alt was held down, so nothing was typed into (") + t +
               QStringLiteral(").");
    case SendOutcome::Stopped:
        return QStringLiteral("Typing stopped because another window took the focus from (") + t +
               QStringLiteral(").");
    case SendOutcome::NoDisplay:
        return QStringLiteral("No display to type into was found, so nothing was typed into (") + t +
               QStringLiteral(").");
    case SendOutcome::Untypable: {
        QStringList places;
        for (const qsizetype p : untypable) {
            places << QString::number(p);
        }
        return QStringLiteral("The characters at places %1 of the text could not be typed on this keyboard, so the "
                              "text typed into (")
                   .arg(places.join(QStringLiteral(", "))) +
               t + QStringLiteral(") is incomplete.");
    }
    case SendOutcome::Sent:
        break;
    }
    return {};
}

bool startEntryProgram(const QString& filename, Shell& shell, MessageService& messages, bool startNotApplicable) {
    const QString name = trimmedRight(filename);
    if (name.isEmpty() || name.at(0).unicode() < 32 ||
        (!startNotApplicable && name.trimmed().toUpper() == QLatin1String("N/A"))) {
        return false;
    }
    std::string error;
    if (shell.startProgram(name.toStdString(), error)) {
        return true;
    }
    messages.show(Message{QStringLiteral("Critical Error Message"),
                          QStringLiteral("EXE, Batch File or PIF File Not Found:") + name +
                              QStringLiteral("|Please notify technical support immediately!"),
                          Buttons::Ok, Answer::Ok, true});
    return false;
}

} // namespace zendrel

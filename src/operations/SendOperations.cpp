#include "operations/SendOperations.h"

#include "send/SendText.h"
#include "send/Typist.h"
#include "send/WindowFinder.h"
#include "session/ConfigStore.h"

#include <QSet>

namespace zendrel {

WindowTexts windowTexts(Desktop& desktop, const QString& title) {
    WindowTexts out;
    if (title.trimmed().isEmpty()) {
        out.message = QStringLiteral("No window title is given, so no window is looked at.");
        return out;
    }
    const std::optional<QStringList> texts = WindowFinder(desktop).texts(title);
    if (!texts) {
        out.message = cannotSendText(SendOutcome::NoWindow, title, {});
        return out;
    }
    out.found = true;
    QSet<QString> seen;
    for (const QString& text : *texts) {
        // A contents text is one line; a text of several lines offers each. Controls without text are left
        // out: "<>" would confirm nearly any window.
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QString shown = line.trimmed();
            if (!shown.isEmpty() && text != QLatin1String("<>") && !seen.contains(shown)) {
                seen.insert(shown);
                out.lines.append(shown);
            }
        }
    }
    if (out.lines.isEmpty()) {
        // Whether the window shows nothing or could not be read (a program off the accessibility bus, one
        // that did not answer in time), a contents text would not find it: say so rather than list nothing.
        out.message = QStringLiteral("No text could be read from the window \"%1\", so a contents text would not "
                                     "find it.")
                          .arg(title.trimmed());
    }
    return out;
}

SendSettings SendOperations::mainPace() {
    ConfigStore config(m_store);
    SendSettings settings;
    settings.interval = mainSendInterval(config.readNumber(QStringLiteral("ZD_GD")));
    settings.groupSize =
        static_cast<int>(std::min<int64_t>(sendGroupSize(config.readNumber(QStringLiteral("ZD_BS"))), 255));
    return settings;
}

SendOutcome SendOperations::sendNow(const PasswordRecord& e, Keyboard& keyboard, Desktop& desktop, Shell& shell) {
    const SendSettings settings = mainPace();
    startEntryProgram(e.filename, shell, m_messages);
    const ExpandedText text = expandSendText(e.paste, e);
    Typist(keyboard, m_clock, settings).waitHundredths(int64_t{e.secondsToWait} * 100);
    // The program just started may need its wait to show its window; the layout may have changed.
    keyboard.refresh();
    Sender sender(keyboard, desktop, m_clock, settings);
    const SendOutcome outcome =
        sender.send({e.windowTitleToLocate, e.windowContents, text, e.directSend != 0}, Activation::Main);
    if (outcome != SendOutcome::Sent) {
        m_messages.show(QStringLiteral("Cannot Send"), cannotSendText(outcome, e.windowTitleToLocate, sender.untypable()));
    }
    return outcome;
}

} // namespace zendrel

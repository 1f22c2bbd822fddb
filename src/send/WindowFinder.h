#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zendrel {

// The outcome of a search. A title that begins with "~" never names a window: such a search reports
// "negated" and the text goes to the window that has the focus, without any window being activated.
struct Located {
    WindowId window = 0;
    bool negated = false;
    bool found() const { return window != 0 && !negated; }
};

enum class Activation {
    Main,     // restores a minimised window
    Monitor,  // leaves a minimised window alone
};

class WindowFinder {
public:
    explicit WindowFinder(Desktop& desktop) : m_desktop(desktop) {}

    // The frontmost top-level window whose title matches by the exact rule or the star rule and, when
    // contents are given, one of whose descendants shows them.
    Located find(const QString& title, const QString& contents);
    // The same search over a list of windows read before (front to back).
    Located find(const QString& title, const QString& contents, const std::vector<WindowInfo>& windows);
    // Finds and brings the window to the front.
    Located activate(const QString& title, const QString& contents, Activation variant);
    // What the contents check compares in the frontmost window whose title matches, without any contents
    // check: the texts of its descendants ("<>" for one without text); nothing when no window matches.
    std::optional<QStringList> texts(const QString& title);
    // Waits (at most `hundredths`) until the keyboard focus is inside the window.
    bool focusReaches(WindowId window, Clock& clock, int64_t hundredths);

private:
    bool contentsMatch(WindowId window, const QString& contents);
    QStringList childTexts(WindowId window);

    Desktop& m_desktop;
};

} // namespace zendrel

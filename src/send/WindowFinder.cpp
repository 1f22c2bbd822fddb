#include "send/WindowFinder.h"

namespace zendrel {

namespace {

constexpr qsizetype kTextLength = 254;

QString trimmedRight(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return s.left(n);
}

QString windowText(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).left(kTextLength);
}

} // namespace

bool WindowFinder::contentsMatch(WindowId window, const QString& contents) {
    const QString wanted = trimmedRight(contents).toUpper();
    if (wanted.isEmpty()) {
        return true;
    }
    for (const WindowInfo& child : m_desktop.descendants(window)) {
        const QString text = child.text.empty() ? QStringLiteral("<>") : windowText(child.text);
        if (text.toUpper().contains(wanted)) {
            return true;
        }
    }
    return false;
}

Located WindowFinder::find(const QString& title, const QString& contents) {
    return find(title, contents, m_desktop.topLevelWindows());
}

Located WindowFinder::find(const QString& title, const QString& contents, const std::vector<WindowInfo>& windows) {
    const bool negate = title.startsWith(QLatin1Char('~'));
    const QString wanted = trimmedRight(title).toUpper();
    const qsizetype star = title.indexOf(QLatin1Char('*'));
    WindowId passed = 0;
    for (const WindowInfo& w : windows) {
        const QString text = windowText(w.text);
        if (text.isEmpty()) {
            continue;
        }
        const QString upper = text.toUpper();
        // Both rules are tried on a window before the next window is looked at.
        if (wanted == trimmedRight(upper) && contentsMatch(w.id, contents)) {
            passed = w.id;
            break;
        }
        bool starMatch = false;
        if (star == 0) {
            starMatch = upper.contains(trimmedRight(title.mid(1)).toUpper());
        } else if (star > 0) {
            starMatch = title.left(star).toUpper() == upper.left(star) && text.size() >= star;
        }
        if (starMatch && contentsMatch(w.id, contents)) {
            passed = w.id;
            break;
        }
    }
    return {passed, negate};
}

Located WindowFinder::activate(const QString& title, const QString& contents, Activation variant) {
    const Located l = find(title, contents);
    if (l.found()) {
        m_desktop.activate(l.window, variant == Activation::Main);
    }
    return l;
}

bool WindowFinder::focusReaches(WindowId window, Clock& clock, int64_t hundredths) {
    const int64_t deadline = clock.monotonic() + hundredths;
    for (;;) {
        const WindowId focus = m_desktop.focusedWindow();
        if (focus != 0 && m_desktop.isWithin(focus, window)) {
            return true;
        }
        if (clock.monotonic() >= deadline) {
            return false;
        }
        clock.sleep(2);
    }
}

} // namespace zendrel

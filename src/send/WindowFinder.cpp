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

// Which of the two title rules hold for a window's text.
struct TitleRules {
    bool exact = false;
    bool star = false;
};

TitleRules titleRules(const QString& title, const QString& text) {
    TitleRules r;
    if (text.isEmpty()) {
        return r;
    }
    const QString upper = text.toUpper();
    r.exact = trimmedRight(title).toUpper() == trimmedRight(upper);
    const qsizetype star = title.indexOf(QLatin1Char('*'));
    if (star == 0) {
        r.star = upper.contains(trimmedRight(title.mid(1)).toUpper());
    } else if (star > 0) {
        r.star = title.left(star).toUpper() == upper.left(star) && text.size() >= star;
    }
    return r;
}

} // namespace

QStringList WindowFinder::childTexts(WindowId window) {
    QStringList out;
    for (const WindowInfo& child : m_desktop.descendants(window)) {
        out.append(child.text.empty() ? QStringLiteral("<>") : windowText(child.text));
    }
    return out;
}

bool WindowFinder::contentsMatch(WindowId window, const QString& contents) {
    const QString wanted = trimmedRight(contents).toUpper();
    if (wanted.isEmpty()) {
        return true;
    }
    for (const QString& text : childTexts(window)) {
        if (text.toUpper().contains(wanted)) {
            return true;
        }
    }
    return false;
}

std::optional<QStringList> WindowFinder::texts(const QString& title) {
    for (const WindowInfo& w : m_desktop.topLevelWindows()) {
        const TitleRules r = titleRules(title, windowText(w.text));
        if (r.exact || r.star) {
            return childTexts(w.id);
        }
    }
    return std::nullopt;
}

Located WindowFinder::find(const QString& title, const QString& contents) {
    return find(title, contents, m_desktop.topLevelWindows());
}

Located WindowFinder::find(const QString& title, const QString& contents, const std::vector<WindowInfo>& windows) {
    const bool negate = title.startsWith(QLatin1Char('~'));
    WindowId passed = 0;
    for (const WindowInfo& w : windows) {
        // Both rules are tried on a window before the next window is looked at. The contents check of a
        // window gives the same answer for either rule, so it is made once: reading what a window shows
        // may take a while.
        const TitleRules r = titleRules(title, windowText(w.text));
        if ((r.exact || r.star) && contentsMatch(w.id, contents)) {
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

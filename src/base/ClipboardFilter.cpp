#include "base/ClipboardFilter.h"

namespace zendrel {

QString filterClipboardText(const QString& text) {
    QString t = text.left(10000);
    if (const qsizetype nul = t.indexOf(QChar(u'\0')); nul >= 0) {
        t.truncate(nul);
    }
    while (t.endsWith(QLatin1Char(' '))) {
        t.chop(1);
    }
    // Left-justified first: leading blanks go.
    while (t.startsWith(QLatin1Char(' '))) {
        t.remove(0, 1);
    }
    QString out;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        const bool space = c == QLatin1Char(' ');
        const bool kept = space || (c.unicode() >= 31 && c.toUpper().unicode() <= 'Z');
        if (!kept) {
            continue;
        }
        // Of a run of spaces only the last stays.
        if (space && i + 1 < t.size() && t.at(i + 1) == QLatin1Char(' ')) {
            continue;
        }
        out += c;
    }
    while (out.endsWith(QLatin1Char(' '))) {
        out.chop(1);
    }
    return out;
}

} // namespace zendrel

#include "base/Picture.h"

#include "base/DatePicture.h"

#include <QRegularExpression>
#include <limits>

namespace zendrel::picture {

namespace {

// A date, time or number picture without the "b" that leaves zero blank ("@d4b" is "@d4"); whether it had one.
// A pattern keeps its own: its "pb" is read by the pattern.
QString withoutBlankZero(const QString& picture, bool* blankZero) {
    QString p = picture.trimmed();
    const QChar t = typeLetter(p);
    *blankZero = false;
    if (t != QLatin1Char('p') && p.size() > 2 && p.endsWith(QLatin1Char('b'), Qt::CaseInsensitive)) {
        p.chop(1);
        *blankZero = true;
    }
    return p;
}

QString twoDigits(int64_t n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// "@p<<<# secondspb": every "<" and "#" is a digit place, the rest is written as it stands, "p" ends the
// pattern and "b" after it leaves zero blank. A number longer than its places is written whole, never cut;
// places before the first digit stay empty where they are "<" and take 0 where they are "#".
QString formatPattern(int64_t value, const QString& picture) {
    QString body = picture.trimmed().mid(2);
    bool blankZero = false;
    if (body.endsWith(QLatin1String("pb"), Qt::CaseInsensitive)) {
        body.chop(2);
        blankZero = true;
    } else if (body.endsWith(QLatin1Char('p'), Qt::CaseInsensitive)) {
        body.chop(1);
    }
    if (value == 0 && blankZero) {
        return {};
    }
    const bool negative = value < 0;
    const QString digits = negative ? QString::number(value).mid(1) : QString::number(value);
    qsizetype places = 0;
    for (const QChar c : body) {
        places += c == QLatin1Char('<') || c == QLatin1Char('#');
    }
    const QString sign = negative ? QStringLiteral("-") : QString();
    if (places == 0) {
        return sign + digits + body;
    }
    // Places before the first digit; negative when the number has more digits than places.
    const qsizetype pad = places - digits.size();
    QString out;
    qsizetype place = 0;
    qsizetype next = 0;
    bool signWritten = false;
    auto writeSign = [&] {
        if (!signWritten) {
            out += sign;
            signWritten = true;
        }
    };
    for (const QChar c : body) {
        if (c != QLatin1Char('<') && c != QLatin1Char('#')) {
            out += c;
            continue;
        }
        if (place < pad) {
            if (c == QLatin1Char('#')) {
                writeSign();
                out += QLatin1Char('0');
            }
        } else {
            writeSign();
            if (place == 0 && pad < 0) {
                out += digits.left(-pad);
                next = -pad;
            }
            out += digits.at(next++);
        }
        ++place;
    }
    return out;
}

// The digits of a text in a pattern's form, with a minus sign before the first of them.
int64_t parsePattern(const QString& text) {
    QString number;
    for (const QChar c : text) {
        if (c.isDigit() && c.unicode() < 0x80) {
            number += c;
        } else if (c == QLatin1Char('-') && number.isEmpty()) {
            number = QStringLiteral("-");
        }
    }
    return number == QLatin1String("-") ? 0 : toNumber(number);
}

} // namespace

QChar typeLetter(QStringView picture) {
    const QStringView p = picture.trimmed();
    if (p.size() < 2 || p.at(0) != QLatin1Char('@')) {
        return {};
    }
    return p.at(1).toLower();
}

QString replacePictures(const QString& format, const std::function<QString(QStringView picture)>& replace) {
    QString out;
    out.reserve(format.size() + 16);
    const QStringView all(format);
    qsizetype i = 0;
    const qsizetype n = format.size();
    while (i < n) {
        const QChar ch = format.at(i);
        if (ch == QLatin1Char('~')) {
            // A heading: copied as it is, up to and including its closing "~".
            const qsizetype close = format.indexOf(QLatin1Char('~'), i + 1);
            const qsizetype end = close < 0 ? n : close + 1;
            out += all.mid(i, end - i);
            i = end;
        } else if (ch == QLatin1Char('@')) {
            const qsizetype close = format.indexOf(QLatin1Char('@'), i + 1);
            out += replace(all.mid(i, (close < 0 ? n : close) - i));
            if (close >= 0) {
                out += QLatin1Char('@');
            }
            i = close < 0 ? n : close + 1;
        } else {
            out += ch;
            ++i;
        }
    }
    return out;
}

Class classOf(const QString& picture) {
    const QChar t = typeLetter(picture);
    if (t == QLatin1Char('s')) {
        return Class::Text;
    }
    if (t == QLatin1Char('n')) {
        return Class::Number;
    }
    return Class::Other;
}

QString typeLabel(const QString& picture, Side side) {
    switch (classOf(picture)) {
    case Class::Text:
        return side == Side::Export ? QStringLiteral("Alpha-numeric") : QStringLiteral("Alpha-num");
    case Class::Number:
        return QStringLiteral("Numeric");
    case Class::Other:
        break;
    }
    return picture;
}

std::optional<QString> refusal(const QString& picture) {
    if (!picture.startsWith(QLatin1Char('@'))) {
        return QStringLiteral("Pictures must begin with \"@\"");
    }
    return std::nullopt;
}

int64_t toNumber(const QString& text) {
    // An optional sign, the whole part, and an optional fraction of digits, with nothing else around them
    // but blanks. Read by hand: every number of an import or an export comes through here.
    const QStringView t = QStringView(text).trimmed();
    const qsizetype n = t.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    const auto isDigit = [&t](qsizetype at) { return t[at] >= QLatin1Char('0') && t[at] <= QLatin1Char('9'); };
    const qsizetype wholeFrom = i;
    uint64_t whole = 0;
    bool beyond = false;
    for (; i < n && isDigit(i); ++i) {
        const auto digit = static_cast<uint64_t>(t[i].unicode() - u'0');
        beyond = beyond || whole > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - digit) / 10;
        if (!beyond) {
            whole = whole * 10 + digit;
        }
    }
    const qsizetype wholeDigits = i - wholeFrom;
    if (i < n && t[i] == QLatin1Char('.')) {
        for (++i; i < n && isDigit(i); ++i) {
        }
    }
    if (i != n || wholeDigits == 0) {
        return 0;
    }
    if (beyond) {
        return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    return negative ? -static_cast<int64_t>(whole) : static_cast<int64_t>(whole);
}

QString formatTime(int32_t clock, const QString& picture) {
    const int64_t h = clock > 0 ? clock - 1 : 0;
    const int64_t seconds = (h / 100) % (24 * 3600);
    const int64_t hour = seconds / 3600;
    const int64_t minute = seconds / 60 % 60;
    const int64_t second = seconds % 60;
    const int64_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
    const QString suffix = hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    const QString code = picture.trimmed().toLower().remove(QLatin1Char('@'));
    if (code == QLatin1String("t1")) {
        return twoDigits(hour) + QLatin1Char(':') + twoDigits(minute);
    }
    if (code == QLatin1String("t2")) {
        return twoDigits(hour) + twoDigits(minute);
    }
    if (code == QLatin1String("t4")) {
        return twoDigits(hour) + QLatin1Char(':') + twoDigits(minute) + QLatin1Char(':') + twoDigits(second);
    }
    if (code == QLatin1String("t5")) {
        return twoDigits(hour) + twoDigits(minute) + twoDigits(second);
    }
    if (code == QLatin1String("t6")) {
        return QString::number(hour12) + QLatin1Char(':') + twoDigits(minute) + QLatin1Char(':') + twoDigits(second) +
               suffix;
    }
    return QString::number(hour12) + QLatin1Char(':') + twoDigits(minute) + suffix;
}

int32_t parseTime(const QString& text) {
    static const QRegularExpression separated(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?$"));
    static const QRegularExpression joined(QStringLiteral("^(\\d{2})(\\d{2})(\\d{2})?$"));
    const QString t = text.trimmed();
    QRegularExpressionMatch m = separated.match(t);
    if (!m.hasMatch()) {
        m = joined.match(t);
        if (!m.hasMatch()) {
            return 0;
        }
    }
    int hour = m.captured(1).toInt();
    const int minute = m.captured(2).toInt();
    const int second = m.captured(3).toInt();
    const QString half = m.lastCapturedIndex() >= 4 ? m.captured(4).toUpper() : QString();
    if (!half.isEmpty()) {
        if (hour < 1 || hour > 12) {
            return 0;
        }
        hour = hour % 12 + (half == QLatin1String("PM") ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59) {
        return 0;
    }
    return (hour * 3600 + minute * 60 + second) * 100 + 1;
}

QString format(int64_t value, const QString& picture) {
    const QChar t = typeLetter(picture);
    if (t == QLatin1Char('p')) {
        return formatPattern(value, picture);
    }
    bool blankZero = false;
    const QString p = withoutBlankZero(picture, &blankZero);
    const bool fits = value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
    if (t == QLatin1Char('d') && fits) {
        return value == 0 ? QString() : formatDate(static_cast<int32_t>(value), p);
    }
    if (t == QLatin1Char('t') && fits) {
        return value == 0 ? QString() : formatTime(static_cast<int32_t>(value), p);
    }
    if (value == 0 && blankZero) {
        return {};
    }
    return QString::number(value);
}

QString format(const QString& text, const QString& picture) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace()) {
        --end;
    }
    if (typeLetter(picture) == QLatin1Char('s')) {
        bool ok = false;
        const int width = picture.trimmed().mid(2).toInt(&ok);
        if (ok && width > 0) {
            end = std::min<qsizetype>(end, width);
        }
    }
    return text.left(end);
}

int64_t parse(const QString& text, const QString& picture) {
    const QChar t = typeLetter(picture);
    if (t == QLatin1Char('d')) {
        bool blankZero = false;
        return std::max<int32_t>(parseDate(text, withoutBlankZero(picture, &blankZero)), 0);
    }
    if (t == QLatin1Char('t')) {
        return parseTime(text);
    }
    if (t == QLatin1Char('p')) {
        return parsePattern(text);
    }
    return toNumber(text);
}

} // namespace zendrel::picture

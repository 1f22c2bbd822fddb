#include "base/DatePicture.h"

#include "base/Dates.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace zendrel {

namespace {

const char* const kShortMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// The code as the settings hold it: up to 4 characters, possibly padded with blanks or given as a picture.
QString normalisedCode(const QString& code) {
    QString c = code.trimmed();
    if (c.startsWith(QLatin1Char('@'))) {
        c.remove(0, 1);
    }
    return c.toLower();
}

// Only letters and digits after the type letter D: anything else ("@", "~", "|") would break the list
// format that the code is put into.
bool isDateCode(const QString& c) {
    if (c.isEmpty() || c.at(0) != QLatin1Char('d')) {
        return false;
    }
    for (const QChar ch : c) {
        if (!ch.isLetterOrNumber() || ch.unicode() > 0x7f) {
            return false;
        }
    }
    return true;
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(((n % 100) + 100) % 100, 2, 10, QLatin1Char('0'));
}

QString fourDigits(int year) {
    return QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
}

QString shortMonth(const QDate& d) {
    return QString(QLatin1String(kShortMonths[d.month() - 1]));
}

// The system's short date form with the year always in four digits, so that no date shown or exported is
// ambiguous (en_US writes "M/d/yy"). Read once: the locale does not change while the program runs.
const QString& shortFormatFourDigitYear() {
    static const QString format = [] {
        QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
        if (!f.contains(QLatin1String("yyyy"))) {
            static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
            f.replace(twoDigitYear, QStringLiteral("yyyy"));
        }
        return f;
    }();
    return format;
}

} // namespace

QString replaceDatePictures(const QString& format, const QString& code) {
    if (!isDateCode(normalisedCode(code))) {
        return format;
    }
    const QString trimmed = code.trimmed();
    const QString written = trimmed.startsWith(QLatin1Char('@')) ? trimmed.mid(1) : trimmed;
    QString out;
    out.reserve(format.size() + 16);
    qsizetype i = 0;
    const qsizetype n = format.size();
    while (i < n) {
        const QChar ch = format.at(i);
        if (ch == QLatin1Char('~')) {
            // A heading: copied as it is, up to and including its closing "~".
            const qsizetype close = format.indexOf(QLatin1Char('~'), i + 1);
            const qsizetype end = close < 0 ? n : close + 1;
            out += QStringView(format).mid(i, end - i);
            i = end;
        } else if (ch == QLatin1Char('@')) {
            const qsizetype close = format.indexOf(QLatin1Char('@'), i + 1);
            const qsizetype end = close < 0 ? n : close + 1;
            const bool isDate = i + 1 < n && format.at(i + 1).toLower() == QLatin1Char('d');
            if (isDate) {
                out += QLatin1Char('@');
                out += written;
                if (close >= 0) {
                    out += QLatin1Char('@');
                }
            } else {
                out += QStringView(format).mid(i, end - i);
            }
            i = end;
        } else {
            out += ch;
            ++i;
        }
    }
    return out;
}

QString formatDate(int32_t day, const QString& code) {
    const QDate d = dateOf(day);
    if (!d.isValid()) {
        return {};
    }
    const QString c = normalisedCode(code);
    const QString mm = twoDigits(d.month());
    const QString dd = twoDigits(d.day());
    const QString yy = twoDigits(d.year());
    const QString yyyy = fourDigits(d.year());
    const QString day1 = QString::number(d.day());
    const QChar slash = QLatin1Char('/');

    if (c == QLatin1String("d1")) {
        return mm + slash + dd + slash + yy;
    }
    if (c == QLatin1String("d2")) {
        return mm + slash + dd + slash + yyyy;
    }
    if (c == QLatin1String("d3")) {
        return shortMonth(d) + QLatin1Char(' ') + day1 + QLatin1Char(',') + yyyy;
    }
    if (c == QLatin1String("d4")) {
        return longDate(day);
    }
    if (c == QLatin1String("d5")) {
        return dd + slash + mm + slash + yy;
    }
    if (c == QLatin1String("d6")) {
        return dd + slash + mm + slash + yyyy;
    }
    if (c == QLatin1String("d7")) {
        return day1 + QLatin1Char(' ') + shortMonth(d) + QLatin1Char(' ') + yy;
    }
    if (c == QLatin1String("d8")) {
        return day1 + QLatin1Char(' ') + shortMonth(d) + QLatin1Char(' ') + yyyy;
    }
    if (c == QLatin1String("d13")) {
        return mm + slash + yy;
    }
    if (c == QLatin1String("d14")) {
        return mm + slash + yyyy;
    }
    if (c == QLatin1String("d15")) {
        return yy + slash + mm;
    }
    if (c == QLatin1String("d16")) {
        return yyyy + slash + mm;
    }
    if (c == QLatin1String("d18")) {
        return QLocale::system().toString(d, QLocale::LongFormat);
    }
    return QLocale::system().toString(d, shortFormatFourDigitYear());
}

int32_t parseDate(const QString& text, const QString& code) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return 0;
    }
    static const QRegularExpression isoForm(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (isoForm.match(t).hasMatch()) {
        const QDate iso = QDate::fromString(t, Qt::ISODate);
        return iso.isValid() ? dayNumber(iso) : -1;
    }
    // The system's own pictures read back in the system's language.
    const QString c = normalisedCode(code);
    if (!isDateCode(c) || c == QLatin1String("d17") || c == QLatin1String("d18")) {
        const QLocale system = QLocale::system();
        for (const QString& format : {shortFormatFourDigitYear(), system.dateFormat(QLocale::ShortFormat),
                                      system.dateFormat(QLocale::LongFormat)}) {
            const QDate d = system.toDate(t, format);
            if (d.isValid() && d.year() > 1800) {
                return dayNumber(d);
            }
        }
    }
    // Where day, month and year stand in this picture: read off a date whose parts cannot be mistaken.
    const QString sample = formatDate(dayNumber(QDate(2033, 11, 22)), code).toUpper();
    struct Part {
        char role;
        qsizetype at;
    };
    std::vector<Part> parts;
    if (const qsizetype d = sample.indexOf(QLatin1String("22")); d >= 0) {
        parts.push_back({'d', d});
    }
    qsizetype m = sample.indexOf(QLatin1String("11"));
    if (m < 0) {
        m = sample.indexOf(QLatin1String("NOV"));
    }
    if (m >= 0) {
        parts.push_back({'m', m});
    }
    qsizetype y = sample.indexOf(QLatin1String("2033"));
    if (y < 0) {
        y = sample.indexOf(QLatin1String("33"));
    }
    if (y >= 0) {
        parts.push_back({'y', y});
    }
    std::sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) { return a.at < b.at; });

    // The typed text in runs of digits and of letters; a run of letters names the month.
    QList<QString> numbers;
    int month = 0;
    static const QStringList months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                       "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    static const QStringList weekdays = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    for (qsizetype i = 0; i < t.size();) {
        qsizetype j = i;
        if (t.at(i).isDigit()) {
            while (j < t.size() && t.at(j).isDigit()) {
                ++j;
            }
            numbers << t.mid(i, j - i);
        } else if (t.at(i).isLetter()) {
            while (j < t.size() && t.at(j).isLetter()) {
                ++j;
            }
            const QString word = t.mid(i, j - i).left(3).toUpper();
            const int found = static_cast<int>(months.indexOf(word)) + 1;
            if (found == 0 && weekdays.contains(word)) {
                i = j;  // a weekday says nothing the date does not
                continue;
            }
            if (found == 0 || month != 0) {
                return -1;
            }
            month = found;
        } else {
            j = i + 1;
        }
        i = j;
    }
    int day = 1;
    int year = 0;
    qsizetype next = 0;
    for (const Part& p : parts) {
        if (p.role == 'm' && month != 0) {
            continue;
        }
        if (next >= numbers.size()) {
            return -1;
        }
        const QString& digits = numbers.at(next++);
        // Days and months have one or two digits, years two or four.
        const bool fits = p.role == 'y' ? digits.size() == 2 || digits.size() == 4 : digits.size() <= 2;
        if (!fits) {
            return -1;
        }
        (p.role == 'd' ? day : p.role == 'm' ? month : year) = digits.toInt();
        if (p.role == 'y' && digits.size() == 2) {
            year += year < 80 ? 2000 : 1900;
        }
    }
    if (next != numbers.size() || month == 0 || parts.empty()) {
        return -1;
    }
    const QDate date(year, month, day);
    return date.isValid() && year > 1800 ? dayNumber(date) : -1;
}

const QList<QPair<QString, QString>>& dateFormatChoices() {
    static const QList<QPair<QString, QString>> choices = {
        {QStringLiteral("Windows Default"), QStringLiteral("d17")},
        {QStringLiteral("October 31, 1959"), QStringLiteral("d4")},
        {QStringLiteral("OCT 31,1959"), QStringLiteral("d3")},
        {QStringLiteral("10/31/59"), QStringLiteral("d1")},
        {QStringLiteral("10/31/1959"), QStringLiteral("d2")},
        {QStringLiteral("31 OCT 59"), QStringLiteral("d7")},
        {QStringLiteral("31 OCT 1959"), QStringLiteral("d8")},
        {QStringLiteral("31/10/59"), QStringLiteral("d5")},
        {QStringLiteral("31/10/1959"), QStringLiteral("d6")},
        {QStringLiteral("59/10"), QStringLiteral("d15")},
        {QStringLiteral("1959/10"), QStringLiteral("d16")},
        {QStringLiteral("10/59"), QStringLiteral("d13")},
        {QStringLiteral("10/1959"), QStringLiteral("d14")},
        {QStringLiteral("Windows Default 2"), QStringLiteral("d18")},
    };
    return choices;
}

} // namespace zendrel

#include "base/DatePicture.h"

#include "base/Dates.h"
#include "base/Picture.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <vector>

namespace zendrel {

namespace {

// The number of a date picture code ("d4", " D17 ", "@d8"), read without making a copy: 1 to 8 and 13 to
// 18; 0 for a blank text or anything else.
int pictureNumber(QStringView code) {
    code = code.trimmed();
    if (code.startsWith(QLatin1Char('@'))) {
        code = code.mid(1);
    }
    if (code.size() < 2 || code.size() > 3 || (code.at(0) != QLatin1Char('d') && code.at(0) != QLatin1Char('D')) ||
        code.at(1) == QLatin1Char('0')) {
        return 0;
    }
    int n = 0;
    for (qsizetype i = 1; i < code.size(); ++i) {
        const char16_t c = code.at(i).unicode();
        if (c < u'0' || c > u'9') {
            return 0;
        }
        n = n * 10 + (c - u'0');
    }
    return (n >= 1 && n <= 8) || (n >= 13 && n <= 18) ? n : 0;
}

// Month names of the pictures that show one (d3, d4, d7, d8). They read the same in every language, as the
// options list shows them ("October 31, 1959", "31 OCT 1959"), so that a date written on one machine reads
// back on another; only d17 and d18 follow the system.
struct MonthNames {
    std::array<QString, 12> full;
    std::array<QString, 12> abbreviated;  // "OCT"
    MonthNames() {
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        for (int m = 1; m <= 12; ++m) {
            full[m - 1] = english.monthName(m, QLocale::LongFormat);
            abbreviated[m - 1] = english.monthName(m, QLocale::ShortFormat).toUpper();
        }
    }
};

const MonthNames& monthNames() {
    static const MonthNames names;
    return names;
}

void appendNumber(QString& out, int n, int width) {
    if (n < 0) {
        out += QLatin1Char('-');
        n = -n;
    }
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    for (int i = count; i < width; ++i) {
        out += QLatin1Char('0');
    }
    while (count > 0) {
        out += QLatin1Char(digits[--count]);
    }
}

void appendTwoDigitYear(QString& out, int year) {
    appendNumber(out, ((year % 100) + 100) % 100, 2);
}

// A date format of the system's locale taken apart once, so that each date is written without reading the
// format again: runs of d, M and y, and literal text (quoted in the format, or not a letter).
class CompiledFormat {
public:
    explicit CompiledFormat(const QString& format) {
        const QLocale system = QLocale::system();
        for (int m = 1; m <= 12; ++m) {
            m_months[m - 1] = system.monthName(m, QLocale::LongFormat);
            m_shortMonths[m - 1] = system.monthName(m, QLocale::ShortFormat);
        }
        for (int d = 1; d <= 7; ++d) {
            m_days[d - 1] = system.dayName(d, QLocale::LongFormat);
            m_shortDays[d - 1] = system.dayName(d, QLocale::ShortFormat);
        }
        m_format = format;
        qsizetype i = 0;
        const qsizetype n = format.size();
        QString literal;
        auto flushLiteral = [&] {
            if (!literal.isEmpty()) {
                m_parts.push_back({Part::Literal, literal});
                literal.clear();
            }
        };
        while (i < n) {
            const QChar c = format.at(i);
            if (c == QLatin1Char('\'')) {
                // 'text' is literal; '' is one quote.
                qsizetype j = i + 1;
                if (j < n && format.at(j) == QLatin1Char('\'')) {
                    literal += QLatin1Char('\'');
                    i = j + 1;
                    continue;
                }
                while (j < n) {
                    if (format.at(j) == QLatin1Char('\'')) {
                        if (j + 1 < n && format.at(j + 1) == QLatin1Char('\'')) {
                            literal += QLatin1Char('\'');
                            j += 2;
                            continue;
                        }
                        break;
                    }
                    literal += format.at(j++);
                }
                i = j + 1;
                continue;
            }
            if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
                qsizetype j = i;
                while (j < n && format.at(j) == c) {
                    ++j;
                }
                const int run = static_cast<int>(j - i);
                Part::Kind kind;
                if (c == QLatin1Char('d')) {
                    kind = run == 1 ? Part::Day : run == 2 ? Part::Day2 : run == 3 ? Part::ShortDayName : Part::DayName;
                    i += std::min(run, 4);
                } else if (c == QLatin1Char('M')) {
                    kind = run == 1 ? Part::Month : run == 2 ? Part::Month2 : run == 3 ? Part::ShortMonthName
                                                                                      : Part::MonthName;
                    i += std::min(run, 4);
                } else if (run >= 4) {
                    kind = Part::Year4;
                    i += 4;
                } else if (run >= 2) {
                    kind = Part::Year2;
                    i += 2;
                } else {
                    literal += c;
                    ++i;
                    continue;
                }
                flushLiteral();
                m_parts.push_back({kind, {}});
                continue;
            }
            if (c.isLetter()) {
                // A field this writer does not know: the locale writes every date itself.
                m_parts.clear();
                m_fallback = true;
                return;
            }
            literal += c;
            ++i;
        }
        flushLiteral();
    }

    QString write(const QDate& d) const {
        if (m_fallback) {
            return QLocale::system().toString(d, m_format);
        }
        QString out;
        out.reserve(32);
        for (const Part& p : m_parts) {
            switch (p.kind) {
            case Part::Literal: out += p.text; break;
            case Part::Day: appendNumber(out, d.day(), 1); break;
            case Part::Day2: appendNumber(out, d.day(), 2); break;
            case Part::ShortDayName: out += m_shortDays[d.dayOfWeek() - 1]; break;
            case Part::DayName: out += m_days[d.dayOfWeek() - 1]; break;
            case Part::Month: appendNumber(out, d.month(), 1); break;
            case Part::Month2: appendNumber(out, d.month(), 2); break;
            case Part::ShortMonthName: out += m_shortMonths[d.month() - 1]; break;
            case Part::MonthName: out += m_months[d.month() - 1]; break;
            case Part::Year2: appendTwoDigitYear(out, d.year()); break;
            case Part::Year4: appendNumber(out, d.year(), 4); break;
            }
        }
        return out;
    }

    const QString& format() const { return m_format; }

private:
    struct Part {
        enum Kind { Literal, Day, Day2, ShortDayName, DayName, Month, Month2, ShortMonthName, MonthName, Year2, Year4 };
        Kind kind;
        QString text;
    };
    QString m_format;
    std::vector<Part> m_parts;
    bool m_fallback = false;
    std::array<QString, 12> m_months;
    std::array<QString, 12> m_shortMonths;
    std::array<QString, 7> m_days;
    std::array<QString, 7> m_shortDays;
};

// The system's short date form with the year always in four digits, so that no date shown or exported is
// ambiguous (en_US writes "M/d/yy"). Read once: the locale does not change while the program runs.
const CompiledFormat& systemShortFormat() {
    static const CompiledFormat format([] {
        QString f = QLocale::system().dateFormat(QLocale::ShortFormat);
        if (!f.contains(QLatin1String("yyyy"))) {
            static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
            f.replace(twoDigitYear, QStringLiteral("yyyy"));
        }
        return f;
    }());
    return format;
}

const CompiledFormat& systemLongFormat() {
    static const CompiledFormat format(QLocale::system().dateFormat(QLocale::LongFormat));
    return format;
}

} // namespace

QString replaceDatePictures(const QString& format, const QString& code) {
    if (pictureNumber(code) == 0) {
        return format;
    }
    const QString trimmed = code.trimmed();
    const QString written = QLatin1Char('@') + (trimmed.startsWith(QLatin1Char('@')) ? trimmed.mid(1) : trimmed);
    return picture::replacePictures(format, [&written](QStringView picture) {
        return picture::typeLetter(picture) == QLatin1Char('d') ? written : picture.toString();
    });
}

QString formatDate(int32_t day, const QString& code) {
    if (day == 0) {
        return {};
    }
    const QDate d = dateOf(day);
    if (!d.isValid()) {
        return {};
    }
    const int picture = pictureNumber(code);
    if (picture == 17 || picture == 0) {
        return systemShortFormat().write(d);
    }
    if (picture == 18) {
        return systemLongFormat().write(d);
    }
    const MonthNames& names = monthNames();
    const QChar slash = QLatin1Char('/');
    QString out;
    out.reserve(20);
    switch (picture) {
    case 1:
    case 2:
        appendNumber(out, d.month(), 2);
        out += slash;
        appendNumber(out, d.day(), 2);
        out += slash;
        picture == 1 ? appendTwoDigitYear(out, d.year()) : appendNumber(out, d.year(), 4);
        break;
    case 3:
        out += names.abbreviated[d.month() - 1];
        out += QLatin1Char(' ');
        appendNumber(out, d.day(), 1);
        out += QLatin1Char(',');
        appendNumber(out, d.year(), 4);
        break;
    case 4:
        out += names.full[d.month() - 1];
        out += QLatin1Char(' ');
        appendNumber(out, d.day(), 1);
        out += QLatin1String(", ");
        appendNumber(out, d.year(), 4);
        break;
    case 5:
    case 6:
        appendNumber(out, d.day(), 2);
        out += slash;
        appendNumber(out, d.month(), 2);
        out += slash;
        picture == 5 ? appendTwoDigitYear(out, d.year()) : appendNumber(out, d.year(), 4);
        break;
    case 7:
    case 8:
        appendNumber(out, d.day(), 1);
        out += QLatin1Char(' ');
        out += names.abbreviated[d.month() - 1];
        out += QLatin1Char(' ');
        picture == 7 ? appendTwoDigitYear(out, d.year()) : appendNumber(out, d.year(), 4);
        break;
    case 13:
    case 14:
        appendNumber(out, d.month(), 2);
        out += slash;
        picture == 13 ? appendTwoDigitYear(out, d.year()) : appendNumber(out, d.year(), 4);
        break;
    case 15:
    case 16:
        picture == 15 ? appendTwoDigitYear(out, d.year()) : appendNumber(out, d.year(), 4);
        out += slash;
        appendNumber(out, d.month(), 2);
        break;
    }
    return out;
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
    const int picture = pictureNumber(code);
    if (picture == 0 || picture == 17 || picture == 18) {
        const QLocale system = QLocale::system();
        for (const QString& format : {systemShortFormat().format(), system.dateFormat(QLocale::ShortFormat),
                                      systemLongFormat().format()}) {
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

bool isDatePictureCode(const QString& code) {
    return pictureNumber(code) != 0;
}

} // namespace zendrel

#include "base/Dates.h"

#include "base/Picture.h"

#include <QLocale>

namespace zendrel {

namespace {
const qint64 kBase = QDate(1800, 12, 28).toJulianDay();
const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
} // namespace

int32_t dayNumber(const QDate& date) {
    return date.isValid() ? static_cast<int32_t>(date.toJulianDay() - kBase) : 0;
}

QDate dateOf(int32_t day) {
    return day == 0 ? QDate() : QDate::fromJulianDay(kBase + day);
}

QString longDate(int32_t day) {
    const QDate d = dateOf(day);
    if (!d.isValid()) {
        return {};
    }
    return QStringLiteral("%1 %2, %3").arg(QLatin1String(kMonths[d.month() - 1])).arg(d.day()).arg(d.year(), 4, 10, QLatin1Char('0'));
}

QString shortTime(int32_t clock) {
    return picture::formatTime(clock, QStringLiteral("@t3"));
}

} // namespace zendrel

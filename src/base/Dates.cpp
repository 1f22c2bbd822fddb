#include "base/Dates.h"

#include "base/DatePicture.h"

#include <QLocale>

namespace zendrel {

namespace {
const qint64 kBase = QDate(1800, 12, 28).toJulianDay();
} // namespace

int32_t dayNumber(const QDate& date) {
    return date.isValid() ? static_cast<int32_t>(date.toJulianDay() - kBase) : 0;
}

QDate dateOf(int32_t day) {
    return day == 0 ? QDate() : QDate::fromJulianDay(kBase + day);
}

QString longDate(int32_t day) {
    return formatDate(day, QStringLiteral("d4"));
}

QString shortTime(int32_t clock) {
    const int64_t h = clock > 0 ? clock - 1 : 0;
    const int64_t minutes = (h / 6000) % (24 * 60);
    const int64_t hour = minutes / 60;
    const int64_t minute = minutes % 60;
    const int64_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return QStringLiteral("%1:%2%3")
        .arg(hour12)
        .arg(minute, 2, 10, QLatin1Char('0'))
        .arg(hour < 12 ? QLatin1String("AM") : QLatin1String("PM"));
}

} // namespace zendrel

#include "base/Dates.h"

#include "base/DatePicture.h"
#include "base/Picture.h"

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
    return picture::formatTime(clock, QStringLiteral("@t3"));
}

} // namespace zendrel

#pragma once

#include <QDate>
#include <QString>

#include <cstdint>

namespace zendrel {

// Day numbers count from 28 December 1800 (a Sunday), so day % 7 is the weekday with 0 for Sunday.
int32_t dayNumber(const QDate& date);
// The date of a day number; an invalid date for 0 (no date).
QDate dateOf(int32_t day);
// "October 31, 1959"; blank for 0.
QString longDate(int32_t day);
// "5:30PM" from hundredths of a second since midnight plus one: the time picture "@t3".
QString shortTime(int32_t clock);

} // namespace zendrel

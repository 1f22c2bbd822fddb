#include "base/Dates.h"

#include <gtest/gtest.h>

using namespace zendrel;

TEST(DatesTest, DayNumbersGiveTheWeekdayAndRoundTrip) {
    EXPECT_EQ(dayNumber(QDate(1800, 12, 28)) % 7, 0);  // a Sunday
    EXPECT_EQ(dayNumber(QDate(1801, 1, 1)), 4);
    for (const QDate& d : {QDate(1959, 10, 31), QDate(2000, 2, 29), QDate(2099, 12, 31)}) {
        EXPECT_EQ(dayNumber(d) % 7, d.dayOfWeek() % 7) << d.toString().toStdString();
        EXPECT_EQ(dateOf(dayNumber(d)), d);
    }
    EXPECT_FALSE(dateOf(0).isValid());
    EXPECT_EQ(longDate(dayNumber(QDate(1959, 10, 31))), "October 31, 1959");
    EXPECT_EQ(longDate(0), "");
}

TEST(DatesTest, TimesReadAsHoursAndMinutesWithAmOrPm) {
    EXPECT_EQ(shortTime(1), "12:00AM");
    EXPECT_EQ(shortTime(17 * 360000 + 30 * 6000 + 1), "5:30PM");
    EXPECT_EQ(shortTime(12 * 360000 + 1), "12:00PM");
}

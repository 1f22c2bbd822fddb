#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace zendrel {

// The month grid of the date picker: 42 places, the first day in the column of its weekday.
class CalendarModel {
public:
    static constexpr int kFirstYear = 1801;
    static constexpr int kLastYear = 2099;

    // Opens on the given date's month, or today's when there is none or it lies outside the years shown.
    CalendarModel(int32_t given, int32_t today);

    int month() const { return m_month; }
    int year() const { return m_year; }
    // The day of the month shown on each of the 42 buttons, 0 for an empty button.
    const std::array<int, 42>& days() const { return m_days; }
    // The button of a day of the shown month.
    int buttonOf(int day) const;
    int32_t given() const { return m_given; }

    void previousMonth();
    void nextMonth();
    void previousYear();
    void nextYear();
    // Entries typed by the user; false (with the message in `error`) when out of range.
    bool setMonth(int month, QString& error);
    bool setYear(int year, QString& error);

    // The date of a button; 0 for an empty one.
    int32_t dateOfButton(int button) const;
    // Choosing a day before today asks first.
    bool needsConfirmation(int32_t date) const { return date < m_today; }

private:
    void show();

    int32_t m_given;
    int32_t m_today;
    int m_month = 1;
    int m_year = kFirstYear;
    std::array<int, 42> m_days{};
};

} // namespace zendrel

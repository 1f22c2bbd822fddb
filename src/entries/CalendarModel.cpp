#include "entries/CalendarModel.h"

#include "base/Dates.h"

namespace zendrel {

CalendarModel::CalendarModel(int32_t given, int32_t today) : m_given(given), m_today(today) {
    QDate d = dateOf(given);
    if (!d.isValid() || d.year() < kFirstYear || d.year() > kLastYear) {
        d = dateOf(today);
    }
    if (d.isValid()) {
        m_month = d.month();
        m_year = std::clamp(d.year(), kFirstYear, kLastYear);
    }
    show();
}

void CalendarModel::show() {
    m_days.fill(0);
    const QDate first(m_year, m_month, 1);
    const int column = dayNumber(first) % 7;  // 0 is Sunday
    for (int day = 1; day <= first.daysInMonth(); ++day) {
        m_days[static_cast<size_t>(column + day - 1)] = day;
    }
}

int CalendarModel::buttonOf(int day) const {
    for (int i = 0; i < 42; ++i) {
        if (m_days[static_cast<size_t>(i)] == day) {
            return i;
        }
    }
    return -1;
}

void CalendarModel::previousMonth() {
    if (--m_month < 1) {
        m_month = 12;
        previousYear();
        return;
    }
    show();
}

void CalendarModel::nextMonth() {
    if (++m_month > 12) {
        m_month = 1;
        nextYear();
        return;
    }
    show();
}

void CalendarModel::previousYear() {
    m_year = m_year <= kFirstYear ? kLastYear : m_year - 1;
    show();
}

void CalendarModel::nextYear() {
    m_year = m_year >= kLastYear ? kFirstYear : m_year + 1;
    show();
}

bool CalendarModel::setMonth(int month, QString& error) {
    if (month < 1 || month > 12) {
        error = QStringLiteral("Month should be between 1 to 12");
        return false;
    }
    m_month = month;
    show();
    return true;
}

bool CalendarModel::setYear(int year, QString& error) {
    if (year < kFirstYear || year > kLastYear) {
        error = QStringLiteral("Year should be between %1 to %2").arg(kFirstYear).arg(kLastYear);
        return false;
    }
    m_year = year;
    show();
    return true;
}

int32_t CalendarModel::dateOfButton(int button) const {
    if (button < 0 || button >= 42 || m_days[static_cast<size_t>(button)] == 0) {
        return 0;
    }
    return dayNumber(QDate(m_year, m_month, m_days[static_cast<size_t>(button)]));
}

} // namespace zendrel

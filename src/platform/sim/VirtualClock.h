#pragma once

#include "platform/Clock.h"

namespace zendrel::sim {

// A clock that tests set and advance; yield() moves it on by a step instead of sleeping.
class VirtualClock final : public Clock {
public:
    VirtualClock(int32_t day = 81'000, int32_t clock = 1) : m_day(day), m_clock(clock) {}

    int32_t today() const override { return m_day; }
    int32_t clock() const override { return m_clock; }
    void yield() override { advance(m_yieldStep); }
    int64_t monotonic() const override { return int64_t{m_day} * kHundredthsPerDay + m_clock - 1; }
    void sleep(int64_t hundredths) override { advance(hundredths > 0 ? hundredths : m_yieldStep); }

    void set(int32_t day, int32_t clock) {
        m_day = day;
        m_clock = clock;
    }
    // Moves time on by the given hundredths, across midnight when needed.
    void advance(int64_t hundredths) {
        int64_t c = static_cast<int64_t>(m_clock) - 1 + hundredths;
        m_day += static_cast<int32_t>(c / kHundredthsPerDay);
        m_clock = static_cast<int32_t>(c % kHundredthsPerDay) + 1;
    }
    void setYieldStep(int32_t hundredths) { m_yieldStep = hundredths; }

private:
    int32_t m_day;
    int32_t m_clock;
    int32_t m_yieldStep = 1;
};

} // namespace zendrel::sim

#pragma once

#include <cstdint>

namespace zendrel {

// Dates are day numbers counted from 28 December 1800, a Sunday, so that day % 7 is the weekday
// (0 for Sunday); 0 means "no date". Times are hundredths of a second since midnight plus one.
constexpr int32_t kHundredthsPerDay = 8'640'000;

class Clock {
public:
    virtual ~Clock() = default;
    // Today's day number.
    virtual int32_t today() const = 0;
    // Hundredths of a second since midnight, plus one (1 .. 8,640,000).
    virtual int32_t clock() const = 0;
    // Gives the processor to others for a moment; a virtual clock advances instead.
    virtual void yield() = 0;
    // An instant in hundredths that goes on while the machine sleeps and does not jump with summer time:
    // for deadlines that must fire even after the machine slept.
    virtual int64_t now() const { return int64_t{today()} * kHundredthsPerDay + clock() - 1; }
    // A count of hundredths that never jumps (no midnight, no change of the clock): for waits.
    virtual int64_t monotonic() const = 0;
    // Sleeps up to the given hundredths (a real clock may return earlier); a virtual clock advances.
    virtual void sleep(int64_t hundredths) = 0;
};

// The clock of the machine, in local time.
class SystemClock final : public Clock {
public:
    int32_t today() const override;
    int32_t clock() const override;
    void yield() override;
    int64_t monotonic() const override;
    void sleep(int64_t hundredths) override;
    int64_t now() const override;
};

} // namespace zendrel

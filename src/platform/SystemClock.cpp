#include "platform/Clock.h"

#include <chrono>
#include <algorithm>
#include <ctime>
#include <thread>

namespace zendrel {

namespace {

// Days from 1970-01-01 back to 1800-12-28.
constexpr int64_t kEpochOffsetDays = 61'730;

struct LocalNow {
    int64_t dayNumber;
    int32_t hundredths;
};

LocalNow localNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const time_t secs = system_clock::to_time_t(now);
    tm local{};
    localtime_r(&secs, &local);
    const auto sub = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    // Days since 1970 of the local calendar date.
    const int y = local.tm_year + 1900;
    const unsigned m = static_cast<unsigned>(local.tm_mon + 1);
    const unsigned d = static_cast<unsigned>(local.tm_mday);
    const auto days = sys_days{year{y} / month{m} / day{d}}.time_since_epoch().count();
    const int32_t h = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 100 + static_cast<int32_t>(sub / 10);
    return {days + kEpochOffsetDays, h};
}

} // namespace

int32_t SystemClock::today() const {
    return static_cast<int32_t>(localNow().dayNumber);
}

int32_t SystemClock::clock() const {
    return localNow().hundredths + 1;
}

void SystemClock::yield() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int64_t SystemClock::now() const {
    // Universal time: a deadline keeps its distance when the local clock changes for summer time.
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() / 10 +
           kEpochOffsetDays * kHundredthsPerDay;
}

int64_t SystemClock::monotonic() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() / 10;
}

void SystemClock::sleep(int64_t hundredths) {
    if (hundredths <= 0) {
        std::this_thread::yield();
        return;
    }
    // Short slices keep a long wait responsive to being stopped.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(hundredths, 10) * 10));
}

} // namespace zendrel

#include "platform/Random.h"

#include <cerrno>
#include <stdexcept>
#include <sys/random.h>

namespace zendrel {

namespace {

uint64_t randomWord() {
    uint64_t v = 0;
    auto* p = reinterpret_cast<unsigned char*>(&v);
    size_t got = 0;
    while (got < sizeof v) {
        const ssize_t n = getrandom(p + got, sizeof v - got, 0);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            throw std::runtime_error("no random numbers from the system");
        }
    }
    return v;
}

} // namespace

int64_t SystemRandom::uniform(int64_t low, int64_t high) {
    if (high <= low) {
        return low;
    }
    const uint64_t span = static_cast<uint64_t>(high - low) + 1;
    // Values from the incomplete last block of `span` are drawn again, so every value is equally likely.
    const uint64_t limit = UINT64_MAX - (UINT64_MAX % span + 1) % span;
    uint64_t v = randomWord();
    while (v > limit) {
        v = randomWord();
    }
    return low + static_cast<int64_t>(v % span);
}

} // namespace zendrel

#pragma once

#include <cstdint>
#include <vector>

namespace zendrel {

// Uniform whole numbers in a closed range.
class Random {
public:
    virtual ~Random() = default;
    virtual int64_t uniform(int64_t low, int64_t high) = 0;
};

// From the operating system's cryptographic source, without modulo bias.
class SystemRandom final : public Random {
public:
    int64_t uniform(int64_t low, int64_t high) override;
};

} // namespace zendrel

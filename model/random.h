#pragma once

#include <cstdint>

// Pseudo-random integers 0..32767 from a linear congruential generator, the
// same recurrence as the classic C library one, so that a given seed always
// yields the same galaxy on every machine.
class CRandom {
public:
    static constexpr int kMax = 32767;

    explicit CRandom(unsigned seed = 1) : next_(seed) {}
    void seed(unsigned s) { next_ = s; }
    int operator()() {
        next_ = next_ * 1103515245u + 12345u;
        return static_cast<int>((next_ / 65536u) % 32768u);
    }

private:
    std::uint32_t next_;
};

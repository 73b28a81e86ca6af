#pragma once
// The timer period of continuous photos.

#include <algorithm>
#include <cstdint>
#include <limits>

// Milliseconds between continuous photos for an interval in seconds, worked out in 64 bits: at
// least one second (a period of 0 would take photos without pause) and at most what the timer
// takes, so no interval gives a negative or wrapped period.
constexpr int ContinuousPeriodMs(int64_t seconds) {
    constexpr int64_t kLongest = std::numeric_limits<int>::max();
    return int(std::min(std::max<int64_t>(seconds, 1) * 1000, kLongest));
}

#pragma once

#include <cstdint>

// A closed range of periods [min, max], as the calibration compares clusters of periods with the
// bit ranges.
class PulseRange {
public:
    // Where this range [a, b] lies against other = [c, d].
    enum Position : int {
        kBelow = 0,         // a < c, b < c
        kEndsInside = 1,    // a < c, c <= b <= d
        kInside = 2,        // c <= a <= d, b <= d
        kStartsInside = 3,  // c <= a <= d, b > d
        kAbove = 4,         // a > d
        kCovers = 5,        // a < c, b > d
    };

    PulseRange(int32_t minimum, int32_t maximum) : min(minimum), max(maximum) {}
    PulseRange(const PulseRange&) = default;
    PulseRange& operator=(const PulseRange&) = default;
    virtual ~PulseRange() = default;

    int Compare(const PulseRange& other) const;

    int32_t min = 0;
    int32_t max = 0;
};

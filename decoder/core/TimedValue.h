#pragma once

#include <cstdint>

// A sample or an extremum with its sample time. Time is the sample's number since the start of the
// run; it is 64-bit so a run of more than 27 hours keeps its periods.
struct TimedValue {
    int64_t time = 0;
    int32_t value = 0;

    friend bool operator==(const TimedValue&, const TimedValue&) = default;
};

#pragma once

#include <cstdint>

// The nine pulse limits that tell leader, sync, 0 bits and 1 bits apart, in this order. Periods
// are counted in samples at 22000 per second; a period P lies in a range when min <= P <= max.
// The defaults are what the decoder returns to after every block and every rejected sync.
struct PulseLimits {
    int32_t leaderCount = 30;  // leader periods a run must exceed before a sync is accepted
    int32_t data0Min = 5;
    int32_t data0Max = 14;
    int32_t data1Min = 16;
    int32_t data1Max = 28;
    int32_t leaderMin = 18;
    int32_t leaderMax = 36;
    int32_t syncMin = 5;
    int32_t syncMax = 14;

    bool operator==(const PulseLimits&) const = default;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Idealised signals for tests that reason in whole periods rather than in ROM timing.
class CPeriodSignal {
public:
    // A clean triangle wave whose troughs are exactly `periods` samples apart: each period rises
    // for half its length from `low` to `high` and falls for the rest; it starts at a trough.
    static std::vector<uint8_t> Triangle(const std::vector<int32_t>& periods, int32_t low = 60,
                                         int32_t high = 200);
    // The periods of one block as the recognizer measures them at 22000 samples per second on a
    // clean signal: `leader` periods of 27, a sync of 9, then 10 for a 0 bit and 19 for a 1 bit.
    static std::vector<int32_t> BlockPeriods(const std::vector<uint8_t>& block,
                                             int32_t leader = 40);
};

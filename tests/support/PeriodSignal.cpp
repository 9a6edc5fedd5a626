#include "tests/support/PeriodSignal.h"

std::vector<uint8_t> CPeriodSignal::Triangle(const std::vector<int32_t>& periods, int32_t low,
                                             int32_t high) {
    std::vector<uint8_t> samples;
    for (int32_t period : periods) {
        const int32_t up = period / 2;
        const int32_t down = period - up;
        for (int32_t i = 0; i < up; ++i) {
            samples.push_back(static_cast<uint8_t>(low + (high - low) * i / up));
        }
        for (int32_t i = 0; i < down; ++i) {
            samples.push_back(static_cast<uint8_t>(high - (high - low) * i / down));
        }
    }
    return samples;
}

std::vector<int32_t> CPeriodSignal::BlockPeriods(const std::vector<uint8_t>& block,
                                                 int32_t leader) {
    std::vector<int32_t> periods(static_cast<size_t>(leader), 27);
    periods.push_back(9);
    for (uint8_t byte : block) {
        for (int bit = 7; bit >= 0; --bit) {
            periods.push_back(((byte >> bit) & 1) != 0 ? 19 : 10);
        }
    }
    return periods;
}

#pragma once

#include <array>
#include <cstdint>

#include "decoder/core/RingBuffer.h"
#include "decoder/core/TimedValue.h"

// A copy of the decoder's display state, taken after each buffer and at each read error, so the
// Signal window never draws from the live decoder. Copies are deep: two records share nothing.
class SignalSnapshot {
public:
    static constexpr int kHistogramBins = 50;

    SignalSnapshot() = default;
    SignalSnapshot(const SignalSnapshot&) = default;
    SignalSnapshot(SignalSnapshot&&) noexcept = default;
    SignalSnapshot& operator=(const SignalSnapshot&) = default;
    SignalSnapshot& operator=(SignalSnapshot&&) noexcept = default;
    virtual ~SignalSnapshot() = default;

    RingBuffer<TimedValue> samples;  // the last 400 samples
    RingBuffer<TimedValue> peaks;    // the last 40 accepted peaks
    RingBuffer<TimedValue> troughs;  // the last 40 accepted troughs
    // Table 0 (counts 0 to 49): peak-to-peak periods; table 1 (50 to 99): trough-to-trough.
    std::array<int32_t, 2 * kHistogramBins> periodHistogram{};

    // Count k of table `parity` (0 or 1).
    int32_t HistogramCount(int parity, int k) const {
        return periodHistogram[static_cast<size_t>(parity * kHistogramBins + k)];
    }
};

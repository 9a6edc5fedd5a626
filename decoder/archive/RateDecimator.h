#pragma once

#include <cstdint>
#include <vector>

// Brings samples at any rate down (or up) to 22000 per second, as the ROM-block decoders take
// them: each output sample is the mean of the input samples that fall into its span (a box
// filter, enough to keep hiss from folding onto the bit frequencies). At 22000 in, samples pass
// unchanged.
class CRateDecimator {
public:
    static constexpr int32_t kOutputRate = 22000;

    explicit CRateDecimator(int32_t inputRate);

    // Appends the output samples that the input completes. An output sample is given when the
    // first input sample beyond its span arrives.
    void Feed(const uint8_t* samples, int32_t count, std::vector<uint8_t>& out);

private:
    // A length in input samples: a whole number and a rest in 1/kOutputRate.
    struct Length {
        int64_t whole = 0;
        int32_t rest = 0;
    };
    // The output sample being summed. Input sample k falls into output sample
    // k * kOutputRate / m_inputRate (truncated), so a span ends at (output index + 1) *
    // m_inputRate / kOutputRate input samples; moved on by one span's length, it needs no
    // division.
    struct Span {
        Length end;
        int64_t nextStart = 0;  // the first input sample beyond the span
        int32_t sum = 0;
        int32_t count = 0;
    };

    // Moves on to the span after `span`, `step` (one span's length) further on.
    static void Advance(Span& span, const Length& step);
    // The mean of the span's samples, rounded to nearest; `reciprocals` as m_reciprocals.
    static uint8_t Mean(const Span& span, const uint64_t* reciprocals);

    int32_t m_inputRate;
    Length m_step;  // one span's length
    // 2^48 / n rounded up, for every count n of samples that a span can hold: the mean is then
    // a multiplication, not a division (exact for sums of up to 2^20 8-bit samples).
    std::vector<uint64_t> m_reciprocals;
    Span m_span;
    int64_t m_inputIndex = 0;
    uint8_t m_last = 128;
};

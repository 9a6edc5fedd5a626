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
    // first input sample of a later span arrives.
    void Feed(const uint8_t* samples, int32_t count, std::vector<uint8_t>& out);

private:
    // The first input sample that falls into output sample `slot`.
    int64_t FirstInputOf(int64_t slot) const;
    // Gives the output samples before the span of input sample m_inputIndex.
    void CompleteSpans(std::vector<uint8_t>& out);

    int32_t m_inputRate;
    int64_t m_inputIndex = 0;
    int64_t m_outputIndex = 0;  // the output sample being summed
    int64_t m_nextSpanStart;    // the first input sample of output sample m_outputIndex + 1
    int32_t m_sum = 0;
    int32_t m_count = 0;
    uint8_t m_last = 128;
};

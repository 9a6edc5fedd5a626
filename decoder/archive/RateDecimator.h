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

    // Appends the output samples that the input completes.
    void Feed(const uint8_t* samples, int32_t count, std::vector<uint8_t>& out);

private:
    int32_t m_inputRate;
    int64_t m_inputIndex = 0;
    int64_t m_outputIndex = 0;  // the output sample being summed
    int32_t m_sum = 0;
    int32_t m_count = 0;
    uint8_t m_last = 128;
};

#pragma once

#include <cstdint>
#include <vector>

// Brings a recording down to the decoder's rate with a windowed-sinc low-pass of fixed phases:
// the output rate over the input rate is a ratio p/q of whole numbers (220/441 from 44.1 kHz),
// so output samples fall on only p places between input samples, and the filter's taps for each
// are worked out once. The band kept and the band stopped are those of the fastest sinc converter
// that decoded recordings before (flat to 80 % of the output's half rate, 90 dB down at it), so
// the decoder sees the same signal; the cost is a dot product of about a hundred taps per output
// sample, a tenth of that converter's.
class CSincResampler {
public:
    // Whether this converter serves: the output rate is lower and the phases are few enough to
    // tabulate (every usual rate).
    static bool Serves(int32_t inputRate, int32_t outputRate);

    CSincResampler(int32_t inputRate, int32_t outputRate);

    // Takes count input samples and appends the output samples that they complete.
    void Feed(const float* in, int32_t count, std::vector<float>& out);
    // The input has ended: the output samples still waiting for later input are completed as if
    // silence followed.
    void Finish(std::vector<float>& out);

private:
    void Produce(std::vector<float>& out);

    int64_t m_up = 1;    // p: output samples in a cycle of the phases
    int64_t m_down = 1;  // q: input samples in that cycle
    int32_t m_halfTaps = 1;
    std::vector<float> m_table;  // m_up phases of 2 * m_halfTaps taps each
    std::vector<float> m_input;  // pending input; m_input[0] is input sample m_inputBase
    int64_t m_inputBase = 0;
    int64_t m_nextOutput = 0;
};

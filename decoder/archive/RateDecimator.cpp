#include "decoder/archive/RateDecimator.h"

#include <algorithm>

CRateDecimator::CRateDecimator(int32_t inputRate) : m_inputRate(std::max(inputRate, 1)) {}

void CRateDecimator::Feed(const uint8_t* samples, int32_t count, std::vector<uint8_t>& out) {
    if (m_inputRate == kOutputRate) {
        out.insert(out.end(), samples, samples + count);
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        // The output sample that input sample m_inputIndex belongs to.
        const int64_t slot = m_inputIndex * kOutputRate / m_inputRate;
        while (slot > m_outputIndex) {
            // Upsampling leaves slots without input: they repeat the latest value.
            if (m_count > 0) {
                m_last = static_cast<uint8_t>((m_sum + m_count / 2) / m_count);
            }
            out.push_back(m_last);
            m_sum = 0;
            m_count = 0;
            ++m_outputIndex;
        }
        m_sum += samples[i];
        ++m_count;
        ++m_inputIndex;
    }
}

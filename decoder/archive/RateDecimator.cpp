#include "decoder/archive/RateDecimator.h"

#include <algorithm>

CRateDecimator::CRateDecimator(int32_t inputRate)
    : m_inputRate(std::max(inputRate, 1)), m_nextSpanStart(FirstInputOf(1)) {}

void CRateDecimator::Feed(const uint8_t* samples, int32_t count, std::vector<uint8_t>& out) {
    if (m_inputRate == kOutputRate) {
        out.insert(out.end(), samples, samples + count);
        return;
    }
    int32_t at = 0;
    while (at < count) {
        if (m_inputIndex == m_nextSpanStart) {
            CompleteSpans(out);
        }
        // The samples up to the next span, or to the end of the input, all join this one.
        const auto run =
            static_cast<int32_t>(std::min<int64_t>(m_nextSpanStart - m_inputIndex, count - at));
        int32_t sum = 0;
        for (int32_t i = at; i < at + run; ++i) {
            sum += samples[i];
        }
        m_sum += sum;
        m_count += run;
        m_inputIndex += run;
        at += run;
    }
}

int64_t CRateDecimator::FirstInputOf(int64_t slot) const {
    // The smallest index whose slot (index * kOutputRate / m_inputRate, truncated) reaches it.
    return (slot * m_inputRate + kOutputRate - 1) / kOutputRate;
}

void CRateDecimator::CompleteSpans(std::vector<uint8_t>& out) {
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
    m_nextSpanStart = FirstInputOf(m_outputIndex + 1);
}

#include "decoder/archive/RateDecimator.h"

#include <algorithm>

namespace {
constexpr int kReciprocalShift = 48;

// The first input sample at or beyond a span's end.
int64_t RoundedUp(int64_t whole, int32_t rest) {
    return whole + (rest > 0 ? 1 : 0);
}
}  // namespace

CRateDecimator::CRateDecimator(int32_t inputRate) : m_inputRate(std::max(inputRate, 1)) {
    m_span.endWhole = m_inputRate / kOutputRate;
    m_span.endRest = m_inputRate % kOutputRate;
    m_span.nextStart = RoundedUp(m_span.endWhole, m_span.endRest);
    // No span holds more samples than the first (one span's length, rounded up).
    m_reciprocals.resize(static_cast<size_t>(m_span.nextStart) + 1);
    for (uint64_t n = 1; n < m_reciprocals.size(); ++n) {
        m_reciprocals[n] = ((uint64_t{1} << kReciprocalShift) + n - 1) / n;
    }
}

void CRateDecimator::Feed(const uint8_t* samples, int32_t count, std::vector<uint8_t>& out) {
    if (m_inputRate == kOutputRate) {
        out.insert(out.end(), samples, samples + count);
        return;
    }
    // The input completes at most this many spans.
    const size_t given = out.size();
    out.resize(given + static_cast<size_t>(int64_t{count} * kOutputRate / m_inputRate + 2));
    uint8_t* next = out.data() + given;
    // Worked on in copies: each output byte written could alias the members, which the compiler
    // would then read again after every one.
    Span span = m_span;
    int64_t inputIndex = m_inputIndex;
    uint8_t last = m_last;
    int32_t at = 0;
    while (at < count) {
        // Upsampling leaves spans without input sample: each repeats the latest value.
        while (inputIndex >= span.nextStart) {
            last = span.count > 0 ? Mean(span) : last;
            *next++ = last;
            Advance(span);
        }
        // The samples up to the span's end, or to the end of the input, all join it.
        const auto run =
            static_cast<int32_t>(std::min<int64_t>(span.nextStart - inputIndex, count - at));
        for (int32_t i = at; i < at + run; ++i) {
            span.sum += samples[i];
        }
        span.count += run;
        inputIndex += run;
        at += run;
    }
    out.resize(static_cast<size_t>(next - out.data()));
    m_span = span;
    m_inputIndex = inputIndex;
    m_last = last;
}

void CRateDecimator::Advance(Span& span) const {
    span.sum = 0;
    span.count = 0;
    span.endWhole += m_inputRate / kOutputRate;
    span.endRest += m_inputRate % kOutputRate;
    if (span.endRest >= kOutputRate) {
        span.endRest -= kOutputRate;
        ++span.endWhole;
    }
    span.nextStart = RoundedUp(span.endWhole, span.endRest);
}

uint8_t CRateDecimator::Mean(const Span& span) const {
    const auto rounded = static_cast<uint64_t>(span.sum + span.count / 2);
    return static_cast<uint8_t>((rounded * m_reciprocals[static_cast<size_t>(span.count)]) >>
                                kReciprocalShift);
}

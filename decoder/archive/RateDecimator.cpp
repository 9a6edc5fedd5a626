#include "decoder/archive/RateDecimator.h"

#include <algorithm>

namespace {
constexpr int kReciprocalShift = 48;
}  // namespace

CRateDecimator::CRateDecimator(int32_t inputRate)
    : m_inputRate(std::max(inputRate, 1)),
      m_step{m_inputRate / kOutputRate, m_inputRate % kOutputRate} {
    m_span.end = m_step;
    m_span.nextStart = m_step.whole + (m_step.rest > 0 ? 1 : 0);
    // No span holds more samples than one span's length, rounded up.
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
    const Length step = m_step;
    const uint64_t* reciprocals = m_reciprocals.data();
    Span span = m_span;
    uint8_t last = m_last;
    const int64_t first = m_inputIndex;  // the input index of samples[0]
    int32_t at = 0;
    // Each span that a later input sample follows is complete. Upsampling leaves spans without
    // input samples: each repeats the latest value.
    while (span.nextStart - first < count) {
        const auto spanEnd = static_cast<int32_t>(span.nextStart - first);
        span.count += spanEnd - at;
        for (; at < spanEnd; ++at) {
            span.sum += samples[at];
        }
        last = span.count > 0 ? Mean(span, reciprocals) : last;
        *next++ = last;
        Advance(span, step);
    }
    // The rest joins the open span.
    span.count += count - at;
    for (; at < count; ++at) {
        span.sum += samples[at];
    }
    out.resize(static_cast<size_t>(next - out.data()));
    m_span = span;
    m_inputIndex = first + count;
    m_last = last;
}

void CRateDecimator::Advance(Span& span, const Length& step) {
    span.sum = 0;
    span.count = 0;
    span.end.whole += step.whole;
    span.end.rest += step.rest;
    if (span.end.rest >= kOutputRate) {
        span.end.rest -= kOutputRate;
        ++span.end.whole;
    }
    span.nextStart = span.end.whole + (span.end.rest > 0 ? 1 : 0);
}

uint8_t CRateDecimator::Mean(const Span& span, const uint64_t* reciprocals) {
    const auto rounded = static_cast<uint64_t>(span.sum + span.count / 2);
    return static_cast<uint8_t>((rounded * reciprocals[span.count]) >> kReciprocalShift);
}

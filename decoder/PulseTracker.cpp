#include "decoder/PulseTracker.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMidlineSeconds = 0.01;
constexpr double kEnvelopeSeconds = 0.02;
// The trigger sits this far out towards the recent peaks.
constexpr float kHysteresisShare = 0.3F;
}  // namespace

CPulseTracker::CPulseTracker(int32_t sampleRate)
    : m_tPerSample(kClockHz / std::max(sampleRate, 1)),
      m_midRate(static_cast<float>(1.0 - std::exp(-1.0 / (kMidlineSeconds * sampleRate)))),
      m_envelopeKeep(static_cast<float>(std::exp(-1.0 / (kEnvelopeSeconds * sampleRate)))) {}

void CPulseTracker::Feed(const uint8_t* samples, int32_t count, std::vector<PulseEvent>& events) {
    const auto silenceSamples = static_cast<double>(kSilenceTStates / m_tPerSample);
    for (int32_t i = 0; i < count; ++i, ++m_index) {
        const auto x = static_cast<float>(samples[i]);
        const float d = x - m_mid;
        m_mid += (x - m_mid) * m_midRate;
        m_envelope = std::max(std::fabs(d), m_envelope * m_envelopeKeep);
        const float hysteresis = std::max(kMinHysteresis, m_envelope * kHysteresisShare);
        const auto at = static_cast<double>(m_index);
        const bool rising = m_previous < 0.0F && d >= 0.0F;
        const bool falling = m_previous > 0.0F && d <= 0.0F;
        if ((rising && m_level != Level::High) || (falling && m_level != Level::Low)) {
            m_crossing = at - 1.0 + static_cast<double>(m_previous / (m_previous - d));
        }
        m_previous = d;
        if (d > hysteresis && m_level != Level::High) {
            m_level = Level::High;
            Edge(m_crossing, events);
        } else if (d < -hysteresis && m_level != Level::Low) {
            m_level = Level::Low;
            Edge(m_crossing, events);
        } else if (!m_inSilence && at - m_lastEdge >= silenceSamples) {
            m_inSilence = true;
            events.push_back(
                {PulseEvent::Kind::SilenceBegins, static_cast<float>(kSilenceTStates)});
        }
    }
}

void CPulseTracker::Edge(double at, std::vector<PulseEvent>& events) {
    // A crossing from before the previous edge (a slow start) dates the edge no earlier than it.
    at = std::max(at, m_lastEdge);
    const auto length = static_cast<float>((at - m_lastEdge) * m_tPerSample);
    if (m_inSilence) {
        if (m_index > 0) {
            events.push_back({PulseEvent::Kind::SilenceEnds, length});
        }
        m_inSilence = false;
    } else {
        events.push_back({PulseEvent::Kind::Pulse, length});
    }
    m_lastEdge = at;
}

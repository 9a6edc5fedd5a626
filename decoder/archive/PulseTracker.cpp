#include "decoder/archive/PulseTracker.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kEnvelopeSeconds = 0.01;
// The trigger sits this share of the peak-to-peak swing away from the midline.
constexpr float kHysteresisShare = 0.08F;
// A sample this near a level (a share of half the swing) is at it.
constexpr float kFullLevel = 0.9F;
// Half the swing away from the midline, as a share of the peak-to-peak swing.
constexpr float kLevelShareOfSwing = 0.25F;
}  // namespace

CPulseTracker::CPulseTracker(int32_t sampleRate)
    : m_tPerSample(kClockHz / std::max(sampleRate, 1)),
      m_envelopeRate(static_cast<float>(1.0 - std::exp(-1.0 / (kEnvelopeSeconds * sampleRate)))) {}

void CPulseTracker::Feed(const uint8_t* samples, int32_t count, std::vector<PulseEvent>& events) {
    const auto silenceSamples = static_cast<double>(kSilenceTStates / m_tPerSample);
    for (int32_t i = 0; i < count; ++i, ++m_index) {
        const auto x = static_cast<float>(samples[i]);
        // The peaks follow the signal at once outwards and sink slowly back towards it.
        m_high = std::max(x, m_high + (x - m_high) * m_envelopeRate);
        m_low = std::min(x, m_low + (x - m_low) * m_envelopeRate);
        // Out of a silence at the midline, the first pulse's own level is all the envelope
        // knows: the line's resting level is its midline until the pulse ends.
        const float mid = m_restingMid ? m_rest : (m_high + m_low) * 0.5F;
        const float d = x - mid;
        const float hysteresis = std::max(kMinHysteresis, (m_high - m_low) * kHysteresisShare);
        const auto at = static_cast<double>(m_index);
        const bool rising = m_previous <= 0.0F && d > 0.0F;
        const bool falling = m_previous >= 0.0F && d < 0.0F;
        if ((rising && m_level != Level::High) || (falling && m_level != Level::Low)) {
            m_crossing = Crossing(at, d, (m_high - m_low) * 0.5F, rising ? 1.0F : -1.0F);
        }
        m_previous = d;
        if (m_level == Level::Unknown) {
            m_rest = x;
        }
        m_levelSamples += std::fabs(d) >= kLevelShareOfSwing * (m_high - m_low) ? 1 : 0;
        if (d > hysteresis && m_level != Level::High) {
            m_restingMid = m_level == Level::Unknown && m_inSilence;
            m_level = Level::High;
            Edge(FirstCrossing(at), events);
        } else if (d < -hysteresis && m_level != Level::Low) {
            m_restingMid = m_level == Level::Unknown && m_inSilence;
            m_level = Level::Low;
            Edge(FirstCrossing(at), events);
        } else if (!m_inSilence && at - m_lastEdge >= silenceSamples) {
            FlushPending(events);
            m_inSilence = true;
            // A line that has come back to the midline may leave it either way.
            if (std::fabs(d) <= hysteresis) {
                m_level = Level::Unknown;
            }
            events.push_back({PulseEvent::Kind::SilenceBegins, static_cast<float>(kSilenceTStates),
                              LevelShare()});
        }
    }
}

// Where the signal crossed the midline between the previous sample and this one (at). A sample
// that holds an edge is the mean of the two levels over it (a recording made at a high rate and
// brought down, or an emulator's output): when one of the two samples is at a level and the other
// between, the edge lies in the one between, as far into it as its value says. Else (a signal
// with smooth edges, or a jump from level to level) the crossing is interpolated linearly.
double CPulseTracker::Crossing(double at, float d, float halfSwing, float direction) const {
    if (halfSwing > 0.0F) {
        const float before = direction * m_previous / halfSwing;
        const float now = direction * d / halfSwing;
        if (before <= -kFullLevel && now < kFullLevel) {
            return at - 0.5 + static_cast<double>((1.0F - now) * 0.5F);
        }
        if (now >= kFullLevel && before > -kFullLevel) {
            return at - 1.5 + static_cast<double>((1.0F - before) * 0.5F);
        }
    }
    return at - 1.0 + static_cast<double>(m_previous / (m_previous - d));
}

// The crossing that led to an edge at sample at. Out of a silence at the midline there was
// none: the signal left the midline after the sample before.
double CPulseTracker::FirstCrossing(double at) const {
    return m_inSilence ? std::max(m_crossing, at - 1.0) : m_crossing;
}

void CPulseTracker::Edge(double at, std::vector<PulseEvent>& events) {
    // A crossing from before the previous edge (a slow start) dates the edge no earlier than it.
    at = std::max(at, m_lastEdge);
    const auto length = static_cast<float>((at - m_lastEdge) * m_tPerSample);
    m_lastEdge = at;
    if (m_inSilence) {
        m_stretchStart = m_index;
        m_levelSamples = 0;
    }
    m_stretchSamplesAtEdge = m_index + 1 - m_stretchStart;
    m_levelSamplesAtEdge = m_levelSamples;
    if (m_inSilence) {
        if (m_index > 0) {
            events.push_back({PulseEvent::Kind::SilenceEnds, length});
        }
        m_inSilence = false;
        return;
    }
    // A glitch (ringing at an edge) and the pulse after it belong to the pulse before it.
    if (m_pending > 0.0F && (length < kGlitchTStates || m_mergeNext)) {
        m_mergeNext = length < kGlitchTStates && !m_mergeNext;
        m_pending += length;
        return;
    }
    FlushPending(events);
    m_pending = length;
}

float CPulseTracker::LevelShare() const {
    return m_stretchSamplesAtEdge > 0 ? static_cast<float>(m_levelSamplesAtEdge) /
                                            static_cast<float>(m_stretchSamplesAtEdge)
                                      : 0.0F;
}

void CPulseTracker::FlushPending(std::vector<PulseEvent>& events) {
    if (m_pending > 0.0F) {
        events.push_back({PulseEvent::Kind::Pulse, m_pending});
    }
    m_pending = 0.0F;
    m_mergeNext = false;
}

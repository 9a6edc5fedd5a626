#include "decoder/archive/PulseTracker.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kEnvelopeSeconds = 0.01;
// Out of an unknown level, the signal goes this share of the peak-to-peak swing away from the
// midline before it counts as a level.
constexpr float kHysteresisShare = 0.08F;
// Past the midline by this much (unsigned 8-bit levels), the signal is on the other side: hiss
// and droop on a long pulse stay on their side.
constexpr float kCrossMargin = 1.0F;
// A turn goes back this share of the swing that led to the extreme: ringing after an edge goes
// back less.
constexpr float kSwingShare = 0.25F;
// A turn before a silence that goes less than this share of half the swing before it past the
// midline is the line fading back to rest (the undershoot of a high-pass).
constexpr float kFadeShare = 0.5F;
// A turn short of the midline goes back this share of that swing within kQuickTStates.
constexpr float kQuickShare = 0.35F;
constexpr double kQuickTStates = 350.0;
// A sample this near a level (a share of half the swing) is at it.
constexpr float kFullLevel = 0.9F;
// Half the swing away from the midline, as a share of the peak-to-peak swing.
constexpr float kLevelShareOfSwing = 0.25F;
// A sweep ends where the signal turns back by this share of the peak-to-peak swing (hiss wiggles
// by that much between its edges, a tape's signal does not), never by less than a level.
constexpr float kSweepTurnShare = 0.1F;
constexpr float kMinSweepTurn = 1.0F;
// The signal's speed is taken over this time (at least a sample): from one sample to the next,
// the 8-bit steps of a slow signal would pass for speed. A cassette's edge takes longer.
constexpr double kSpeedTStates = 250.0;
}  // namespace

CPulseTracker::CPulseTracker(int32_t sampleRate)
    : m_tPerSample(kClockHz / std::max(sampleRate, 1)),
      m_envelopeRate(static_cast<float>(1.0 - std::exp(-1.0 / (kEnvelopeSeconds * sampleRate)))),
      m_quickSamples(std::max<int64_t>(2, std::llround(kQuickTStates / m_tPerSample))),
      m_speedSamples(std::max<int64_t>(1, std::llround(kSpeedTStates / m_tPerSample))) {}

void CPulseTracker::Feed(const uint8_t* samples, int32_t count, std::vector<PulseEvent>& events) {
    const auto silenceSamples = static_cast<double>(kSilenceTStates / m_tPerSample);
    for (int32_t i = 0; i < count; ++i, ++m_index) {
        const auto x = static_cast<float>(samples[i]);
        m_history[static_cast<size_t>(m_index & (kHistory - 1))] = x;
        // The peaks follow the signal at once outwards and sink slowly back towards it.
        m_high = std::max(x, m_high + (x - m_high) * m_envelopeRate);
        m_low = std::min(x, m_low + (x - m_low) * m_envelopeRate);
        // Out of a silence at the midline, the first pulse's own level is all the envelope
        // knows: the line's resting level is its midline until the pulse ends.
        const float mid = m_restingMid ? m_rest : (m_high + m_low) * 0.5F;
        const float d = x - mid;
        const float hysteresis = std::max(kMinHysteresis, (m_high - m_low) * kHysteresisShare);
        m_levelSamples += std::fabs(d) >= kLevelShareOfSwing * (m_high - m_low) ? 1 : 0;
        FollowSweep(
            x, x - m_history[static_cast<size_t>((m_index - m_speedSamples) & (kHistory - 1))]);
        if (m_level == Level::Unknown) {
            m_rest = x;
        } else if (m_level == Level::High ? x > m_extreme : x < m_extreme) {
            m_extreme = x;
            m_extremeAt = m_index;
        }
        if (m_level != Level::High && Turns(x, d, hysteresis, 1.0F)) {
            Turn(x, mid, Level::High, events);
        } else if (m_level != Level::Low && Turns(x, d, hysteresis, -1.0F)) {
            Turn(x, mid, Level::Low, events);
        } else if (!m_inSilence &&
                   static_cast<double>(m_index) -
                           (m_edgeWaits ? static_cast<double>(m_turnAt) : m_lastEdge) >=
                       silenceSamples) {
            if (m_edgeWaits && Fading()) {
                m_edgeWaits = false;
            }
            DateEdge(events);
            FlushPending(events);
            m_inSilence = true;
            // A line that has come back to the midline may leave it either way.
            if (std::fabs(d) <= hysteresis) {
                m_level = Level::Unknown;
            }
            events.push_back(
                {PulseEvent::Kind::SilenceBegins, static_cast<float>(kSilenceTStates), Look()});
        }
    }
}

void CPulseTracker::Finish(std::vector<PulseEvent>& events) {
    DateEdge(events);
    FlushPending(events);
}

// Whether the signal at x (d from the midline) has left its level towards direction.
bool CPulseTracker::Turns(float x, float d, float hysteresis, float direction) const {
    if (m_level == Level::Unknown) {
        return direction * d > hysteresis;
    }
    const float back = direction * (x - m_extreme);
    const float swing = std::fabs(m_extreme - m_opposite);
    if (back < std::max(kMinSwing, kSwingShare * swing)) {
        return false;
    }
    // Short of the midline, only a quick turn counts: the drift of a band-limited 0-bit's small
    // swing off the midline, not the slow droop of a long pulse through a high-pass.
    return direction * d > kCrossMargin ||
           (back >= kQuickShare * swing && m_index - m_extremeAt <= m_quickSamples);
}

void CPulseTracker::Turn(float x, float mid, Level level, std::vector<PulseEvent>& events) {
    DateEdge(events);
    m_turnMid = mid;
    m_turnHalfSwing = (m_high - m_low) * 0.5F;
    if (m_level == Level::Unknown) {
        // The line rested at its latest sample: that is where it left from.
        m_swing = 0.0F;
        m_opposite = m_rest;
        m_oppositeAt = m_index - 1;
    } else {
        m_swing = std::fabs(m_extreme - m_opposite);
        m_opposite = m_extreme;
        m_oppositeAt = m_extremeAt;
    }
    m_restingMid = m_level == Level::Unknown && m_inSilence;
    m_level = level;
    m_extreme = x;
    m_extremeAt = m_index;
    m_edgeWaits = true;
    m_waitingAfterSilence = m_inSilence;
    m_inSilence = false;
    m_turnAt = m_index;
}

// Whether the latest turn, before a silence, was only the line fading back to rest: it went
// just a little way past the midline.
bool CPulseTracker::Fading() const {
    const float direction = m_extreme > m_opposite ? 1.0F : -1.0F;
    return direction * (m_extreme - m_turnMid) < kFadeShare * 0.5F * m_swing;
}

// Dates the waiting edge between the extreme before it and the one after it, at the last sample
// pair that crosses halfway between them.
void CPulseTracker::DateEdge(std::vector<PulseEvent>& events) {
    if (!m_edgeWaits) {
        return;
    }
    m_edgeWaits = false;
    const float half = (m_extreme + m_opposite) * 0.5F;
    const float direction = m_extreme > m_opposite ? 1.0F : -1.0F;
    const int64_t earliest = std::max(m_oppositeAt, m_extremeAt - kHistory + 1);
    const auto sample = [&](int64_t at) {
        return direction * m_history[static_cast<size_t>(at & (kHistory - 1))];
    };
    int64_t at = m_extremeAt;
    while (at > earliest && sample(at - 1) > direction * half) {
        --at;
    }
    const double date = at > earliest
                            ? Crossing(at, sample(at - 1), sample(at), direction * half, direction)
                            : static_cast<double>(at);
    Edge(date, m_waitingAfterSilence, events);
}

// Where the signal crossed level between the sample before at and the one at at (all three times
// direction, the way it went). A sample that holds an edge is the mean of the two levels over it
// (a recording made at a high rate and brought down, or an emulator's output): when one of the
// two samples is at a level of the peaks and the other between, the edge lies in the one between,
// as far into it as its value says, even where a pulse too short to reach its level leaves the
// extremes off. Else (a signal with smooth edges, or a jump from level to level) the crossing is
// interpolated linearly.
double CPulseTracker::Crossing(int64_t at, float before, float now, float level,
                               float direction) const {
    const auto sample = static_cast<double>(at);
    if (m_turnHalfSwing > 0.0F) {
        const float mid = direction * m_turnMid;
        const float b = (before - mid) / m_turnHalfSwing;
        const float n = (now - mid) / m_turnHalfSwing;
        if (b <= -kFullLevel && n < kFullLevel) {
            return sample - 0.5 + static_cast<double>((1.0F - n) * 0.5F);
        }
        if (n >= kFullLevel && b > -kFullLevel) {
            return sample - 1.5 + static_cast<double>((1.0F - b) * 0.5F);
        }
    }
    return sample - 1.0 + static_cast<double>((level - before) / (now - before));
}

void CPulseTracker::Edge(double at, bool afterSilence, std::vector<PulseEvent>& events) {
    // A crossing from before the previous edge (a slow start) dates the edge no earlier than it.
    at = std::max(at, m_lastEdge);
    const auto length = static_cast<float>((at - m_lastEdge) * m_tPerSample);
    m_lastEdge = at;
    if (afterSilence) {
        m_stretchStart = m_index;
        m_levelSamples = 0;
        m_edgeTime = 0.0;
        m_sweepTime = 0;
    }
    m_stretchSamplesAtEdge = m_index + 1 - m_stretchStart;
    m_levelSamplesAtEdge = m_levelSamples;
    m_edgeTimeAtEdge = m_edgeTime;
    m_sweepTimeAtEdge = m_sweepTime;
    if (afterSilence) {
        if (m_index > 0) {
            events.push_back({PulseEvent::Kind::SilenceEnds, length, {}});
        }
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

StretchLook CPulseTracker::Look() const {
    StretchLook look;
    if (m_stretchSamplesAtEdge > 0) {
        look.levelShare =
            static_cast<float>(m_levelSamplesAtEdge) / static_cast<float>(m_stretchSamplesAtEdge);
    }
    if (m_sweepTimeAtEdge > 0) {
        look.edgeTimeShare =
            static_cast<float>(m_edgeTimeAtEdge / static_cast<double>(m_sweepTimeAtEdge));
    }
    return look;
}

// Follows the signal from turn to turn of kSweepTurnShare of the swing; each sweep, from the
// extreme before it to its own, adds its length and the time its way would take at its top speed.
// rise: the signal's way over the latest m_speedSamples.
void CPulseTracker::FollowSweep(float x, float rise) {
    if (m_sweepDirection * (x - m_sweepExtreme) > 0.0F) {
        m_sweepSpeed = std::max(m_sweepSpeed, m_sweepDirection * rise);
        m_sweepExtreme = x;
        m_sweepExtremeAt = m_index;
        m_backExtreme = x;
        m_backExtremeAt = m_index;
        m_backSpeed = 0.0F;
        return;
    }
    if (m_sweepDirection * (m_backExtreme - x) > 0.0F) {
        m_backExtreme = x;
        m_backExtremeAt = m_index;
    }
    m_backSpeed = std::max(m_backSpeed, -m_sweepDirection * rise);
    const float turn = std::max(kMinSweepTurn, kSweepTurnShare * (m_high - m_low));
    if (m_sweepDirection * (m_sweepExtreme - x) <= turn) {
        return;
    }
    if (m_sweepSpeed > 0.0F && m_sweepExtremeAt > m_sweepFromAt) {
        m_edgeTime += static_cast<double>(std::fabs(m_sweepExtreme - m_sweepFrom) / m_sweepSpeed) *
                      static_cast<double>(m_speedSamples);
        m_sweepTime += m_sweepExtremeAt - m_sweepFromAt;
    }
    m_sweepDirection = -m_sweepDirection;
    m_sweepFrom = m_sweepExtreme;
    m_sweepFromAt = m_sweepExtremeAt;
    m_sweepExtreme = m_backExtreme;
    m_sweepExtremeAt = m_backExtremeAt;
    m_sweepSpeed = m_backSpeed;
    m_backExtreme = x;
    m_backExtremeAt = m_index;
    m_backSpeed = 0.0F;
}

void CPulseTracker::FlushPending(std::vector<PulseEvent>& events) {
    if (m_pending > 0.0F) {
        events.push_back({PulseEvent::Kind::Pulse, m_pending, {}});
    }
    m_pending = 0.0F;
    m_mergeNext = false;
}

#include "decoder/SignalConditioner.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// The low-pass coefficient a in y += a * (x - y).
const float kSmoothing =
    static_cast<float>(1.0 - std::exp(-2.0 * std::numbers::pi * CSignalConditioner::kCornerHz /
                                      CSignalConditioner::kSampleRate));
}  // namespace

void CSignalConditioner::Process(const uint8_t* in, int32_t count, uint8_t* out) {
    for (int32_t i = 0; i < count; ++i) {
        out[i] = Next(static_cast<float>(in[i]) - 128.0f);
    }
}

uint8_t CSignalConditioner::Next(float x) {
    m_smoothed += kSmoothing * (x - m_smoothed);
    m_level += (m_smoothed - m_level) / kLevelSamples;
    const float deviation = m_smoothed - m_level;
    const float magnitude = std::fabs(deviation);
    // The envelope jumps up to a louder swing at once and sinks back slowly.
    m_envelope = std::max(magnitude, m_envelope - (m_envelope - magnitude) / kLevelSamples);
    const float gain = m_envelope * kMaxGain > kTargetSwing ? kTargetSwing / m_envelope : kMaxGain;
    const float scaled = std::nearbyint(128.0f - gain * deviation);
    return static_cast<uint8_t>(std::clamp(scaled, 1.0f, 254.0f));
}

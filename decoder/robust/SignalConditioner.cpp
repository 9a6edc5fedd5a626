#include "decoder/robust/SignalConditioner.h"

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
    constexpr float kFollow = 1.0f / kLevelSamples;
    float smoothed = m_smoothed;
    float level = m_level;
    float envelope = m_envelope;
    for (int32_t i = 0; i < count; ++i) {
        smoothed += kSmoothing * (static_cast<float>(in[i]) - 128.0f - smoothed);
        level += (smoothed - level) * kFollow;
        const float deviation = smoothed - level;
        const float magnitude = std::fabs(deviation);
        // The envelope jumps up to a louder swing at once and sinks back slowly.
        envelope = std::max(magnitude, envelope - (envelope - magnitude) * kFollow);
        // The gain follows the envelope at every sample: a swing louder than the envelope comes
        // out at the target level, which keeps a 1-bit swing from dwarfing the 0 bits after it.
        const float gain = envelope * kMaxGain > kTargetSwing ? kTargetSwing / envelope : kMaxGain;
        const float scaled = std::clamp(128.0f - gain * deviation, 1.0f, 254.0f);
        out[i] = static_cast<uint8_t>(static_cast<int32_t>(scaled + 0.5f));
    }
    m_smoothed = smoothed;
    m_level = level;
    m_envelope = envelope;
}

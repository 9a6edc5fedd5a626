#include "recording/HalfBandDecimator.h"

#include <cmath>
#include <numbers>

#include "recording/KaiserWindow.h"

namespace {
// Pass band to 0.23 of the input rate, stop band from 0.27, 70 dB down: a Kaiser window of beta
// 0.1102 * (70 - 8.7) over 107 taps. Eight-bit samples carry no more than about 48 dB.
constexpr int32_t kOddTaps = 27;  // nonzero taps on each side of the centre
constexpr int32_t kReach = 2 * kOddTaps - 1;
constexpr double kKaiserBeta = 6.755;
constexpr float kCentreTap = 0.5f;

// Adds tap * (before[n] + after[n]) to sums[n]. The sums never overlap the samples, and saying so
// lets the compiler use vector lanes without a check at run time.
void AddTap(float* __restrict sums, const float* __restrict before, const float* __restrict after,
            float tap, int64_t count) {
    for (int64_t n = 0; n < count; ++n) {
        sums[n] += tap * (before[n] + after[n]);
    }
}
}  // namespace

CHalfBandDecimator::CHalfBandDecimator() {
    m_taps.resize(kOddTaps);
    double sum = 0.0;
    for (int32_t k = 0; k < kOddTaps; ++k) {
        const double distance = 2 * k + 1;
        const double sinc =
            std::sin(std::numbers::pi * distance / 2.0) / (std::numbers::pi * distance);
        const double weight = sinc * KaiserWindow(distance / kReach, kKaiserBeta);
        m_taps[static_cast<size_t>(k)] = static_cast<float>(weight);
        sum += 2.0 * weight;
    }
    // Unit gain at 0 Hz: the odd taps add up to the other half.
    for (float& tap : m_taps) {
        tap = static_cast<float>(tap * 0.5 / sum);
    }
    // Silence before the first sample, so that the first outputs have their history.
    m_input.assign(static_cast<size_t>(kReach), 0.0f);
    m_inputBase = -kReach;
}

void CHalfBandDecimator::Feed(const float* in, int32_t count, std::vector<float>& out) {
    m_input.insert(m_input.end(), in, in + count);
    Produce(out);
}

void CHalfBandDecimator::Finish(std::vector<float>& out) {
    // Outputs stand on the input samples given, so a count of n gives (n + 1) / 2 of them.
    m_input.insert(m_input.end(), static_cast<size_t>(kReach), 0.0f);
    Produce(out);
}

void CHalfBandDecimator::Produce(std::vector<float>& out) {
    // Output n needs input up to 2n + kReach.
    const int64_t end = m_inputBase + static_cast<int64_t>(m_input.size());
    const int64_t count = end - kReach <= 0 ? 0 : (end - kReach - 1) / 2 + 1 - m_nextOutput;
    if (count <= 0) {
        return;
    }
    // The odd input samples around these outputs side by side: output n weighs odd samples
    // n - k - 1 and n + k with tap k, so each tap runs over a contiguous stretch, which the
    // compiler turns into vector lanes.
    const float* input = m_input.data() + (2 * m_nextOutput - kReach - m_inputBase);
    m_odd.resize(static_cast<size_t>(count + 2 * kOddTaps - 1));
    for (size_t j = 0; j < m_odd.size(); ++j) {
        m_odd[j] = input[2 * j];
    }
    const size_t first = out.size();
    out.resize(first + static_cast<size_t>(count));
    float* sums = out.data() + first;
    const float* centres = input + kReach;
    for (int64_t n = 0; n < count; ++n) {
        sums[n] = kCentreTap * centres[2 * n];
    }
    for (int32_t k = 0; k < kOddTaps; ++k) {
        const float tap = m_taps[static_cast<size_t>(k)];
        AddTap(sums, m_odd.data() + (kOddTaps - k - 1), m_odd.data() + (kOddTaps + k), tap, count);
    }
    m_nextOutput += count;
    // Input that no later output reaches is let go.
    const int64_t drop = 2 * m_nextOutput - kReach - m_inputBase;
    if (drop > 0) {
        m_input.erase(m_input.begin(), m_input.begin() + drop);
        m_inputBase += drop;
    }
}

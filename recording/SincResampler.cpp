#include "recording/SincResampler.h"

#include <cmath>
#include <numbers>
#include <numeric>

#include "recording/KaiserWindow.h"

namespace {
// Kept band to 80 % of the output's half rate; stopped from the output's half rate on, 90 dB
// down (a Kaiser window of beta 8.6). For a tape signal this is plenty; it matches what the
// decoder was tuned on.
constexpr double kPassFraction = 0.8;
constexpr double kStopDecibels = 90.0;
constexpr double kKaiserBeta = 8.6;
constexpr int64_t kMaxPhases = 4096;
constexpr int32_t kLanes = 8;

int64_t GreatestDivisor(int32_t a, int32_t b) {
    return std::gcd(static_cast<int64_t>(a), static_cast<int64_t>(b));
}

double Sinc(double x) {
    return x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
}

}  // namespace

bool CSincResampler::Serves(int32_t inputRate, int32_t outputRate) {
    if (outputRate <= 0 || inputRate <= outputRate) {
        return false;
    }
    return outputRate / GreatestDivisor(inputRate, outputRate) <= kMaxPhases;
}

CSincResampler::CSincResampler(int32_t inputRate, int32_t outputRate) {
    const int64_t divisor = GreatestDivisor(inputRate, outputRate);
    m_up = outputRate / divisor;
    m_down = inputRate / divisor;
    // Cut-off and transition in cycles per input sample.
    const double stop = 0.5 * outputRate / inputRate;
    const double pass = kPassFraction * stop;
    const double cutoff = 0.5 * (pass + stop);
    const double taps = (kStopDecibels - 8.0) / (2.285 * 2.0 * std::numbers::pi * (stop - pass));
    // A whole number of lanes, so that the dot product runs in independent sums.
    m_halfTaps = static_cast<int32_t>(std::ceil(taps / 2.0 / (kLanes / 2)) * (kLanes / 2));
    const int32_t width = 2 * m_halfTaps;
    m_table.resize(static_cast<size_t>(m_up * width));
    for (int64_t phase = 0; phase < m_up; ++phase) {
        float* row = m_table.data() + phase * width;
        const double fraction = static_cast<double>(phase) / static_cast<double>(m_up);
        double sum = 0.0;
        for (int32_t j = 0; j < width; ++j) {
            // Tap j weighs input sample (output time rounded down) - halfTaps + 1 + j.
            const double distance = static_cast<double>(j - m_halfTaps + 1) - fraction;
            const double weight =
                Sinc(2.0 * cutoff * distance) *
                KaiserWindow(distance / static_cast<double>(m_halfTaps), kKaiserBeta);
            row[j] = static_cast<float>(weight);
            sum += weight;
        }
        for (int32_t j = 0; j < width; ++j) {  // unit gain at every phase
            row[j] = static_cast<float>(row[j] / sum);
        }
    }
    // Silence before the first sample, so that the first outputs have their history.
    m_input.assign(static_cast<size_t>(m_halfTaps), 0.0f);
    m_inputBase = -m_halfTaps;
}

void CSincResampler::Feed(const float* in, int32_t count, std::vector<float>& out) {
    m_input.insert(m_input.end(), in, in + count);
    Produce(out);
}

void CSincResampler::Finish(std::vector<float>& out) {
    m_input.insert(m_input.end(), static_cast<size_t>(m_halfTaps), 0.0f);
    Produce(out);
}

void CSincResampler::Produce(std::vector<float>& out) {
    const int32_t width = 2 * m_halfTaps;
    const int64_t end = m_inputBase + static_cast<int64_t>(m_input.size());
    for (;;) {
        const int64_t time = m_nextOutput * m_down;
        const int64_t first = time / m_up - m_halfTaps + 1;
        if (first + width > end) {
            break;
        }
        const float* taps = m_table.data() + (time % m_up) * width;
        const float* samples = m_input.data() + (first - m_inputBase);
        // Eight sums side by side, added at the end: the compiler may then use vector lanes,
        // which one running sum would forbid (float addition is not associative).
        float sums[kLanes] = {};
        for (int32_t j = 0; j < width; j += kLanes) {
            for (int32_t lane = 0; lane < kLanes; ++lane) {
                sums[lane] += taps[j + lane] * samples[j + lane];
            }
        }
        out.push_back(((sums[0] + sums[1]) + (sums[2] + sums[3])) +
                      ((sums[4] + sums[5]) + (sums[6] + sums[7])));
        ++m_nextOutput;
    }
    // Input that no later output reaches is let go.
    const int64_t keepFrom = (m_nextOutput * m_down) / m_up - m_halfTaps + 1;
    const int64_t drop =
        std::min<int64_t>(keepFrom - m_inputBase, static_cast<int64_t>(m_input.size()));
    if (drop > 0) {
        m_input.erase(m_input.begin(), m_input.begin() + drop);
        m_inputBase += drop;
    }
}

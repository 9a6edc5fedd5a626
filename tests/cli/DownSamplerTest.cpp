#include "recording/DownSampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {
std::vector<float> Tone(double hz, int32_t rate, int32_t count) {
    std::vector<float> samples(static_cast<size_t>(count));
    for (int32_t n = 0; n < count; ++n) {
        samples[static_cast<size_t>(n)] =
            static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * hz * n / rate));
    }
    return samples;
}

std::vector<float> DownSample(int32_t rate, const std::vector<float>& in, int32_t piece) {
    CDownSampler converter(rate, 22000);
    std::vector<float> out;
    for (size_t at = 0; at < in.size(); at += static_cast<size_t>(piece)) {
        const size_t count = std::min(in.size() - at, static_cast<size_t>(piece));
        converter.Feed(in.data() + at, static_cast<int32_t>(count), out);
    }
    converter.Finish(out);
    return out;
}

double Loudest(const std::vector<float>& samples, size_t from, size_t to) {
    double loudest = 0.0;
    for (size_t n = from; n < to; ++n) {
        loudest = std::max(loudest, std::abs(static_cast<double>(samples[n])));
    }
    return loudest;
}
}  // namespace

// 44100 and 88200 are halved to 22050, 48000 and 96000 to 24000, and the sinc takes them on to
// 22000; 32000 goes through the sinc alone.
TEST(DownSamplerTest, KeepsTheTapeBandInTimeAndStopsWhatWouldFold) {
    for (const int32_t rate : {44100, 88200, 48000, 96000, 32000}) {
        SCOPED_TRACE(rate);
        const int32_t count = rate;  // one second
        // A 3 kHz tone comes out as the same tone sampled at 22000/s, at the same instants.
        const std::vector<float> band = DownSample(rate, Tone(3000.0, rate, count), count);
        ASSERT_NEAR(static_cast<double>(band.size()), 22000.0, 2.0);
        const std::vector<float> expected = Tone(3000.0, 22000, 22000);
        double worst = 0.0;
        for (size_t n = 200; n < 21800; ++n) {
            worst = std::max(worst, std::abs(static_cast<double>(band[n] - expected[n])));
        }
        EXPECT_LT(worst, 0.005);
        // A 15 kHz tone lies above the output's half rate: it must not fold onto 7 kHz.
        const std::vector<float> above = DownSample(rate, Tone(15000.0, rate, count), count);
        EXPECT_LT(Loudest(above, 200, above.size() - 200), 0.005);
        // The pieces the input comes in change nothing.
        EXPECT_EQ(DownSample(rate, Tone(3000.0, rate, count), 7), band);
    }
}

#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "recording/HalfBandDecimator.h"
#include "recording/SincResampler.h"

// Brings a recording down to the decoder's rate: the rate is halved by a half-band filter while
// the half stays at or above it, and the tabulated sinc takes what is left (44100: halved to
// 22050, then 440/441; 48000: halved to 24000, then 11/12). A halving costs a tenth of what the
// sinc costs from the full rate, and the sinc then runs at half the rate with half the taps.
// The band that reaches the decoder is the one the sinc alone gave (flat to 8.8 kHz, stopped
// from 11 kHz): the plain decoder's pulse limits are set for exactly 22000 samples a second, and
// 44100 taken as 22050 (0.2 % slow) loaded fewer blocks of a tape corpus.
class CDownSampler {
public:
    // Whether this converter serves: the input rate lies above the target and what is left after
    // the halvings is the target or a rate the sinc takes.
    static bool Serves(int32_t inputRate, int32_t targetRate);

    CDownSampler(int32_t inputRate, int32_t targetRate);

    // Takes count input samples and appends the output samples that they complete.
    void Feed(const float* in, int32_t count, std::vector<float>& out);
    // The input has ended: what waits for later input is completed as if silence followed.
    void Finish(std::vector<float>& out);

private:
    // Passes samples through every halving, then the sinc; ended: the input has ended.
    void Pass(const float* in, int32_t count, bool ended, std::vector<float>& out);

    std::vector<CHalfBandDecimator> m_halvings;
    std::vector<std::vector<float>> m_halved;  // the output of each halving, passed on at once
    std::optional<CSincResampler> m_sinc;
};

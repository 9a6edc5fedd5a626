#pragma once

#include <cstdint>
#include <vector>

// Halves the rate of a recording: a half-band low-pass, then every second sample kept. A
// half-band filter has every other tap zero, and the taps run over contiguous odd samples, so an
// output costs a few vector steps. Flat to 0.23 of the input rate (10.1 kHz from 44.1 kHz);
// from 0.27 on (11.9 kHz) 70 dB down, so what folds below the half rate lands above 10.1 kHz,
// where the sinc that follows takes it down.
class CHalfBandDecimator {
public:
    CHalfBandDecimator();

    // Takes count input samples and appends the output samples that they complete: output n
    // stands at input sample 2n, with no delay.
    void Feed(const float* in, int32_t count, std::vector<float>& out);
    // The input has ended: the outputs still waiting for later input are completed as if silence
    // followed.
    void Finish(std::vector<float>& out);

private:
    void Produce(std::vector<float>& out);

    std::vector<float> m_taps;   // the weights of the odd distances 1, 3, 5, ... from the centre
    std::vector<float> m_input;  // pending input; m_input[0] is input sample m_inputBase
    std::vector<float> m_odd;    // the odd input samples that the outputs of a Produce weigh
    int64_t m_inputBase = 0;
    int64_t m_nextOutput = 0;
};

#include "tests/support/TapeSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "model/PulseRenderer.h"

namespace {
// One stretch of constant level on the tape: its length in seconds of tape time and its level.
struct Stretch {
    double seconds = 0.0;
    double level = 0.0;
};

class CStretchList {
public:
    explicit CStretchList(const TapeWear& wear) : m_wear(wear) {}
    void Pulse(double tStates) {
        m_level = -m_level;
        m_stretches.push_back({tStates / CTapeSynth::kClockHz, m_level});
    }
    void Silence(double seconds) {
        if (seconds > 0.0) {
            m_stretches.push_back({seconds, 0.0});
        }
    }
    // After a pause the line rests low, so every block starts with the same polarity.
    void Block(const CTestTape::Block& block) {
        m_level = -1.0;
        const int32_t pilots = block.empty() || block[0] < 0x80 ? CTapeSynth::kHeaderPilotPulses
                                                                : CTapeSynth::kDataPilotPulses;
        for (int32_t i = 0; i < pilots; ++i) {
            Pulse(CTapeSynth::kPilotPulse);
        }
        Pulse(CTapeSynth::kSync1Pulse * m_wear.syncScale);
        Pulse(CTapeSynth::kSync2Pulse * m_wear.syncScale);
        int32_t bitsSent = 0;
        for (uint8_t byte : block) {
            for (int bit = 7; bit >= 0; --bit) {
                const double scale = bitsSent++ < m_wear.scaledBits ? m_wear.bitScale : 1.0;
                Bit((byte >> bit) & 1, scale);
            }
        }
        for (int32_t i = 0; i < m_wear.strayBits; ++i) {
            Bit(1, 1.0);
        }
    }
    void Bit(int32_t bit, double scale) {
        const double pulse = (bit != 0 ? CTapeSynth::kOnePulse : CTapeSynth::kZeroPulse) * scale;
        Pulse(pulse);
        Pulse(pulse);
    }
    // A stretch of tape at its own timing, then its pause.
    void Timed(const BlockBody& block) {
        const RenderedBlock rendered = RenderPulses(block);
        if (rendered.fromRest) {
            m_level = -1.0;
        }
        for (const uint32_t pulse : rendered.pulses) {
            Pulse(pulse);
        }
        Silence(rendered.pauseMs / 1000.0);
    }
    const std::vector<Stretch>& Stretches() const { return m_stretches; }

private:
    const TapeWear& m_wear;
    std::vector<Stretch> m_stretches;
    double m_level = -1.0;
};

// The level sinks to the dropout depth in short stretches at regular intervals.
void DropOut(std::vector<double>& samples, double rate, const TapeWear& wear) {
    if (wear.dropoutEvery <= 0.0) {
        return;
    }
    const auto every = static_cast<size_t>(wear.dropoutEvery * rate);
    const auto length = static_cast<size_t>(wear.dropoutLength * rate);
    for (size_t start = every / 2; start < samples.size(); start += every) {
        for (size_t n = start; n < std::min(samples.size(), start + length); ++n) {
            samples[n] *= wear.dropoutDepth;
        }
    }
}

// Tape time to playback time, with speed error and wow.
std::vector<Stretch> Play(const std::vector<Stretch>& tape, const TapeWear& wear) {
    std::vector<Stretch> played;
    played.reserve(tape.size());
    double now = 0.0;
    for (const Stretch& stretch : tape) {
        const double wow =
            1.0 + wear.wowDepth * std::sin(2.0 * std::numbers::pi * wear.wowHz * now);
        const double seconds = stretch.seconds / (wear.speed * wow);
        played.push_back({seconds, stretch.level});
        now += seconds;
    }
    return played;
}

// The exact mean level over each sample period.
std::vector<double> Integrate(const std::vector<Stretch>& played, double rate) {
    double total = 0.0;
    for (const Stretch& stretch : played) {
        total += stretch.seconds;
    }
    std::vector<double> samples(static_cast<size_t>(std::ceil(total * rate)), 0.0);
    double start = 0.0;
    for (const Stretch& stretch : played) {
        const double end = start + stretch.seconds;
        for (auto n = static_cast<size_t>(start * rate); n < samples.size(); ++n) {
            const double from = std::max(start, static_cast<double>(n) / rate);
            const double to = std::min(end, static_cast<double>(n + 1) / rate);
            if (to <= from) {
                break;
            }
            samples[n] += stretch.level * (to - from) * rate;
        }
        start = end;
    }
    return samples;
}

// A second-order section (RBJ cookbook), Butterworth Q.
class CBiquad {
public:
    CBiquad(double rate, double cornerHz, bool lowPass) {
        const double w = 2.0 * std::numbers::pi * cornerHz / rate;
        const double alpha = std::sin(w) / std::numbers::sqrt2;  // Q = 1/sqrt(2)
        const double cosw = std::cos(w);
        const double a0 = 1.0 + alpha;
        const double b1 = lowPass ? 1.0 - cosw : -(1.0 + cosw);
        m_b0 = (lowPass ? b1 : -b1) / 2.0 / a0;
        m_b1 = b1 / a0;
        m_b2 = m_b0;
        m_a1 = -2.0 * cosw / a0;
        m_a2 = (1.0 - alpha) / a0;
    }
    void Run(std::vector<double>& samples) {
        for (double& x : samples) {
            const double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
            m_x2 = m_x1;
            m_x1 = x;
            m_y2 = m_y1;
            m_y1 = y;
            x = y;
        }
    }

private:
    double m_b0 = 0, m_b1 = 0, m_b2 = 0, m_a1 = 0, m_a2 = 0;
    double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
};

// Box-Muller on a fixed generator, so the noise is the same on every machine.
class CNoise {
public:
    explicit CNoise(uint32_t seed) : m_generator(seed) {}
    double Next() {
        const double u1 = (static_cast<double>(m_generator()) + 1.0) / 4294967297.0;
        const double u2 = static_cast<double>(m_generator()) / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::mt19937 m_generator;
};

std::vector<float> Sound(const std::vector<Stretch>& stretches, double rate, const TapeWear& wear);
}  // namespace

std::vector<float> CTapeSynth::Render(const std::vector<CTestTape::Block>& blocks, double rate,
                                      const TapeWear& wear) {
    CStretchList tape(wear);
    tape.Silence(wear.leadSilence);
    for (size_t i = 0; i < blocks.size(); ++i) {
        tape.Block(blocks[i]);
        tape.Silence(i + 1 < blocks.size() ? wear.pause : wear.trailSilence);
    }
    return Sound(tape.Stretches(), rate, wear);
}

std::vector<float> CTapeSynth::RenderTimed(const std::vector<BlockBody>& blocks, double rate,
                                           const TapeWear& wear) {
    CStretchList tape(wear);
    tape.Silence(wear.leadSilence);
    for (const BlockBody& block : blocks) {
        tape.Timed(block);
    }
    tape.Silence(wear.trailSilence);
    return Sound(tape.Stretches(), rate, wear);
}

namespace {
std::vector<float> Sound(const std::vector<Stretch>& stretches, double rate, const TapeWear& wear) {
    std::vector<double> samples = Integrate(Play(stretches, wear), rate);
    if (wear.wholeSamples) {
        for (double& sample : samples) {
            sample = sample > 0.0 ? 1.0 : (sample < 0.0 ? -1.0 : 0.0);
        }
    }
    DropOut(samples, rate, wear);
    // The hiss is on the tape, so it passes through the same playback response as the signal.
    const double gain = wear.inverted ? -wear.amplitude : wear.amplitude;
    CNoise noise(wear.seed);
    for (double& sample : samples) {
        sample = sample * gain + (wear.noiseRms > 0.0 ? wear.noiseRms * noise.Next() : 0.0);
    }
    if (wear.lowPassHz > 0.0) {
        CBiquad(rate, wear.lowPassHz, true).Run(samples);
        CBiquad(rate, wear.lowPassHz, true).Run(samples);
    }
    if (wear.highPassHz > 0.0) {
        CBiquad(rate, wear.highPassHz, false).Run(samples);
    }
    std::vector<float> out(samples.size());
    for (size_t n = 0; n < samples.size(); ++n) {
        out[n] = static_cast<float>(std::clamp(samples[n], -1.0, 1.0));
    }
    return out;
}
}  // namespace

std::vector<uint8_t> CTapeSynth::ToUnsigned8(const std::vector<float>& samples) {
    std::vector<uint8_t> out(samples.size());
    for (size_t n = 0; n < samples.size(); ++n) {
        const long value = std::lrint(samples[n] * 128.0) + 128;
        out[n] = static_cast<uint8_t>(std::clamp(value, 0L, 255L));
    }
    return out;
}

std::vector<uint8_t> CTapeSynth::RenderForDecoder(const std::vector<CTestTape::Block>& blocks,
                                                  const TapeWear& wear) {
    return ToUnsigned8(Render(blocks, kDecoderRate, wear));
}

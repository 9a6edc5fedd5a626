#pragma once

#include <cstdint>
#include <vector>

#include "model/BlockBody.h"
#include "tests/support/TestTape.h"

// How a played cassette differs from the ideal signal.
struct TapeWear {
    double speed = 1.0;     // playback speed; 1.05 plays 5 % fast
    double wowDepth = 0.0;  // relative speed swing of the wow, 0.01 = +-1 %
    double wowHz = 0.5;
    double lowPassHz = 0.0;   // 0: none; else two second-order low-pass sections
    double highPassHz = 0.0;  // 0: none; else one second-order high-pass section
    double amplitude = 0.6;   // peak level of the square wave, full scale 1.0
    double noiseRms = 0.0;    // Gaussian noise, in full scale units
    bool inverted = false;
    // Each sample at the full level that fills most of it, as a renderer that puts every edge
    // on a whole sample gives it: pulses then come out up to a sample off.
    bool wholeSamples = false;
    uint32_t seed = 1;
    double leadSilence = 0.2;   // seconds of silence before the first leader
    double pause = 1.0;         // seconds between blocks
    double trailSilence = 0.2;  // seconds after the last block (0: cut right after the last bit)
    // Worn or badly mastered edges of a block: the sync pulses stretched by syncScale, the first
    // scaledBits data bits by bitScale, and strayBits 1-bits after the last byte.
    double syncScale = 1.0;
    int32_t scaledBits = 0;
    double bitScale = 1.0;
    int32_t strayBits = 0;
    // Dropouts: every dropoutEvery seconds of playback (0: none) the level sinks to dropoutDepth
    // for dropoutLength seconds.
    double dropoutEvery = 0.0;
    double dropoutLength = 0.004;
    double dropoutDepth = 0.05;
};

// Renders tape blocks as the ZX Spectrum ROM saves them (or at a turbo loader's timing): pilot
// half-periods of 2168 T-states (8063 of them before a block with flag below 128, 3223 before the
// others), sync pulses of 667 and 735, each bit as two equal half-periods of 855 (0) or 1710 (1)
// T-states at 3.5 MHz, then a pause. The square wave is integrated exactly over each output sample
// (box filter), then scaled, given hiss, and band-limited.
class CTapeSynth {
public:
    static constexpr double kClockHz = 3500000.0;
    static constexpr int32_t kPilotPulse = 2168;
    static constexpr int32_t kHeaderPilotPulses = 8063;
    static constexpr int32_t kDataPilotPulses = 3223;
    static constexpr int32_t kSync1Pulse = 667;
    static constexpr int32_t kSync2Pulse = 735;
    static constexpr int32_t kZeroPulse = 855;
    static constexpr int32_t kOnePulse = 1710;
    static constexpr double kDecoderRate = 22000.0;

    // Samples in -1.0 .. 1.0 at the given rate.
    static std::vector<float> Render(const std::vector<CTestTape::Block>& blocks, double rate,
                                     const TapeWear& wear);
    // Stretches of tape at their own timing (turbo and ROM-timed blocks, pure data, tones, pulse
    // sequences, recordings, pauses; a block's pause follows it), as RenderPulses gives them,
    // after wear.leadSilence and before wear.trailSilence; wear.pause is not used.
    static std::vector<float> RenderTimed(const std::vector<BlockBody>& blocks, double rate,
                                          const TapeWear& wear);
    // -1.0 .. 1.0 to unsigned 8 bits, silence at 128.
    static std::vector<uint8_t> ToUnsigned8(const std::vector<float>& samples);
    // The samples as the decoder takes them: unsigned 8 bits at 22000 per second.
    static std::vector<uint8_t> RenderForDecoder(const std::vector<CTestTape::Block>& blocks,
                                                 const TapeWear& wear);
};

#pragma once

#include <cstdint>
#include <vector>

// Test signals for the decoder, made here so that the tests need no recorded audio.
//
// Tape signals follow the ROM saving routine at 3.5 MHz (pulse lengths in T-states), rendered to
// unsigned 8-bit samples at 22000 per second the way a sound card would deliver them: each sample
// is the average of the square wave over its interval, then low-pass smoothing, a slow high-pass
// (AC coupling, so pauses settle at 128), and Gaussian noise.
namespace tape_signal {

inline constexpr int64_t kPilotPulse = 2168;
inline constexpr int64_t kSync1Pulse = 667;
inline constexpr int64_t kSync2Pulse = 735;
inline constexpr int64_t kZeroPulse = 855;
inline constexpr int64_t kOnePulse = 1710;
inline constexpr int32_t kHeaderPilotPulses = 8063;
inline constexpr int32_t kDataPilotPulses = 3223;
inline constexpr double kClockHz = 3500000.0;

struct Shape {
    double sampleRate = 22000.0;
    double speed = 1.0;       // > 1 plays fast
    double amplitude = 90.0;  // half the peak-to-peak swing, in sample levels
    double smoothing = 0.55;  // one-pole low-pass coefficient per sample (1 = none)
    double noise = 0.0;       // standard deviation, in sample levels
    double coupling = 0.02;   // one-pole high-pass coefficient per sample: tops droop
                              // after each edge, as played tape does
    bool invert = false;
    uint32_t seed = 1;
};

// flag, payload, then the XOR checksum.
std::vector<uint8_t> MakeBlock(uint8_t flag, const std::vector<uint8_t>& payload);
// A 17-byte header block of the given type and name (padded to 10 characters), with flag 0.
std::vector<uint8_t> MakeHeader(uint8_t type, const char* name, uint16_t length);
// Pseudo-random payload bytes.
std::vector<uint8_t> RandomBytes(int32_t count, uint32_t seed);

// Appends the pulses of one block (pilot, sync, data bits) and a pause of pauseMs.
void AppendBlockPulses(std::vector<int64_t>& pulses, const std::vector<uint8_t>& block,
                       int32_t pauseMs);
// Samples of the pulses (the level toggles after each pulse).
std::vector<uint8_t> Render(const std::vector<int64_t>& pulses, const Shape& shape);
// A whole tape: for each block its pulses and a pause, rendered.
std::vector<uint8_t> RenderTape(const std::vector<std::vector<uint8_t>>& blocks, const Shape& shape,
                                int32_t pauseMs = 1000);

// A clean triangle wave whose troughs are exactly `periods` samples apart: each period rises for
// half its length from `low` to `high` and falls for the rest; it starts at a trough.
std::vector<uint8_t> TrianglePeriods(const std::vector<int32_t>& periods, int32_t low = 60,
                                     int32_t high = 200);
// The periods of one block as the recognizer measures them at 22000 samples per second, for a
// clean signal: `leader` periods of 27, a sync of 9, then 10 for a 0 bit and 19 for a 1 bit.
std::vector<int32_t> BlockPeriods(const std::vector<uint8_t>& block, int32_t leader = 40);

}  // namespace tape_signal

#pragma once

#include <cstdint>

#include "decoder/dump/CaptureRate.h"

// Prepares a tape signal for the extremum tracker in the robust mode.
//
// A one-pole low-pass at 200 Hz acts as a leaky integrator on the tape's square wave: each
// turning point of its output lands on an edge of the wave, where hiss cannot move it, instead of
// on a flat top full of noise. An automatic gain then centres the result on 128 and scales its
// recent envelope to about +-60, so weak, offset or clipped recordings all reach the tracker at
// one level. The output never touches 0 or 255, which the tracker treats as clipped.
//
// State carries over from one call to the next, so a signal may come in pieces of any size.
class CSignalConditioner {
public:
    static constexpr double kCornerHz = 200.0;
    static constexpr double kSampleRate = kCaptureRate;
    static constexpr float kLevelSamples = 2200.0f;  // time constant of level and envelope
    static constexpr float kTargetSwing = 60.0f;     // envelope mapped to this many steps
    static constexpr float kMaxGain = 64.0f;         // silence is not blown up beyond this

    // Conditions count samples from `in` into `out` (which may be `in`).
    void Process(const uint8_t* in, int32_t count, uint8_t* out);

private:
    float m_smoothed = 0.0f;  // y, centred on silence
    float m_level = 0.0f;     // slow mean of y
    float m_envelope = 0.0f;  // recent peak of |y - mean|
};

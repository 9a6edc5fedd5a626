#pragma once

#include <cstdint>

// Where a block lies in the recording it was read from: its first sample and how many samples it
// covers, at the rate the decoder read them. A block that was not read from a recording (loaded
// from a tape image, or made by hand) has no span: sampleRate is 0.
struct TapeSpan {
    int64_t firstSample = 0;
    int64_t sampleCount = 0;
    int32_t sampleRate = 0;

    bool Known() const { return sampleRate > 0; }
    double StartSeconds() const { return Known() ? double(firstSample) / sampleRate : 0.0; }
    double Seconds() const { return Known() ? double(sampleCount) / sampleRate : 0.0; }

    friend bool operator==(const TapeSpan&, const TapeSpan&) = default;
};

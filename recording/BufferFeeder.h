#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "decoder/core/SignalReading.h"

#include "decoder/dump/CaptureRate.h"

class CSampleDecoder;

// Hands samples to the decoder the way the desktop program does: in buffers of one second
// (22000 samples), each followed by the calibration step that the signal indicator runs after
// every buffer, so that both load the same blocks from the same signal. Samples may arrive in
// pieces of any size; a piece can also be read straight into the buffer (Space, then Commit).
class CBufferFeeder {
public:
    static constexpr int32_t kBufferSamples = kCaptureRate;

    explicit CBufferFeeder(CSampleDecoder& decoder);

    // Called after each decoded buffer with its calibration reading (the desktop program's
    // signal indicator and Signal window follow a recording through it).
    void SetBufferHook(std::function<void(SignalReading reading)> hook) {
        m_bufferHook = std::move(hook);
    }

    // Where the next samples go, and how many fit before the buffer is decoded.
    uint8_t* Space() { return m_buffer.data() + m_filled; }
    int32_t SpaceCount() const { return kBufferSamples - m_filled; }
    // Takes count samples written into Space(); a full buffer is decoded at once.
    void Commit(int32_t count);
    // Copies the samples in and decodes every buffer that fills.
    void Append(const uint8_t* samples, int32_t count);

    // The end of the signal: decodes the partly filled buffer, tells the decoder that the signal
    // ended (archive mode then hands on what it holds back) and, when a block is still being
    // read, plays at most one second of a quiet, slow wave after it. A recording cut right after
    // its last bit then still ends its last block: the recognizer ends a block only on a period
    // outside both bit ranges, and a flat line has no turning points, so no periods at all.
    void Finish();

    int64_t SamplesDecoded() const { return m_decoded; }
    // Samples of the closing wave that Finish played (0 when no block was open).
    int32_t ClosingSamples() const { return m_closingSamples; }

private:
    void DecodeBuffer();
    void PlayClosingWave();

    CSampleDecoder& m_decoder;
    std::function<void(SignalReading reading)> m_bufferHook;
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(kBufferSamples);
    int32_t m_filled = 0;
    int64_t m_decoded = 0;
    int32_t m_closingSamples = 0;
};

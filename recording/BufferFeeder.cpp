#include "recording/BufferFeeder.h"

#include <algorithm>
#include <cstring>

#include "decoder/SampleDecoder.h"

namespace {
// The closing wave: a triangle around silence, one step per sample between 112 and 144, so a
// period of 64 samples, longer than any bit or leader period. Strictly monotonic ramps give
// exactly one turning point per half period; 32 samples between turning points lets the noise
// filter's threshold decay to nothing, so the wave's turning points are taken however loud the
// tape was just before.
constexpr int32_t kClosingLow = 112;
constexpr int32_t kClosingHigh = 144;
constexpr int32_t kClosingPiece = 64;
constexpr int32_t kClosingLimit = CBufferFeeder::kBufferSamples;  // at most one second
}  // namespace

CBufferFeeder::CBufferFeeder(CSampleDecoder& decoder) : m_decoder(decoder) {}

void CBufferFeeder::Commit(int32_t count) {
    m_filled += count;
    if (m_filled == kBufferSamples) {
        DecodeBuffer();
    }
}

void CBufferFeeder::Append(const uint8_t* samples, int32_t count) {
    while (count > 0) {
        const int32_t piece = std::min(count, SpaceCount());
        std::memcpy(Space(), samples, static_cast<size_t>(piece));
        samples += piece;
        count -= piece;
        Commit(piece);
    }
}

void CBufferFeeder::Finish() {
    if (m_filled > 0) {
        DecodeBuffer();
    }
    m_decoder.EndSignal();
    if (m_decoder.IsReadingBlock()) {
        PlayClosingWave();
    }
}

void CBufferFeeder::DecodeBuffer() {
    m_decoder.ProcessBuffer(m_buffer.data(), m_filled);
    // The signal indicator's step after each buffer: it may still move limits when the
    // recognizer left the calibration armed.
    const SignalReading reading = m_decoder.Calibrate();
    m_decoded += m_filled;
    m_filled = 0;
    if (m_bufferHook) {
        m_bufferHook(reading);
    }
}

void CBufferFeeder::PlayClosingWave() {
    uint8_t piece[kClosingPiece];
    int32_t level = 128;
    int32_t step = 1;
    while (m_closingSamples < kClosingLimit && m_decoder.IsReadingBlock()) {
        for (uint8_t& sample : piece) {
            sample = static_cast<uint8_t>(level);
            if (level + step > kClosingHigh || level + step < kClosingLow) {
                step = -step;
            }
            level += step;
        }
        m_decoder.ProcessBuffer(piece, kClosingPiece);
        m_closingSamples += kClosingPiece;
    }
}

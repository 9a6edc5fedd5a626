#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "decoder/core/DecoderRecord.h"
#include "decoder/dump/CaptureRate.h"

class CRecordSink;
struct DecoderSettings;

// The raw buffer dump and its replay, shared by the plain and the robust decoder: each buffer goes
// to the next file "%s.%03d" of baseName and fileIndex, and a replay reads the next file back in
// whole chunks of 22000 samples.
class CBufferDump {
public:
    static constexpr int32_t kChunk = kCaptureRate;
    using Consumer = std::function<void(const uint8_t* samples, int32_t count)>;

    explicit CBufferDump(CRecordSink* sink) : m_pSink(sink) {}

    // Writes the buffer to the next file and advances fileIndex.
    void Dump(DecoderSettings& settings, const uint8_t* samples, int32_t count);
    // Hands the whole chunks of the next file to `consume` and advances fileIndex.
    void Replay(DecoderSettings& settings, const Consumer& consume);

private:
    static std::string NextFileName(DecoderSettings& settings);
    void Note(record::DumpNote::Kind kind, const std::string& name, int64_t bytes = 0);

    CRecordSink* m_pSink;
    std::vector<uint8_t> m_chunk;
};

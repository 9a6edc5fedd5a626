#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "decoder/core/DecoderRecord.h"
#include "decoder/dump/CaptureRate.h"
#include "decoder/dump/DumpSettings.h"

class CRecordSink;

// The raw buffer dump and its replay, shared by the plain and the robust decoder: each buffer goes
// to the next file "%s.%03d" of the base name and the running file number, and a replay reads the
// next file back in whole chunks of 22000 samples. The running number is the dump's state: it
// starts at the settings' fileIndex and grows by one per file, whether or not the file could be
// written or read.
class CBufferDump {
public:
    static constexpr int32_t kChunk = kCaptureRate;
    using Consumer = std::function<void(const uint8_t* samples, int32_t count)>;

    explicit CBufferDump(CRecordSink* sink) : m_pSink(sink) {}

    // New settings from the user. A series (base name and first number) is taken when dumping or
    // replaying is switched on, or while neither runs; a mode that goes on running keeps its own
    // series and its count, which may have moved on since the user saw it.
    void Configure(const DumpSettings& settings);
    // The settings in force, with fileIndex the number of the next file.
    DumpSettings Now() const;
    bool Dumping() const { return m_settings.dump && !m_settings.fromFile; }
    bool Replaying() const { return m_settings.fromFile; }

    // Writes the buffer to the next file.
    void Dump(const uint8_t* samples, int32_t count);
    // Hands the whole chunks of the next file to `consume`.
    void Replay(const Consumer& consume);

private:
    std::string NextFileName();
    void Note(record::DumpNote::Kind kind, const std::string& name, int64_t bytes = 0);

    CRecordSink* m_pSink;
    DumpSettings m_settings;
    int32_t m_nextFile = 0;
    std::vector<uint8_t> m_chunk;
};

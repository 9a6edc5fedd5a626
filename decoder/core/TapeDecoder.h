#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/core/BlockRecognizer.h"
#include "decoder/core/DecoderRecord.h"
#include "decoder/core/DecoderSettings.h"
#include "decoder/core/FastRing.h"
#include "decoder/core/RecordSink.h"
#include "decoder/core/TimedValue.h"
#include "decoder/dump/BufferDump.h"
#include "decoder/dump/DumpSettings.h"

class SignalSnapshot;

// Turns buffers of unsigned 8-bit samples (22000 per second, silence near 128) into tape blocks.
// It follows the wave sample by sample, marks its peaks and troughs through a relative noise
// filter, and hands their times to the embedded CBlockRecognizer. Everything it reports goes as
// records to the sink given at construction (not owned, must outlive the decoder).
//
// Decoding is continuous: sample time, histories and recognizer state carry over from one buffer
// to the next and across a switch between sound input and dump files. Several decoders may run
// side by side; none shares state with another.
class CTapeDecoder {
public:
    static constexpr int32_t kSampleHistory = 400;   // samples kept for display
    static constexpr int32_t kExtremumHistory = 40;  // peaks and troughs kept for display
    static constexpr int32_t kRejectRunLimit =
        100;  // rejections in a row before the filter gives way

    explicit CTapeDecoder(CRecordSink* sink, const DecoderSettings& settings = {});
    // A decoder whose first sample is taken at `firstSampleTime`: it continues the time base of an
    // earlier run (long-run tests start just before 2^31 this way).
    CTapeDecoder(CRecordSink* sink, int64_t firstSampleTime, const DecoderSettings& settings = {});
    CTapeDecoder(const CTapeDecoder&) = delete;
    CTapeDecoder& operator=(const CTapeDecoder&) = delete;
    virtual ~CTapeDecoder();

    // New settings from the user, between buffers: the pulse limits start again from theirs.
    void Reconfigure(const DecoderSettings& settings);
    const DecoderSettings& Settings() const { return m_settings; }
    // The pulse limits in force now: the configured ones as the calibration moved them, or the
    // defaults once a block has ended or a sync failed.
    const PulseLimits& Limits() const { return m_recognizer.Limits(); }
    // Dump and replay of the raw buffers (CBufferDump::Configure says what is taken when).
    void ConfigureDump(const DumpSettings& dump) { m_bufferDump.Configure(dump); }
    DumpSettings DumpNow() const { return m_bufferDump.Now(); }

    // One filled sound buffer: dumped to the next dump file when dumping, then decoded; while
    // replaying the buffer is ignored and the next dump file is decoded instead.
    void ProcessBuffer(const uint8_t* samples, int32_t count);
    // One sample (0 to 255), taken through every step of the tracker without looking ahead.
    // ProcessBuffer gives the same results faster; this is the one-sample entry for tests and for
    // callers that have single samples.
    void AddSample(int32_t s);
    // Decodes the next dump file ("%s.%03d" of the base name and the running file number).
    void ReplayNextFile();

    // Replaces the snapshot's content with copies of the last 400 samples, 40 peaks, 40 troughs
    // and the period histogram.
    void CaptureSnapshot(SignalSnapshot& snapshot) const;
    // Reports the last 13 full periods for the debug output, oldest first (nothing before 29
    // extremums).
    void LogIntervals() const;
    // The signal at a failure: a snapshot, and the last 13 full periods.
    record::ErrorScene CaptureErrorScene() const;
    // The recognizer's calibration reading, as the signal indicator takes it after each buffer.
    SignalReading Calibrate();
    // A sync was found and data bits are being read.
    bool IsReadingBlock() const;
    // Samples taken so far (the time of the next one).
    int64_t SampleTime() const { return m_sampleTime; }
    // Samples fed at the start that repeated the very first one: they took no time, so the
    // sample fed at time t is sample t + UncountedSamples() of the recording.
    int64_t UncountedSamples() const { return m_uncountedSamples; }

    void Report(const DecoderRecord& record) const { m_pSink->Report(record); }
    CBlockRecognizer& Recognizer() { return m_recognizer; }
    const CBlockRecognizer& Recognizer() const { return m_recognizer; }
    bool Rising() const { return m_rising; }
    int32_t RejectRun() const { return m_rejectRun; }
    bool StreamStarted() const { return m_streamStarted; }

private:
    using ExtremumRing = FastRing<TimedValue, 64>;
    static constexpr int32_t kHistorySlots = 512;
    // ProcessBuffer looks ahead in chunks of this many samples.
    static constexpr int32_t kChunk = 2048;
    using ChunkBits = std::array<uint64_t, kChunk / 64>;
    // The wave-processing settings as the filter uses them.
    struct WaveSettings {
        int64_t filter = 0;
        int64_t delay = 0;
        int64_t decayPercent = 0;
    };
    struct Verdict {
        bool rejected = false;
        bool beyond = false;  // the candidate lies beyond the reference extremum
    };

    void FeedSamples(const uint8_t* data, int32_t count);
    void MarkOnwardSamples(const uint8_t* data, int32_t from, int32_t to, int32_t before);
    template <bool kRising>
    int32_t FollowRuns(const uint8_t* pending, int32_t from, int32_t chunk, int32_t end);
    static int32_t NextStop(const ChunkBits& onward, int32_t offset);
    void TakeQuietSamples(const uint8_t* pending, int32_t to);
    void TrackStoredSample(int32_t s, int32_t v);
    template <bool kRising>
    void Follow(int32_t v, const TimedValue& prev, bool allowed, const WaveSettings& wave);
    bool FilterAllowed() const;
    bool RejectExtremum(bool rising, TimedValue& lastTrough, TimedValue& lastPeak,
                        const TimedValue& candidate);
    WaveSettings EffectiveWave() const;
    static Verdict Judge(bool rising, const TimedValue& lastTrough, const TimedValue& lastPeak,
                         const TimedValue& candidate, const WaveSettings& wave);
    void DragReference(TimedValue& reference, const TimedValue& candidate);
    static bool BelowThreshold(int64_t excursion, int64_t elapsed, int64_t swing,
                               const WaveSettings& wave);
    void AcceptPeak(const TimedValue& peak);
    void AcceptTrough(const TimedValue& trough);
    uint8_t StoredSample(int64_t index) const;
    void FlushPending(int32_t count);
    void StoreHistory(const uint8_t* samples, int64_t first, int32_t count);
    std::vector<int64_t> LastPeriodEnds() const;

    CRecordSink* m_pSink;
    DecoderSettings m_settings;
    int64_t m_sampleTime = 0;
    bool m_rising = true;
    int64_t m_timeOrigin = 0;  // time of the first sample
    int64_t m_uncountedSamples = 0;
    // Samples stored so far: every sample that was not dropped at start-up. Sample number k was
    // taken at time m_timeOrigin + k.
    int64_t m_storedCount = 0;
    int32_t m_newestValue = 0;  // the newest stored sample, as it came
    // The last stored samples by number, for snapshots; while a buffer is being decoded its
    // samples are read from the buffer itself (m_pPending, from sample m_pendingFirst on).
    std::array<uint8_t, kHistorySlots> m_history{};
    const uint8_t* m_pPending = nullptr;
    int64_t m_pendingFirst = 0;
    ExtremumRing m_peaks;
    ExtremumRing m_troughs;
    int32_t m_rejectRun = 0;
    bool m_streamStarted = false;
    // For each sample of the current chunk: it lies above its predecessor and is not clipped
    // (m_riseBits), or below it and not clipped (m_fallBits).
    ChunkBits m_riseBits{};
    ChunkBits m_fallBits{};
    CBufferDump m_bufferDump{m_pSink};
    CBlockRecognizer m_recognizer{this};
};

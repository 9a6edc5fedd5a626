#pragma once

#include <cstdint>
#include <vector>

#include "decoder/SampleDecoder.h"
#include "decoder/archive/ArchiveQueue.h"
#include "decoder/archive/PulseTracker.h"
#include "decoder/archive/RateDecimator.h"
#include "decoder/archive/RomBlockInbox.h"
#include "decoder/robust/RobustDecoder.h"
#include "model/MachineConstants.h"

// Archive mode: keeps the whole tape, not only its ROM-speed blocks. The samples, at the input's
// own rate, go two ways. Brought to 22000 per second, they feed a robust-mode decoder in buffers
// of a second, so ROM-timed blocks load exactly as robust mode loads them. As they are, they feed
// a CPulseTracker whose pulses gather into stretches between silences; at each silence a
// CStretchParser reads the stretch as turbo blocks, pure data, tones, pulses and recordings, each
// with its measured timing. A CArchiveQueue merges both in tape order; the silence after a piece
// becomes its pause, or a Pause of its own.
//
// What is tape: a stretch counts only when a steady tone or data (bits in two lengths) is in it;
// a stretch of anything else on its own is hiss or clicks and becomes part of the silence around
// it. A recording with no tape therefore gives at most pauses, and those only between stretches
// of tape.
class CArchiveDecoder final : public CSampleDecoder {
public:
    // Silence after the last piece is measured this long before the piece is handed on; longer
    // silence becomes a Pause when the signal resumes. Tapes pause a few seconds between blocks,
    // and each pause belongs whole to the block before it.
    static constexpr double kSettleTStates = 8.0 * spectrum::kClockHz;
    // A stretch longer than this (a 64 KB block at 2x ROM speed is half of it) is read as it is,
    // so memory stays bounded whatever the input.
    static constexpr size_t kMaxStretchPulses = 2000000;

    CArchiveDecoder(CRecordSink* owner, int32_t sampleRate, const DecoderSettings& settings = {});
    CArchiveDecoder(const CArchiveDecoder&) = delete;
    CArchiveDecoder& operator=(const CArchiveDecoder&) = delete;

    void Reconfigure(const DecoderSettings& settings) override;
    const DecoderSettings& Settings() const override { return m_settings; }
    // The limits given: the inner robust decoder calibrates its own.
    PulseLimits Limits() const override { return m_settings; }
    // Kept for the mode that follows; this mode neither dumps nor replays.
    void ConfigureDump(const DumpSettings& dump) override { m_dump = dump; }
    DumpSettings DumpNow() const override { return m_dump; }

    void ProcessBuffer(const uint8_t* samples, int32_t count) override;
    // The inner robust decoder's reading after its latest buffer.
    SignalReading Calibrate() override { return m_reading; }
    bool IsReadingBlock() const override;
    void EndSignal() override;
    void CaptureSnapshot(SignalSnapshot& snapshot) const override;

private:
    void TakeEvents();
    void CloseStretch(bool endsInSilence, StretchLook look = {});
    void FeedRobust(const uint8_t* samples, int32_t count);
    void RunRobustBuffer(int32_t count);
    void PlayClosingWave();
    // Input time before which the ROM decoders have reported every block.
    double RomSettledT() const;

    CRecordSink* m_owner;
    DecoderSettings m_settings;
    DumpSettings m_dump;
    CRomBlockInbox m_inbox{m_owner};
    CRobustDecoder m_robust{&m_inbox, m_settings};
    CRateDecimator m_decimator;
    std::vector<uint8_t> m_robustBuffer;
    SignalReading m_reading{};
    CPulseTracker m_tracker;
    std::vector<PulseEvent> m_events;
    std::vector<float> m_stretch;
    double m_edgeT = 0.0;          // the latest edge
    double m_stretchStartT = 0.0;  // the first edge of the open stretch
    double m_silenceCarry = 0.0;   // hiss and silence not yet given to the queue
    double m_settledT = 0.0;       // of the current silence, already given to the queue
    CArchiveQueue m_queue;
    bool m_ended = false;
};

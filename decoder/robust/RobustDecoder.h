#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "decoder/SampleDecoder.h"
#include "decoder/core/DecoderOwner.h"
#include "decoder/core/TapeDecoder.h"
#include "decoder/dump/BufferDump.h"
#include "decoder/robust/BlockSequence.h"
#include "decoder/robust/EpisodeMerger.h"
#include "decoder/robust/EpisodeRecorder.h"
#include "decoder/robust/SignalConditioner.h"

// The robust mode, for noisy, worn and inverted recordings. The samples pass a CSignalConditioner
// and then two CTapeDecoder, one taking periods trough to trough and one peak to peak, so the
// polarity of the recording does not matter. A third CTapeDecoder reads the samples as they come
// with the user's own settings, as the plain mode would: the conditioner's integrator shrinks the
// 0-bit swings of a dull recording below what the other two see, and this mode must load every
// block that the plain mode loads. Their reports are merged (CEpisodeMerger) so that the owner
// hears of each block once, of a read error only where no decoder loaded a block, and in the
// same words as from one plain decoder. A loaded block reaches the owner at the end of the buffer
// in which it loaded, or of the next one when another decoder is still reading there (longer,
// when that one has already read more bytes: the block is then a fragment of what it reads). A
// failure waits until no decoder reads that stretch any more.
//
// The pulse limits and calibration switches of the settings reach all three decoders when the user
// changes them (Reconfigure); the conditioned pair keeps the mode's own wave processing
// (kFilterPercent, kDelay, kDecayPercent, both kinds of extremum), the third takes the user's.
// Each inner decoder calibrates its own limits. Dump and replay work on the samples as they come,
// before conditioning.
class CRobustDecoder final : public CSampleDecoder {
public:
    // After the conditioner's integrator a 0-bit swing is about half a 1-bit swing, so the filter
    // must let through turning points of half the previous swing.
    static constexpr int32_t kFilterPercent = 65;
    static constexpr int32_t kDelay = 2;
    static constexpr int32_t kDecayPercent = 4;

    explicit CRobustDecoder(CRecordSink* sink, const DecoderSettings& settings = {});
    CRobustDecoder(const CRobustDecoder&) = delete;
    CRobustDecoder& operator=(const CRobustDecoder&) = delete;

    // An inner decoder is given new settings only when its own change, so that a calibration in
    // progress is not undone by a change that does not concern it.
    void Reconfigure(const DecoderSettings& settings) override;
    const DecoderSettings& Settings() const override { return m_settings; }
    // The limits given: the inner decoders calibrate their own.
    PulseLimits Limits() const override { return m_settings; }
    void ConfigureDump(const DumpSettings& dump) override { m_bufferDump.Configure(dump); }
    DumpSettings DumpNow() const override { return m_bufferDump.Now(); }

    void ProcessBuffer(const uint8_t* samples, int32_t count) override;
    // All decoders' calibration steps; the reading of the conditioned one that is reading a block
    // (the trough-to-trough one when neither is).
    SignalReading Calibrate() override;
    bool IsReadingBlock() const override;
    // The conditioned signal, as the trough-to-trough decoder sees it.
    void CaptureSnapshot(SignalSnapshot& snapshot) const override;

    // The earliest sample time (in samples fed) that a report still to come may cover: what lies
    // before it has been reported.
    int64_t SettledBefore() const;
    // While a loaded block is handed to the owner: the samples from its sync (less
    // CEpisodeRecorder::kSyncLead) to where it was reported; nothing at other times.
    std::optional<std::pair<int64_t, int64_t>> ReportedSpan() const;

    // The inner decoders: 0 trough to trough, 1 peak to peak (both conditioned), 2 the plain one.
    const CTapeDecoder& Inner(int32_t index) const;

private:
    // Samples fed to an inner decoder between two looks at the block it may have just loaded:
    // well within the 1024 extremums it keeps.
    static constexpr int32_t kWatchChunk = 256;

    void Decode(const uint8_t* samples, int32_t count);
    void Feed(CTapeDecoder& decoder, CEpisodeRecorder& recorder, const uint8_t* samples,
              int32_t count) const;
    void Settle(int64_t deadline);

    CRecordSink* m_pOwner;
    DecoderSettings m_settings;
    CBufferDump m_bufferDump{m_pOwner};
    CSignalConditioner m_conditioner;
    std::vector<uint8_t> m_conditioned;
    CBlockSequence m_sequence;  // what all three decoders loaded lately
    CEpisodeRecorder m_troughRecorder{0, &m_sequence};
    CEpisodeRecorder m_peakRecorder{1, &m_sequence};
    CTapeDecoder m_troughDecoder{&m_troughRecorder};
    CTapeDecoder m_peakDecoder{&m_peakRecorder};
    CEpisodeRecorder m_plainRecorder{2, &m_sequence};
    CTapeDecoder m_plainDecoder{&m_plainRecorder};
    CEpisodeMerger m_merger{m_pOwner};
    // Samples fed to the inner decoders so far: the time by which episodes are dated.
    int64_t m_fed = 0;
    // Sample time at the start of the latest buffer: what ended before it is reported by now.
    int64_t m_bufferStart = 0;
};

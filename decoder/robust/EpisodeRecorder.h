#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "decoder/core/RecordSink.h"
#include "decoder/robust/BlockSequence.h"
#include "decoder/robust/DecodeEpisode.h"
#include "decoder/robust/PulseEvidence.h"

class CTapeDecoder;

// The sink of one of the robust mode's inner decoders. It passes nothing on: it keeps every record
// and groups the records into episodes, each with the stretch of samples it covers, for the
// merger to judge.
//
// Records come while the decoder works through a buffer, so the decoder's sample time at a record
// is where the signal has got to. An episode of a block opens at the first record made in the
// data state (the sync) and closes with the block or its read error; a bad sync is one record.
//
// It also judges each block by its pulses (CPulseEvidence): a run of one byte value whose bits
// do not have ROM timing against the pilot before it is a pilot or a faster loader misread, and
// is dropped; so is a block after which ROM bits went on, as a glitch broke it off; a read error
// that CBlockRepair can mend, with the length and flag known from the header before it
// (CBlockSequence) or a header's own, becomes a loaded block whose verdict says what was mended.
class CEpisodeRecorder final : public CRecordSink {
public:
    // The recognizer classifies periods four behind the signal, and the leader before a sync is
    // at least 31 periods long: an episode reaches back this far before its first call, which
    // covers its sync whichever kind of extremum its decoder counts from.
    static constexpr int64_t kSyncLead = 200;

    // `sequence` (not owned, may be shared with other recorders) learns the blocks loaded here
    // and tells which block a failed one should have been.
    CEpisodeRecorder(int32_t source, CBlockSequence* sequence)
        : m_source(source), m_pSequence(sequence) {}

    // The decoder whose reports come here; its sample time dates them.
    void Attach(const CTapeDecoder* decoder) { m_pDecoder = decoder; }
    // A decoder does not count the samples that repeat its very first one, so decoders fed
    // different signals count differently: this is added to the decoder's sample time to date
    // episodes by the samples fed, the same for every decoder.
    void SetClockOffset(int64_t offset) { m_clockOffset = offset; }

    void Report(const DecoderRecord& record) override;

    // The episodes closed since the last call, oldest first.
    std::vector<DecodeEpisode> TakeClosed();
    // The earliest sample that an episode still to close may cover: the start of the open
    // episode, or, when none is open, the earliest start that a new one could have.
    int64_t Frontier() const;
    // Bytes read so far by the block being read, 0 when none is.
    int32_t OpenBytes() const;
    // A loaded block is held back until the decoder has seen whether its bits went on after it
    // (CPulseEvidence::BitsWentOn); call this as the decoder advances to close it when known.
    void Watch();
    // A loaded block is waiting for Watch.
    bool Watching() const { return m_watching; }

private:
    void Open(DecodeEpisode::Kind kind);
    void Close();
    int64_t Now() const;
    void OnBlock();
    void OnReadError();
    bool IsMisreadRun() const;
    void EndWatch(bool brokenOff);
    bool Mend(const record::ReadError& error);

    const CTapeDecoder* m_pDecoder = nullptr;
    int32_t m_source = 0;
    int64_t m_clockOffset = 0;
    CBlockSequence* m_pSequence;
    std::optional<DecodeEpisode> m_open;
    bool m_dropAtClose = false;  // the open block is a misread run
    bool m_watching =
        false;  // the open block is loaded (its last record), its ending not yet judged
    int64_t m_blockEnd = 0;     // when the watched block ended
    CPulseEvidence m_evidence;  // of the open block
    std::vector<DecodeEpisode> m_closed;
};

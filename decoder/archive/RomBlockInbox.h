#pragma once

#include <cstdint>
#include <vector>

#include "decoder/core/RecordSink.h"

class CRobustDecoder;

// Stands between archive mode's inner robust decoder and the real owner. Loaded blocks are held
// back with the stretch of samples they came from, so that archive mode can put them in tape
// order among its own stretches and drop those it read itself or that misread its own data; so
// are read errors, which archive mode lists only where it kept no data of its own. Their news (the
// status text, the error's picture of the signal) is held with them and goes out only with what
// is kept: a block reported loaded that the list does not hold would mislead. Every other record
// reaches the owner as it comes.
class CRomBlockInbox final : public CRecordSink {
public:
    // A loaded block, or a read error, and the robust decoder's sample times (at 22000 per
    // second) of its sync, less CEpisodeRecorder::kSyncLead, and of its report.
    struct HeldBlock {
        std::vector<uint8_t> bytes;  // empty for a read error
        int64_t start = 0;
        int64_t end = 0;
        bool failed = false;
        int32_t bytesRead = 0;  // of a read error
        int32_t firstByte = -1;
        // The BlockLoaded or ReadError, its row left to archive mode.
        DecoderRecord news;
    };

    explicit CRomBlockInbox(CRecordSink* owner) : m_owner(owner) {}
    // The decoder whose blocks come here, asked where each one lies (not owned).
    void Follow(const CRobustDecoder* decoder) { m_pDecoder = decoder; }

    void Report(const DecoderRecord& record) override;

    // The blocks and read errors held since the last call, oldest first.
    std::vector<HeldBlock> Take();

private:
    void Hold(HeldBlock block);

    CRecordSink* m_owner;
    const CRobustDecoder* m_pDecoder = nullptr;
    std::vector<HeldBlock> m_blocks;
};

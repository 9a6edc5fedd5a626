#pragma once

#include <cstdint>
#include <vector>

#include "decoder/core/DecoderOwner.h"

class CRobustDecoder;

// Stands between archive mode's inner robust decoder and the real owner. Loaded blocks are held
// back with the stretch of samples they came from, so that archive mode can put them in tape
// order among its own stretches and drop those it read itself; so are read-error entries, which
// archive mode lists only where it kept no data of its own. Everything else reaches the owner as
// it comes.
class CRomBlockInbox final : public CDecoderOwner {
public:
    // A loaded block, or a read error, and the robust decoder's sample times (at 22000 per
    // second) of its sync, less CEpisodeRecorder::kSyncLead, and of its report.
    struct RomBlock {
        std::vector<uint8_t> bytes;  // empty for a read error
        int64_t start = 0;
        int64_t end = 0;
        bool failed = false;
        int32_t bytesRead = 0;  // of a read error
        int32_t firstByte = -1;
    };

    explicit CRomBlockInbox(CDecoderOwner* owner) : m_owner(owner) {}
    // The decoder whose blocks come here, asked where each one lies (not owned).
    void Follow(const CRobustDecoder* decoder) { m_pDecoder = decoder; }

    void SetStatusText(const char* text) override { m_owner->SetStatusText(text); }
    void AppendLog(const char* text) override { m_owner->AppendLog(text); }
    void AddBlock(int32_t length, const uint8_t* bytes) override;
    bool ListErrors() const override { return m_owner->ListErrors(); }
    void AddErrorEntry(int32_t bytesRead, int32_t firstByte) override;
    void AddErrorSnapshot(const SignalSnapshot& snapshot) override;
    void RefreshSignal() override { m_owner->RefreshSignal(); }
    void DebugOutput(const char* text) override { m_owner->DebugOutput(text); }

    // The blocks and read errors held since the last call, oldest first.
    std::vector<RomBlock> Take();

private:
    void Hold(RomBlock block);

    CDecoderOwner* m_owner;
    const CRobustDecoder* m_pDecoder = nullptr;
    std::vector<RomBlock> m_blocks;
};

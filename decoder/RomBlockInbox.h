#pragma once

#include <cstdint>
#include <vector>

#include "decoder/DecoderOwner.h"

// Stands between archive mode's inner robust decoder and the real owner. Loaded blocks are held
// back, so that archive mode can put them in tape order among its own stretches and drop those
// it read itself; read-error entries are dropped, since archive mode keeps every stretch it cannot
// read as signal. Everything else reaches the owner as it comes.
class CRomBlockInbox final : public CDecoderOwner {
public:
    explicit CRomBlockInbox(CDecoderOwner* owner) : m_owner(owner) {}

    void SetStatusText(const char* text) override { m_owner->SetStatusText(text); }
    void AppendLog(const char* text) override { m_owner->AppendLog(text); }
    void AddBlock(int32_t length, const uint8_t* bytes) override;
    bool ListErrors() const override { return m_owner->ListErrors(); }
    void AddErrorEntry(int32_t, int32_t) override {}
    void AddErrorSnapshot(const SignalSnapshot& snapshot) override;
    void RefreshSignal() override { m_owner->RefreshSignal(); }
    void DebugOutput(const char* text) override { m_owner->DebugOutput(text); }

    // The blocks held since the last call, oldest first.
    std::vector<std::vector<uint8_t>> Take();

private:
    CDecoderOwner* m_owner;
    std::vector<std::vector<uint8_t>> m_blocks;
};

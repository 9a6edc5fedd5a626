#include "decoder/RomBlockInbox.h"

#include <utility>

#include "decoder/RobustDecoder.h"

void CRomBlockInbox::AddBlock(int32_t length, const uint8_t* bytes) {
    RomBlock block;
    block.bytes.assign(bytes, bytes + (length > 0 ? length : 0));
    if (m_pDecoder != nullptr) {
        if (const auto span = m_pDecoder->ReportedSpan()) {
            block.start = span->first;
            block.end = span->second;
        }
    }
    m_blocks.push_back(std::move(block));
}

void CRomBlockInbox::AddErrorSnapshot(const SignalSnapshot& snapshot) {
    m_owner->AddErrorSnapshot(snapshot);
}

std::vector<CRomBlockInbox::RomBlock> CRomBlockInbox::Take() {
    return std::exchange(m_blocks, {});
}

#include "decoder/archive/RomBlockInbox.h"

#include <utility>

#include "decoder/robust/RobustDecoder.h"

void CRomBlockInbox::AddBlock(int32_t length, const uint8_t* bytes) {
    RomBlock block;
    block.bytes.assign(bytes, bytes + (length > 0 ? length : 0));
    Hold(std::move(block));
}

void CRomBlockInbox::AddErrorEntry(int32_t bytesRead, int32_t firstByte) {
    RomBlock error;
    error.failed = true;
    error.bytesRead = bytesRead;
    error.firstByte = firstByte;
    Hold(std::move(error));
}

void CRomBlockInbox::Hold(RomBlock block) {
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

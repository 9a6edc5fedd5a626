#include "decoder/RomBlockInbox.h"

#include <utility>

void CRomBlockInbox::AddBlock(int32_t length, const uint8_t* bytes) {
    m_blocks.emplace_back(bytes, bytes + (length > 0 ? length : 0));
}

void CRomBlockInbox::AddErrorSnapshot(const SignalSnapshot& snapshot) {
    m_owner->AddErrorSnapshot(snapshot);
}

std::vector<std::vector<uint8_t>> CRomBlockInbox::Take() {
    return std::exchange(m_blocks, {});
}

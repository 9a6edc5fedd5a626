#include "decoder/archive/RomBlockInbox.h"

#include <utility>

#include "decoder/robust/RobustDecoder.h"

void CRomBlockInbox::Report(const DecoderRecord& record) {
    if (const auto* loaded = std::get_if<record::BlockLoaded>(&record)) {
        HeldBlock block;
        block.bytes = std::get<RomBlock>(loaded->item.body).bytes;
        Hold(std::move(block));
        record::BlockLoaded shown = *loaded;
        shown.rowFollows = true;
        m_owner->Report(shown);
        return;
    }
    if (const auto* error = std::get_if<record::ReadError>(&record)) {
        HeldBlock held;
        held.failed = true;
        held.bytesRead = error->bytesRead;
        held.firstByte = error->firstByte;
        Hold(std::move(held));
        record::ReadError shown = *error;
        shown.rowFollows = true;
        m_owner->Report(shown);
        return;
    }
    m_owner->Report(record);
}

void CRomBlockInbox::Hold(HeldBlock block) {
    if (m_pDecoder != nullptr) {
        if (const auto span = m_pDecoder->ReportedSpan()) {
            block.start = span->first;
            block.end = span->second;
        }
    }
    m_blocks.push_back(std::move(block));
}

std::vector<CRomBlockInbox::HeldBlock> CRomBlockInbox::Take() {
    return std::exchange(m_blocks, {});
}

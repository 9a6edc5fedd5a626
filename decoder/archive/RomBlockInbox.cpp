#include "decoder/archive/RomBlockInbox.h"

#include <utility>

#include "decoder/robust/RobustDecoder.h"

void CRomBlockInbox::Report(const DecoderRecord& record) {
    if (const auto* loaded = std::get_if<record::BlockLoaded>(&record)) {
        HeldBlock block;
        block.bytes = std::get<RomBlock>(loaded->item.body).bytes;
        record::BlockLoaded shown = *loaded;
        shown.rowFollows = true;
        block.news = std::move(shown);
        Hold(std::move(block));
        return;
    }
    if (const auto* error = std::get_if<record::ReadError>(&record)) {
        HeldBlock held;
        held.failed = true;
        held.bytesRead = error->bytesRead;
        held.firstByte = error->firstByte;
        record::ReadError shown = *error;
        shown.rowFollows = true;
        held.news = std::move(shown);
        Hold(std::move(held));
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

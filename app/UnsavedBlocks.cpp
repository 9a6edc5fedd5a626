#include "app/UnsavedBlocks.h"

void CUnsavedBlocks::NoteSaved(bool wroteWholeList) {
    if (wroteWholeList) {
        m_savedRevision = m_revision;
    }
}

bool CUnsavedBlocks::MustAsk(int32_t blockCount) const {
    return blockCount > 0 && m_revision != m_savedRevision;
}

#pragma once

#include <cstdint>

// Whether ending the program would throw away blocks: the list holds blocks that were added,
// moved or deleted since the last save that wrote every block.
class CUnsavedBlocks {
public:
    // The question asked before ending with unsaved blocks: Save saves them first, Discard ends
    // without them, Cancel stays.
    static constexpr const char* kQuestion =
        "Some blocks in the list have not been saved.\nSave them before Tapewise ends?";

    // A block was added, or blocks were moved or deleted.
    void NoteChange() { ++m_revision; }
    // A save succeeded; only one that wrote the whole list covers every block.
    void NoteSaved(bool wroteWholeList);
    // Whether to ask before ending, given how many blocks the list holds now.
    bool MustAsk(int32_t blockCount) const;
    // Whether every change so far has been saved.
    bool AllSaved() const { return m_revision == m_savedRevision; }

private:
    int64_t m_revision = 0;
    int64_t m_savedRevision = 0;
};

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/TapeItem.h"
#include "tape/BlockEntry.h"
#include "tape/TapeImageReader.h"

// One row of the block list: its item value (the store index of its block, or kErrorItem for an
// error row), the index of an error row's texts, and whether the user has selected it. A block
// row's texts are made from its block when shown, so a row stays a few bytes.
struct ListEntry {
    int32_t itemValue = -1;
    int32_t errorIndex = -1;
    bool selected = false;

    friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

// What loading a tape image did: how many blocks it appended and what to tell the user.
struct TapeLoadReport {
    int32_t blocksAdded = 0;
    TapeReadOutcome outcome = TapeReadOutcome::Complete;
    std::vector<TapeMessage> messages;
};

// The block list without a window: the store of blocks in arrival order and the rows in the
// order the user has put them. Every store index is the item value of exactly one block row,
// after every operation. The Qt list control mirrors these rules.
class CBlockListModel {
public:
    static constexpr int32_t kErrorItem = -1;

    // Copies the block, a RomBlock with the usual second of silence after it, into the store and
    // appends its row, unselected, at the end of the list.
    void AddBlock(int32_t length, const uint8_t* bytes);
    // The same for a block of any kind with its span and verdict.
    void AddItem(TapeItem item);
    // Appends an error row (no block) with the given texts.
    void AddErrorEntry(const BlockEntry& texts);

    int32_t GetItemCount() const { return static_cast<int32_t>(m_entries.size()); }
    const ListEntry& GetEntry(int32_t position) const { return m_entries.at(position); }
    // The five texts the row shows.
    BlockEntry GetTexts(int32_t position) const;
    const std::vector<TapeItem>& GetBlocks() const { return m_blocks; }
    void SetSelected(int32_t position, bool selected) {
        m_entries.at(position).selected = selected;
    }

    // The blocks that saving writes: those of the selected rows if any row is selected, else of
    // all rows; in row order; error rows pass.
    std::vector<TapeItem> GetBlocksToSave() const;
    // Writes GetBlocksToSave() in the layout the path's extension picks. A message on failure.
    std::optional<std::string> SaveTapeFile(const std::string& path) const;
    // Appends every block of the image after the rows already there. When the blocks do not fit
    // in memory, none is added and the rows already there stay.
    TapeLoadReport LoadTapeFile(const std::string& path);

    // Each run of selected rows moves up one place. Nothing moves when the first row is selected;
    // then the result is false (the focus stays where it was), else true (focus the list).
    bool MoveSelectedUp();
    // The mirror image: nothing moves when the last row is selected.
    bool MoveSelectedDown();
    // Removes the selected rows and their blocks; later item values move down to close the gap.
    void DeleteSelected();

    // Whether the row holds a SCREEN$ block (6914 bytes, flag 0xFF).
    bool IsScreenItem(int32_t position) const;
    int32_t CountScreens() const;
    // Row position of the n-th screen row counted from 0 in row order, or -1.
    int32_t FindScreenItem(int32_t n) const;
    // An independent copy of the block at the store index; nothing for an index outside the store.
    std::optional<TapeItem> GetBlockCopy(int32_t index) const;
    // The block of the row at `position`, or nullptr for an error row (or no such row).
    const TapeItem* GetBlockAt(int32_t position) const;

private:
    // Undo and redo put rows and blocks back where they were.
    friend class CBlockListHistory;

    void SwapEntries(size_t a, size_t b);
    void RemoveBlock(int32_t index);
    void RemoveErrorTexts(int32_t index);
    bool AnySelected() const;

    std::vector<TapeItem> m_blocks;
    std::vector<ListEntry> m_entries;
    std::vector<BlockEntry> m_errorTexts;
};

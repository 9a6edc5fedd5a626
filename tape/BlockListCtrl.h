#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tape/BlockEntry.h"
#include "tape/TapeBlock.h"

// The block list of the main window: a report-style list with five columns over the store
// m_blocks, which owns every block. Each entry carries an item value: the store index of its
// block, or -1 for an error entry. Every store index is the item value of exactly one entry.
class CBlockListCtrl : public QTreeWidget {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 5;
    static constexpr int32_t kErrorItem = -1;

    explicit CBlockListCtrl(QWidget* parent = nullptr);

    // Creates the columns "Type", "Sync", "Length", "Name", "Expected".
    void InsertColumns();

    // Copies the block into the store and appends its entry at the end, scrolled into view;
    // nothing is selected and the focus stays where it was.
    void AddBlock(int32_t length, const uint8_t* bytes);
    // Appends an error entry (item value -1) with the given texts.
    void AddErrorEntry(const BlockEntry& entry);

    // Each run of selected entries moves one place up (down); nothing moves when the first (last)
    // entry is selected. The list takes the keyboard focus unless nothing could move.
    void MoveSelectedUp();
    void MoveSelectedDown();
    // Removes the selected entries and their blocks, renumbering the later ones.
    void DeleteSelected();

    bool IsScreenItem(int32_t position) const;
    int32_t CountScreens() const;
    // List position of the n-th entry holding a screen block (0-based, in list order), or -1.
    int32_t FindScreenItem(int32_t screenNumber) const;
    TapeBlock GetBlockCopy(int32_t storeIndex) const;

    int32_t GetItemCount() const { return topLevelItemCount(); }
    int32_t GetItemData(int32_t position) const;
    std::string GetItemText(int32_t position, int column) const;
    bool IsSelected(int32_t position) const;
    void SetSelected(int32_t position, bool selected);
    int32_t BlockCount() const { return static_cast<int32_t>(m_blocks.size()); }

    // The blocks that Save as writes, in list order: those of the selected entries, or of every
    // entry when none is selected; error entries are passed over.
    std::vector<TapeBlock> BlocksToSave() const;
    // Whether BlocksToSave covers every block of the store.
    bool SavesWholeList() const;
    // Writes BlocksToSave in the layout the path asks for. Nothing, or the reason it failed.
    std::optional<std::string> SaveTapeFile(const std::string& path) const;
    // Appends every block of a tape image through AddBlock. Returns what the user should be told
    // (a damaged or unreadable file); empty when the file loaded completely.
    std::vector<std::string> LoadTapeFile(const std::string& path);

signals:
    // A block was added, or entries holding blocks were moved or deleted.
    void BlocksChanged();

private:
    void AppendEntry(const BlockEntry& entry, int32_t itemValue);
    void SwapEntries(int32_t a, int32_t b);
    bool HasSelectedBlock() const;

    std::vector<TapeBlock> m_blocks;
};

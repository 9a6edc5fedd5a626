#pragma once

#include <vector>

#include "model/BlockFacts.h"
#include "signal/SignalHost.h"

// A block list of its own for the Signal window: entries in list order, each holding the store
// index of its block or -1 for an error entry.
class CTestSignalHost : public CSignalHost {
public:
    DecoderSettings settings;
    std::vector<TapeItem> blocks;
    std::vector<int32_t> entries;

    void AddBlock(const TapeItem& block) {
        blocks.push_back(block);
        entries.push_back(static_cast<int32_t>(blocks.size()) - 1);
    }
    void AddErrorEntry() { entries.push_back(-1); }
    // Removes the entry at a list position with its block, keeping every entry on its own block.
    void DeleteEntry(int32_t position) {
        const int32_t removed = entries[static_cast<size_t>(position)];
        entries.erase(entries.begin() + position);
        if (removed < 0) {
            return;
        }
        blocks.erase(blocks.begin() + removed);
        for (int32_t& entry : entries) {
            entry -= entry > removed ? 1 : 0;
        }
    }

    const DecoderSettings& DecoderSettingsNow() const override { return settings; }
    int32_t CountScreens() const override {
        int32_t count = 0;
        for (int32_t position = 0; position < static_cast<int32_t>(entries.size()); ++position) {
            count += IsScreenItem(position) ? 1 : 0;
        }
        return count;
    }
    int32_t FindScreenItem(int32_t screenNumber) const override {
        int32_t seen = 0;
        for (int32_t position = 0; position < static_cast<int32_t>(entries.size()); ++position) {
            if (IsScreenItem(position) && seen++ == screenNumber) {
                return position;
            }
        }
        return -1;
    }
    int32_t GetItemData(int32_t position) const override {
        return entries.at(static_cast<size_t>(position));
    }
    TapeItem GetBlockCopy(int32_t storeIndex) const override {
        return blocks.at(static_cast<size_t>(storeIndex));
    }

private:
    bool IsScreenItem(int32_t position) const {
        const int32_t index = entries[static_cast<size_t>(position)];
        return index >= 0 && IsScreen(blocks[static_cast<size_t>(index)].body);
    }
};

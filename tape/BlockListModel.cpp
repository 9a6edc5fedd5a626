#include "tape/BlockListModel.h"

#include <algorithm>
#include <new>

#include "model/BlockFacts.h"
#include "tape/TapeImageWriter.h"

void CBlockListModel::AddBlock(int32_t length, const uint8_t* bytes) {
    std::vector<uint8_t> copy;
    if (length > 0 && bytes != nullptr) {
        copy.assign(bytes, bytes + length);
    }
    AddItem({RomBlock{std::move(copy)}, {}, {}});
}

void CBlockListModel::AddItem(TapeItem item) {
    m_blocks.push_back(std::move(item));
    const int32_t index = static_cast<int32_t>(m_blocks.size()) - 1;
    m_entries.push_back({index, -1, false});
}

void CBlockListModel::AddErrorEntry(const BlockEntry& texts) {
    m_errorTexts.push_back(texts);
    m_entries.push_back({kErrorItem, static_cast<int32_t>(m_errorTexts.size()) - 1, false});
}

BlockEntry CBlockListModel::GetTexts(int32_t position) const {
    const ListEntry& entry = m_entries.at(position);
    if (entry.itemValue == kErrorItem) {
        return m_errorTexts.at(entry.errorIndex);
    }
    return DescribeBlock(m_blocks.at(entry.itemValue).body);
}

bool CBlockListModel::AnySelected() const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const ListEntry& entry) { return entry.selected; });
}

std::vector<TapeItem> CBlockListModel::GetBlocksToSave() const {
    const bool onlySelected = AnySelected();
    std::vector<TapeItem> blocks;
    for (const ListEntry& entry : m_entries) {
        if (entry.itemValue != kErrorItem && (entry.selected || !onlySelected)) {
            blocks.push_back(m_blocks[static_cast<size_t>(entry.itemValue)]);
        }
    }
    return blocks;
}

std::optional<std::string> CBlockListModel::SaveTapeFile(const std::string& path) const {
    return SaveTapeImage(path, GetBlocksToSave());
}

TapeLoadReport CBlockListModel::LoadTapeFile(const std::string& path) {
    TapeImage image = ReadTapeImage(path);
    const size_t blocksBefore = m_blocks.size();
    const size_t entriesBefore = m_entries.size();
    try {
        m_blocks.reserve(blocksBefore + image.blocks.size());
        m_entries.reserve(entriesBefore + image.blocks.size());
        for (TapeItem& block : image.blocks) {
            AddItem(std::move(block));
        }
    } catch (const std::bad_alloc&) {
        m_blocks.resize(blocksBefore);
        m_entries.resize(entriesBefore);
        return {0,
                TapeReadOutcome::Unreadable,
                {{MessageSeverity::Problem,
                  path + ": not enough memory for its blocks: nothing loaded"}}};
    }
    return {static_cast<int32_t>(image.blocks.size()), image.outcome, image.messages};
}

// Only the texts, item values and selection marks change places; the store keeps its order.
void CBlockListModel::SwapEntries(size_t a, size_t b) {
    std::swap(m_entries[a], m_entries[b]);
}

bool CBlockListModel::MoveSelectedUp() {
    for (size_t p = 0; p < m_entries.size(); ++p) {
        if (!m_entries[p].selected) {
            continue;
        }
        if (p == 0) {
            return false;
        }
        SwapEntries(p, p - 1);
    }
    return true;
}

bool CBlockListModel::MoveSelectedDown() {
    for (size_t p = m_entries.size(); p-- > 0;) {
        if (!m_entries[p].selected) {
            continue;
        }
        if (p + 1 == m_entries.size()) {
            return false;
        }
        SwapEntries(p, p + 1);
    }
    return true;
}

void CBlockListModel::RemoveBlock(int32_t index) {
    m_blocks.erase(m_blocks.begin() + index);
    for (ListEntry& entry : m_entries) {
        if (entry.itemValue > index) {
            --entry.itemValue;
        }
    }
}

void CBlockListModel::RemoveErrorTexts(int32_t index) {
    m_errorTexts.erase(m_errorTexts.begin() + index);
    for (ListEntry& entry : m_entries) {
        if (entry.errorIndex > index) {
            --entry.errorIndex;
        }
    }
}

void CBlockListModel::DeleteSelected() {
    for (size_t p = m_entries.size(); p-- > 0;) {
        if (!m_entries[p].selected) {
            continue;
        }
        const ListEntry removed = m_entries[p];
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(p));
        if (removed.itemValue != kErrorItem) {
            RemoveBlock(removed.itemValue);
        } else {
            RemoveErrorTexts(removed.errorIndex);
        }
    }
}

bool CBlockListModel::IsScreenItem(int32_t position) const {
    if (position < 0 || position >= GetItemCount()) {
        return false;
    }
    const int32_t itemValue = m_entries[static_cast<size_t>(position)].itemValue;
    return itemValue >= 0 && IsScreen(m_blocks[static_cast<size_t>(itemValue)].body);
}

int32_t CBlockListModel::CountScreens() const {
    int32_t count = 0;
    for (int32_t p = 0; p < GetItemCount(); ++p) {
        count += IsScreenItem(p) ? 1 : 0;
    }
    return count;
}

int32_t CBlockListModel::FindScreenItem(int32_t n) const {
    int32_t seen = 0;
    for (int32_t p = 0; p < GetItemCount(); ++p) {
        if (IsScreenItem(p) && seen++ == n) {
            return p;
        }
    }
    return -1;
}

const TapeItem* CBlockListModel::GetBlockAt(int32_t position) const {
    if (position < 0 || position >= GetItemCount()) {
        return nullptr;
    }
    const int32_t item = m_entries[static_cast<size_t>(position)].itemValue;
    return item == kErrorItem ? nullptr : &m_blocks.at(static_cast<size_t>(item));
}

std::optional<TapeItem> CBlockListModel::GetBlockCopy(int32_t index) const {
    if (index < 0 || index >= static_cast<int32_t>(m_blocks.size())) {
        return std::nullopt;
    }
    return m_blocks[static_cast<size_t>(index)];
}

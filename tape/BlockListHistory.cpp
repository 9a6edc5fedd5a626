#include "tape/BlockListHistory.h"

#include <algorithm>
#include <utility>

namespace {

// Puts `count` values back at their old indices among `kept`, which lost them: `taken` lists the
// indices, ascending, and `takeNext` yields the value for each in that order. `newIndex` receives,
// for each value of `kept`, where it now is.
template <typename T, typename Take>
std::vector<T> MergeBack(std::vector<T>& kept, const std::vector<int32_t>& taken, Take takeNext,
                         std::vector<int32_t>& newIndex) {
    std::vector<T> merged;
    merged.reserve(kept.size() + taken.size());
    newIndex.assign(kept.size(), 0);
    size_t fromKept = 0;
    size_t fromTaken = 0;
    while (fromKept < kept.size() || fromTaken < taken.size()) {
        const bool takenHere =
            fromTaken < taken.size() &&
            (fromKept == kept.size() || taken[fromTaken] == static_cast<int32_t>(merged.size()));
        if (takenHere) {
            merged.push_back(takeNext(fromTaken++));
        } else {
            newIndex[fromKept] = static_cast<int32_t>(merged.size());
            merged.push_back(std::move(kept[fromKept++]));
        }
    }
    return merged;
}

// Drops the values marked gone; `newIndex` receives where each kept one now is.
template <typename T>
std::vector<T> DropGone(std::vector<T>& values, const std::vector<char>& gone,
                        std::vector<int32_t>& newIndex) {
    std::vector<T> kept;
    newIndex.assign(values.size(), -1);
    for (size_t i = 0; i < values.size(); ++i) {
        if (!gone[i]) {
            newIndex[i] = static_cast<int32_t>(kept.size());
            kept.push_back(std::move(values[i]));
        }
    }
    return kept;
}

void Renumber(ListEntry& entry, const std::vector<int32_t>& newBlockIndex,
              const std::vector<int32_t>& newErrorIndex) {
    if (entry.itemValue != CBlockListModel::kErrorItem) {
        entry.itemValue = newBlockIndex[static_cast<size_t>(entry.itemValue)];
    } else {
        entry.errorIndex = newErrorIndex[static_cast<size_t>(entry.errorIndex)];
    }
}

}  // namespace

bool CBlockListHistory::MoveSelectedUp(CBlockListModel& model) {
    return RecordMove(model, &CBlockListModel::MoveSelectedUp);
}

bool CBlockListHistory::MoveSelectedDown(CBlockListModel& model) {
    return RecordMove(model, &CBlockListModel::MoveSelectedDown);
}

// Only the span of rows that changed places is kept: a move in a long list costs little.
bool CBlockListHistory::RecordMove(CBlockListModel& model, bool (CBlockListModel::*modelMove)()) {
    const std::vector<ListEntry> before = model.m_entries;
    const bool moved = (model.*modelMove)();
    const std::vector<ListEntry>& after = model.m_entries;
    const auto first = std::mismatch(before.begin(), before.end(), after.begin()).first;
    if (first == before.end()) {
        return moved;
    }
    const auto last = std::mismatch(before.rbegin(), before.rend(), after.rbegin()).first.base();
    const auto from = first - before.begin();
    const auto to = last - before.begin();
    Step step;
    step.orderFrom = static_cast<int32_t>(from);
    step.orderBefore.assign(before.begin() + from, before.begin() + to);
    step.orderAfter.assign(after.begin() + from, after.begin() + to);
    Remember(std::move(step));
    return moved;
}

bool CBlockListHistory::DeleteSelected(CBlockListModel& model) {
    std::vector<int32_t> positions;
    for (int32_t p = 0; p < model.GetItemCount(); ++p) {
        if (model.GetEntry(p).selected) {
            positions.push_back(p);
        }
    }
    if (positions.empty()) {
        return false;
    }
    Step step;
    step.removed = RemoveRows(model, positions);
    Remember(std::move(step));
    return true;
}

void CBlockListHistory::Remember(Step step) {
    m_undone.clear();
    m_done.push_back(std::move(step));
    if (m_done.size() > kMaxSteps) {
        m_done.pop_front();
    }
}

bool CBlockListHistory::Undo(CBlockListModel& model) {
    if (m_done.empty()) {
        return false;
    }
    Step step = std::move(m_done.back());
    m_done.pop_back();
    if (step.IsMove()) {
        if (!PutInOrder(model, step.orderFrom, step.orderBefore)) {
            m_done.clear();  // the list is not what the history knows: forget it
            return false;
        }
    } else {
        PutBack(model, step.removed);
    }
    m_undone.push_back(std::move(step));
    return true;
}

bool CBlockListHistory::Redo(CBlockListModel& model) {
    if (m_undone.empty()) {
        return false;
    }
    Step step = std::move(m_undone.back());
    m_undone.pop_back();
    if (step.IsMove()) {
        if (!PutInOrder(model, step.orderFrom, step.orderAfter)) {
            m_undone.clear();
            return false;
        }
    } else {
        std::vector<int32_t> positions;
        for (const RemovedRow& row : step.removed) {
            positions.push_back(row.position);
        }
        step.removed = RemoveRows(model, positions);
    }
    m_done.push_back(std::move(step));
    return true;
}

// The model's delete rule (later item values and error indices close the gap), in one pass.
std::vector<CBlockListHistory::RemovedRow> CBlockListHistory::RemoveRows(
    CBlockListModel& model, const std::vector<int32_t>& positions) {
    std::vector<char> goneBlock(model.m_blocks.size(), 0);
    std::vector<char> goneError(model.m_errorTexts.size(), 0);
    std::vector<char> goneRow(model.m_entries.size(), 0);
    std::vector<RemovedRow> rows;
    rows.reserve(positions.size());
    for (const int32_t position : positions) {
        RemovedRow row;
        row.position = position;
        row.entry = model.m_entries.at(static_cast<size_t>(position));
        row.entry.selected = false;
        if (row.entry.itemValue != CBlockListModel::kErrorItem) {
            const auto index = static_cast<size_t>(row.entry.itemValue);
            row.block = std::move(model.m_blocks[index]);
            goneBlock[index] = 1;
        } else {
            const auto index = static_cast<size_t>(row.entry.errorIndex);
            row.errorTexts = model.m_errorTexts[index];
            goneError[index] = 1;
        }
        goneRow[static_cast<size_t>(position)] = 1;
        rows.push_back(std::move(row));
    }
    std::vector<int32_t> newBlockIndex;
    std::vector<int32_t> newErrorIndex;
    model.m_blocks = DropGone(model.m_blocks, goneBlock, newBlockIndex);
    model.m_errorTexts = DropGone(model.m_errorTexts, goneError, newErrorIndex);
    std::vector<int32_t> unusedRowIndex;
    model.m_entries = DropGone(model.m_entries, goneRow, unusedRowIndex);
    for (ListEntry& entry : model.m_entries) {
        Renumber(entry, newBlockIndex, newErrorIndex);
    }
    return rows;
}

// The inverse of RemoveRows: blocks, error texts and rows go back to the indices they had, and
// whatever came after them moves up.
void CBlockListHistory::PutBack(CBlockListModel& model, std::vector<RemovedRow>& rows) {
    std::vector<RemovedRow*> blockRows;
    std::vector<RemovedRow*> errorRows;
    for (RemovedRow& row : rows) {
        (row.block ? blockRows : errorRows).push_back(&row);
    }
    const auto byIndex = [](auto indexOf) {
        return [indexOf](const RemovedRow* a, const RemovedRow* b) {
            return indexOf(*a) < indexOf(*b);
        };
    };
    const auto itemValue = [](const RemovedRow& row) { return row.entry.itemValue; };
    const auto errorIndex = [](const RemovedRow& row) { return row.entry.errorIndex; };
    std::sort(blockRows.begin(), blockRows.end(), byIndex(itemValue));
    std::sort(errorRows.begin(), errorRows.end(), byIndex(errorIndex));
    std::vector<int32_t> blockIndices;
    std::vector<int32_t> errorIndices;
    for (const RemovedRow* row : blockRows) {
        blockIndices.push_back(row->entry.itemValue);
    }
    for (const RemovedRow* row : errorRows) {
        errorIndices.push_back(row->entry.errorIndex);
    }
    std::vector<int32_t> newBlockIndex;
    std::vector<int32_t> newErrorIndex;
    model.m_blocks = MergeBack(
        model.m_blocks, blockIndices, [&](size_t i) { return std::move(*blockRows[i]->block); },
        newBlockIndex);
    model.m_errorTexts = MergeBack(
        model.m_errorTexts, errorIndices, [&](size_t i) { return errorRows[i]->errorTexts; },
        newErrorIndex);
    for (ListEntry& entry : model.m_entries) {
        Renumber(entry, newBlockIndex, newErrorIndex);
    }
    std::vector<int32_t> positions;
    for (const RemovedRow& row : rows) {
        positions.push_back(row.position);
    }
    std::vector<int32_t> unusedRowIndex;
    model.m_entries = MergeBack(
        model.m_entries, positions, [&](size_t i) { return rows[i].entry; }, unusedRowIndex);
}

// Gives the rows from `from` on the order recorded, each keeping its present selection. False,
// with nothing changed, when those rows are not the ones recorded.
bool CBlockListHistory::PutInOrder(CBlockListModel& model, int32_t from,
                                   const std::vector<ListEntry>& order) {
    std::vector<ListEntry>& entries = model.m_entries;
    const auto start = static_cast<size_t>(from);
    if (start + order.size() > entries.size()) {
        return false;
    }
    // Selection of each block row and error row in the span, by store or error index.
    std::vector<int8_t> blockState(model.m_blocks.size(), -1);
    std::vector<int8_t> errorState(model.m_errorTexts.size(), -1);
    const auto stateOf = [&](const ListEntry& entry) -> int8_t* {
        if (entry.itemValue != CBlockListModel::kErrorItem) {
            const auto index = static_cast<size_t>(entry.itemValue);
            return index < blockState.size() ? &blockState[index] : nullptr;
        }
        const auto index = static_cast<size_t>(entry.errorIndex);
        return index < errorState.size() ? &errorState[index] : nullptr;
    };
    for (size_t i = 0; i < order.size(); ++i) {
        *stateOf(entries[start + i]) = entries[start + i].selected ? 1 : 0;
    }
    std::vector<ListEntry> placed = order;
    for (ListEntry& entry : placed) {
        int8_t* state = stateOf(entry);
        if (state == nullptr || *state < 0) {
            return false;
        }
        entry.selected = *state == 1;
        *state = -1;  // each row once
    }
    std::copy(placed.begin(), placed.end(), entries.begin() + from);
    return true;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "model/TapeItem.h"
#include "tape/BlockEntry.h"
#include "tape/BlockListModel.h"

// Undo and redo of the user's edits of a block list: deletes and moves. Rows that arrive after an
// edit (blocks decoded or loaded, read errors) are only ever appended, so they stay where they are
// when the edit is undone or redone. Rows put back come back unselected and moved rows keep their
// selection: what saving would write is always what the user sees selected. A delete keeps the
// blocks it took (moved, not copied) for as long as it can be undone.
class CBlockListHistory {
public:
    // The oldest edit is forgotten beyond this many.
    static constexpr size_t kMaxSteps = 100;

    // The model's own edits, recorded; the results are the model's. An edit that changes nothing
    // is not recorded. A new edit forgets what could be redone.
    bool MoveSelectedUp(CBlockListModel& model);
    bool MoveSelectedDown(CBlockListModel& model);
    // True when a row went.
    bool DeleteSelected(CBlockListModel& model);

    // Takes back the last edit not yet undone; false when there is none.
    bool Undo(CBlockListModel& model);
    // Does again the last edit undone; false when there is none.
    bool Redo(CBlockListModel& model);
    bool CanUndo() const { return !m_done.empty(); }
    bool CanRedo() const { return !m_undone.empty(); }

private:
    // A row that a delete took, at its place in the list before the delete.
    struct RemovedRow {
        int32_t position = 0;
        ListEntry entry;
        std::optional<TapeItem> block;  // at store index entry.itemValue
        BlockEntry errorTexts;          // at entry.errorIndex, for an error row
    };
    // One edit: the rows a delete took, or the order of the rows that a move changed, from
    // position orderFrom on, before and after it.
    struct Step {
        std::vector<RemovedRow> removed;
        int32_t orderFrom = 0;
        std::vector<ListEntry> orderBefore;
        std::vector<ListEntry> orderAfter;
        bool IsMove() const { return removed.empty(); }
    };

    bool RecordMove(CBlockListModel& model, bool (CBlockListModel::*modelMove)());
    void Remember(Step step);
    static std::vector<RemovedRow> RemoveRows(CBlockListModel& model,
                                              const std::vector<int32_t>& positions);
    static void PutBack(CBlockListModel& model, std::vector<RemovedRow>& rows);
    static bool PutInOrder(CBlockListModel& model, int32_t from,
                           const std::vector<ListEntry>& order);

    std::deque<Step> m_done;
    std::vector<Step> m_undone;
};

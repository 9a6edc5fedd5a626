#pragma once

#include <QTreeView>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tape/BlockEntry.h"
#include "tape/BlockListHistory.h"
#include "tape/BlockListModel.h"
#include "tape/BlockTableModel.h"

// The block list of the main window: a report-style view with five columns over a
// CBlockListModel, which holds the blocks, the rows, their item values and the selection. Every
// edit goes to the model first; the view then shows the model's rows and selection, and a
// selection the user makes goes back to the model. The view asks for the texts of the rows it
// draws, so a list of a million rows holds no Qt object per row.
class CBlockListCtrl : public QTreeView {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 5;

    explicit CBlockListCtrl(QWidget* parent = nullptr);

    // Sizes and aligns the columns "Type", "Sync", "Length", "Name", "Expected". A column grows to
    // its longest text (an archive row's kind or timing, a title in a large font); the Name column
    // also takes the width the others leave, so the list is filled at any size, and the list
    // scrolls sideways to a timing longer than the list is wide.
    void InsertColumns();

    // Appends a block row at the end, scrolled into view; the selection and the focus stay.
    void AddBlock(int32_t length, const uint8_t* bytes);
    // The same for a block of any kind with its span and verdict, as the archive decoder reports
    // it.
    void AddItem(TapeItem item);
    // Appends an error row with the given texts.
    void AddErrorEntry(const BlockEntry& entry);
    // The model's moves; the list takes the keyboard focus unless nothing could move.
    void MoveSelectedUp();
    void MoveSelectedDown();
    // Removes the selected rows and their blocks; the list takes the keyboard focus.
    void DeleteSelected();
    // Takes back, or does again, the last delete or move (CBlockListHistory).
    void Undo();
    void Redo();
    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }
    // Appends every block of a tape image; how far it was read, and what the user should be told.
    TapeLoadReport LoadTapeFile(const std::string& path);
    void SetSelected(int32_t position, bool selected);

    const CBlockListModel& Model() const { return m_model; }

    // What the view shows.
    int32_t GetItemCount() const { return m_table.rowCount(); }
    std::string GetItemText(int32_t position, int column) const;
    bool IsSelected(int32_t position) const;

signals:
    // A block was added, or rows holding blocks were moved or deleted.
    void BlocksChanged();
    // What Undo and Redo can do has changed.
    void HistoryChanged();

protected:
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int TextWidth(const QString& text) const;
    void NoteTexts(int first, int last);
    void MeasureAllTexts();
    void FitNameColumn();
    void MirrorRows(int32_t from);
    void ShowLastRow();
    void TakeSelection();
    bool HasSelectedBlock() const;
    void Move(bool (CBlockListHistory::*historyMove)(CBlockListModel&));
    void Step(bool (CBlockListHistory::*step)(CBlockListModel&));

    CBlockListModel m_model;
    CBlockListHistory m_history;
    CBlockTableModel m_table{m_model};
    bool m_mirroring = false;  // the view is being set from the model: no selection goes back
    // Pixels the longest text of each column needs, its title included.
    std::array<int, kColumnCount> m_widest{};
};

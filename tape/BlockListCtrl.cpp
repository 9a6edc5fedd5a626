#include "tape/BlockListCtrl.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QToolTip>
#include <algorithm>

namespace {
constexpr int kNameColumn = 3;
// The style's margins beside the text of a cell.
constexpr int kCellMargins = 8;
}  // namespace

CBlockListCtrl::CBlockListCtrl(QWidget* parent) : QTreeView(parent) {
    setModel(&m_table);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    // The selection stays visible, in the inactive colour, while a button has the focus: it says
    // what Save as and the moves will take.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CBlockListCtrl::TakeSelection);
    connect(&m_table, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { NoteTexts(first, last); });
    connect(&m_table, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to) {
                NoteTexts(from.row(), to.row());
            });
    connect(&m_table, &QAbstractItemModel::rowsRemoved, this, &CBlockListCtrl::MeasureAllTexts);
    connect(header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column != kNameColumn) {
            FitNameColumn();
        }
    });
}

void CBlockListCtrl::InsertColumns() {
    for (int i = 0; i < CBlockTableModel::kColumnCount; ++i) {
        setColumnWidth(i, CBlockTableModel::ColumnWidth(i));
    }
    MeasureAllTexts();
}

int CBlockListCtrl::TextWidth(const QString& text) const {
    return fontMetrics().horizontalAdvance(text) + kCellMargins;
}

void CBlockListCtrl::NoteTexts(int first, int last) {
    for (int column = 0; column < CBlockTableModel::kColumnCount; ++column) {
        for (int row = first; row <= last; ++row) {
            m_widest[column] =
                std::max(m_widest[column], TextWidth(m_table.index(row, column).data().toString()));
        }
        if (column != kNameColumn && columnWidth(column) < m_widest[column]) {
            setColumnWidth(column, m_widest[column]);
        }
    }
    FitNameColumn();
}

void CBlockListCtrl::MeasureAllTexts() {
    for (int column = 0; column < CBlockTableModel::kColumnCount; ++column) {
        m_widest[column] =
            TextWidth(m_table.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    }
    NoteTexts(0, m_table.rowCount() - 1);
}

void CBlockListCtrl::FitNameColumn() {
    int others = 0;
    for (int i = 0; i < CBlockTableModel::kColumnCount; ++i) {
        others += i == kNameColumn ? 0 : columnWidth(i);
    }
    const int width = std::max({CBlockTableModel::ColumnWidth(kNameColumn),
                                viewport()->width() - others, m_widest[kNameColumn]});
    if (width != columnWidth(kNameColumn)) {
        setColumnWidth(kNameColumn, width);
    }
}

void CBlockListCtrl::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    FitNameColumn();
}

// Rows are rewritten in place, so the focus mark keeps its position when rows trade places.
void CBlockListCtrl::MirrorRows(int32_t from) {
    m_mirroring = true;
    m_table.RowsChanged(from);
    QItemSelection selection;
    const int32_t count = m_model.GetItemCount();
    for (int32_t p = 0; p < count; ++p) {
        if (!m_model.GetEntry(p).selected) {
            continue;
        }
        int32_t last = p;
        while (last + 1 < count && m_model.GetEntry(last + 1).selected) {
            ++last;
        }
        selection.select(m_table.index(p, 0),
                         m_table.index(last, CBlockTableModel::kColumnCount - 1));
        p = last;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_mirroring = false;
}

void CBlockListCtrl::TakeSelection() {
    if (m_mirroring) {
        return;
    }
    for (int32_t p = 0; p < m_model.GetItemCount(); ++p) {
        m_model.SetSelected(p, false);
    }
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int p = range.top(); p <= range.bottom(); ++p) {
            m_model.SetSelected(p, true);
        }
    }
}

void CBlockListCtrl::ShowLastRow() {
    scrollTo(m_table.index(GetItemCount() - 1, 0));
}

void CBlockListCtrl::AddBlock(int32_t length, const uint8_t* bytes) {
    m_model.AddBlock(length, bytes);
    m_table.RowsChanged(m_model.GetItemCount() - 1);
    ShowLastRow();
    emit BlocksChanged();
}

void CBlockListCtrl::AddItem(TapeItem item) {
    m_model.AddItem(std::move(item));
    m_table.RowsChanged(m_model.GetItemCount() - 1);
    ShowLastRow();
    emit BlocksChanged();
}

void CBlockListCtrl::AddErrorEntry(const BlockEntry& entry) {
    m_model.AddErrorEntry(entry);
    m_table.RowsChanged(m_model.GetItemCount() - 1);
    ShowLastRow();
}

std::string CBlockListCtrl::GetItemText(int32_t position, int column) const {
    return m_table.data(m_table.index(position, column)).toString().toLatin1().toStdString();
}

bool CBlockListCtrl::IsSelected(int32_t position) const {
    return position >= 0 && position < GetItemCount() &&
           selectionModel()->isRowSelected(position, QModelIndex());
}

void CBlockListCtrl::SetSelected(int32_t position, bool selected) {
    if (position >= 0 && position < m_model.GetItemCount()) {
        m_model.SetSelected(position, selected);
        MirrorRows(position);
    }
}

bool CBlockListCtrl::HasSelectedBlock() const {
    for (int32_t p = 0; p < m_model.GetItemCount(); ++p) {
        const ListEntry& entry = m_model.GetEntry(p);
        if (entry.selected && entry.itemValue != CBlockListModel::kErrorItem) {
            return true;
        }
    }
    return false;
}

void CBlockListCtrl::Move(bool (CBlockListHistory::*historyMove)(CBlockListModel&)) {
    const bool movesBlocks = HasSelectedBlock();
    const bool moved = (m_history.*historyMove)(m_model);
    emit HistoryChanged();
    if (!moved) {
        return;
    }
    MirrorRows(0);
    setFocus();
    if (movesBlocks) {
        emit BlocksChanged();
    }
}

void CBlockListCtrl::MoveSelectedUp() {
    Move(&CBlockListHistory::MoveSelectedUp);
}

void CBlockListCtrl::MoveSelectedDown() {
    Move(&CBlockListHistory::MoveSelectedDown);
}

void CBlockListCtrl::DeleteSelected() {
    const size_t blocksBefore = m_model.GetBlocks().size();
    m_history.DeleteSelected(m_model);
    MirrorRows(0);
    setFocus();
    emit HistoryChanged();
    if (m_model.GetBlocks().size() != blocksBefore) {
        emit BlocksChanged();
    }
}

void CBlockListCtrl::Step(bool (CBlockListHistory::*step)(CBlockListModel&)) {
    if (!(m_history.*step)(m_model)) {
        return;
    }
    MirrorRows(0);
    emit HistoryChanged();
    emit BlocksChanged();
}

void CBlockListCtrl::Undo() {
    Step(&CBlockListHistory::Undo);
}

void CBlockListCtrl::Redo() {
    Step(&CBlockListHistory::Redo);
}

TapeLoadReport CBlockListCtrl::LoadTapeFile(const std::string& path) {
    const int32_t rowsBefore = m_model.GetItemCount();
    TapeLoadReport report = m_model.LoadTapeFile(path);
    MirrorRows(rowsBefore);
    if (report.blocksAdded > 0) {
        ShowLastRow();
        emit BlocksChanged();
    }
    return report;
}

// A row shows on hover where its block lies on the tape, and a cell too narrow for its text the
// whole text.
bool CBlockListCtrl::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QTreeView::viewportEvent(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString cell = index.isValid() ? index.data().toString() : QString();
    const bool cut =
        fontMetrics().horizontalAdvance(cell) + kCellMargins > visualRect(index).width();
    QStringList lines;
    if (!cell.isEmpty() && cut) {
        lines << cell;
    }
    if (const QString place = index.data(Qt::ToolTipRole).toString(); !place.isEmpty()) {
        lines << place;
    }
    if (lines.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(help->globalPos(), lines.join('\n'), viewport(), visualRect(index));
    return true;
}

#pragma once

#include <QAbstractTableModel>

#include "tape/BlockListModel.h"

// The rows of a CBlockListModel as a Qt table: five columns of text made when a cell is shown,
// so a row costs nothing in Qt beyond what the view draws. The owner tells it what changed.
class CBlockTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 5;

    explicit CBlockTableModel(const CBlockListModel& rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The texts of the rows from `from` on may have changed, and rows may have been added at
    // the end or removed from it, to match the list model.
    void RowsChanged(int from);

    // Column widths in pixels, as the list is first shown.
    static int ColumnWidth(int column);

private:
    // Where a block row lies on the tape as replayed (and in the recording it was read from), for
    // its tool tip; empty for an error row.
    QString PlaceOnTape(int row) const;

    const CBlockListModel& m_rows;
    int m_shownRows = 0;
};

#include "tape/BlockTableModel.h"

#include <string>

#include "tape/TapeTime.h"

namespace {

struct ColumnFormat {
    const char* title;
    int width;
    Qt::Alignment alignment;
};

constexpr ColumnFormat kColumns[CBlockTableModel::kColumnCount] = {
    {"Type", 40, Qt::AlignRight}, {"Sync", 40, Qt::AlignRight},     {"Length", 50, Qt::AlignRight},
    {"Name", 80, Qt::AlignLeft},  {"Expected", 67, Qt::AlignRight},
};

// Names hold Spectrum character codes: shown byte for byte, not decoded as UTF-8.
QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

const std::string& TextOfColumn(const BlockEntry& entry, int column) {
    const std::string* texts[CBlockTableModel::kColumnCount] = {
        &entry.type, &entry.sync, &entry.length, &entry.name, &entry.expected};
    return *texts[column];
}

}  // namespace

CBlockTableModel::CBlockTableModel(const CBlockListModel& rows, QObject* parent)
    : QAbstractTableModel(parent), m_rows(rows) {}

int CBlockTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows;
}

int CBlockTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CBlockTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shownRows || index.column() >= kColumnCount) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(kColumns[index.column()].alignment | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole) {
        return PlaceOnTape(index.row());
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    return Latin1(TextOfColumn(m_rows.GetTexts(index.row()), index.column()));
}

QString CBlockTableModel::PlaceOnTape(int row) const {
    const TapeItem* block = m_rows.GetBlockAt(row);
    if (block == nullptr) {
        return {};
    }
    std::string place = "Starts at " + TapeClock(TapeSeconds(m_rows, row)) + ", plays " +
                        TapeClock(BlockSeconds(block->body));
    // A block read from a recording also tells where in it, so that it can be found there.
    if (block->span.Known()) {
        place += ", read at " + TapeClock(block->span.StartSeconds()) + " of the recording";
    }
    return QString::fromStdString(place);
}

QVariant CBlockTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(kColumns[section].alignment | Qt::AlignVCenter);
    }
    return role == Qt::DisplayRole ? QVariant(QString::fromLatin1(kColumns[section].title))
                                   : QVariant();
}

void CBlockTableModel::RowsChanged(int from) {
    const int count = m_rows.GetItemCount();
    if (count < m_shownRows) {
        beginRemoveRows(QModelIndex(), count, m_shownRows - 1);
        m_shownRows = count;
        endRemoveRows();
    }
    const int changedEnd = m_shownRows;
    if (count > m_shownRows) {
        beginInsertRows(QModelIndex(), m_shownRows, count - 1);
        m_shownRows = count;
        endInsertRows();
    }
    if (from < changedEnd) {
        emit dataChanged(index(from, 0), index(changedEnd - 1, kColumnCount - 1));
    }
}

int CBlockTableModel::ColumnWidth(int column) {
    return kColumns[column].width;
}

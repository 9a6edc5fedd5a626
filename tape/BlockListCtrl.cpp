#include "tape/BlockListCtrl.h"

#include <QHeaderView>
#include <QPalette>

namespace {

struct ColumnFormat {
    const char* title;
    int width;
    Qt::Alignment alignment;
};

constexpr ColumnFormat kColumns[CBlockListCtrl::kColumnCount] = {
    {"Type", 40, Qt::AlignRight}, {"Sync", 40, Qt::AlignRight},     {"Length", 50, Qt::AlignRight},
    {"Name", 80, Qt::AlignLeft},  {"Expected", 67, Qt::AlignRight},
};

// Names hold Spectrum character codes: shown byte for byte, not decoded as UTF-8.
QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void ShowTexts(QTreeWidgetItem& item, const BlockEntry& entry) {
    const std::string* texts[CBlockListCtrl::kColumnCount] = {
        &entry.type, &entry.sync, &entry.length, &entry.name, &entry.expected};
    for (int i = 0; i < CBlockListCtrl::kColumnCount; ++i) {
        item.setText(i, Latin1(*texts[i]));
        item.setTextAlignment(i, kColumns[i].alignment | Qt::AlignVCenter);
    }
}

}  // namespace

CBlockListCtrl::CBlockListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    // The selection shows only while the list has the keyboard focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Inactive, QPalette::Base));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Inactive, QPalette::Text));
    setPalette(colours);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CBlockListCtrl::TakeSelection);
}

void CBlockListCtrl::InsertColumns() {
    setColumnCount(kColumnCount);
    QStringList titles;
    for (const ColumnFormat& column : kColumns) {
        titles << QString::fromLatin1(column.title);
    }
    setHeaderLabels(titles);
    for (int i = 0; i < kColumnCount; ++i) {
        setColumnWidth(i, kColumns[i].width);
        headerItem()->setTextAlignment(i, kColumns[i].alignment | Qt::AlignVCenter);
    }
}

// Rows are rewritten in place, so the focus mark keeps its position when rows trade places.
void CBlockListCtrl::MirrorRows(int32_t from) {
    m_mirroring = true;
    const int32_t count = m_model.GetItemCount();
    while (topLevelItemCount() > count) {
        delete takeTopLevelItem(topLevelItemCount() - 1);
    }
    for (int32_t p = from; p < count; ++p) {
        QTreeWidgetItem* item = topLevelItem(p);
        if (item == nullptr) {
            item = new QTreeWidgetItem;
            addTopLevelItem(item);
        }
        const ListEntry& entry = m_model.GetEntry(p);
        ShowTexts(*item, entry.texts);
        item->setSelected(entry.selected);
    }
    m_mirroring = false;
}

void CBlockListCtrl::TakeSelection() {
    if (m_mirroring) {
        return;
    }
    for (int32_t p = 0; p < GetItemCount(); ++p) {
        m_model.SetSelected(p, topLevelItem(p)->isSelected());
    }
}

void CBlockListCtrl::AddBlock(int32_t length, const uint8_t* bytes) {
    m_model.AddBlock(length, bytes);
    MirrorRows(m_model.GetItemCount() - 1);
    scrollToItem(topLevelItem(GetItemCount() - 1));
    emit BlocksChanged();
}

void CBlockListCtrl::AddTimedBlock(const TimedBlock& block) {
    m_model.AddTimedBlock(block);
    MirrorRows(m_model.GetItemCount() - 1);
    scrollToItem(topLevelItem(GetItemCount() - 1));
    emit BlocksChanged();
}

void CBlockListCtrl::AddErrorEntry(const BlockEntry& entry) {
    m_model.AddErrorEntry(entry);
    MirrorRows(m_model.GetItemCount() - 1);
    scrollToItem(topLevelItem(GetItemCount() - 1));
}

std::string CBlockListCtrl::GetItemText(int32_t position, int column) const {
    const QTreeWidgetItem* item = topLevelItem(position);
    return item == nullptr ? std::string() : item->text(column).toLatin1().toStdString();
}

bool CBlockListCtrl::IsSelected(int32_t position) const {
    const QTreeWidgetItem* item = topLevelItem(position);
    return item != nullptr && item->isSelected();
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

void CBlockListCtrl::Move(bool (CBlockListModel::*modelMove)()) {
    const bool movesBlocks = HasSelectedBlock();
    if (!(m_model.*modelMove)()) {
        return;
    }
    MirrorRows(0);
    setFocus();
    if (movesBlocks) {
        emit BlocksChanged();
    }
}

void CBlockListCtrl::MoveSelectedUp() {
    Move(&CBlockListModel::MoveSelectedUp);
}

void CBlockListCtrl::MoveSelectedDown() {
    Move(&CBlockListModel::MoveSelectedDown);
}

void CBlockListCtrl::DeleteSelected() {
    const size_t blocksBefore = m_model.GetBlocks().size();
    m_model.DeleteSelected();
    MirrorRows(0);
    setFocus();
    if (m_model.GetBlocks().size() != blocksBefore) {
        emit BlocksChanged();
    }
}

std::vector<TapeMessage> CBlockListCtrl::LoadTapeFile(const std::string& path) {
    const int32_t rowsBefore = m_model.GetItemCount();
    TapeLoadReport report = m_model.LoadTapeFile(path);
    MirrorRows(rowsBefore);
    if (report.blocksAdded > 0) {
        scrollToItem(topLevelItem(GetItemCount() - 1));
        emit BlocksChanged();
    }
    return std::move(report.messages);
}

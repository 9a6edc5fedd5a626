#include "tape/BlockListCtrl.h"

#include <QHeaderView>
#include <QPalette>

#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"

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

constexpr int kItemValueRole = Qt::UserRole;

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

void CBlockListCtrl::AppendEntry(const BlockEntry& entry, int32_t itemValue) {
    auto* item = new QTreeWidgetItem;
    const std::string* texts[kColumnCount] = {&entry.type, &entry.sync, &entry.length, &entry.name,
                                              &entry.expected};
    for (int i = 0; i < kColumnCount; ++i) {
        // Names hold Spectrum character codes: shown byte for byte, not decoded as UTF-8.
        item->setText(
            i, QString::fromLatin1(texts[i]->data(), static_cast<qsizetype>(texts[i]->size())));
        item->setTextAlignment(i, kColumns[i].alignment | Qt::AlignVCenter);
    }
    item->setData(0, kItemValueRole, itemValue);
    addTopLevelItem(item);
    scrollToItem(item);
}

void CBlockListCtrl::AddBlock(int32_t length, const uint8_t* bytes) {
    m_blocks.emplace_back(length, bytes);
    AppendEntry(DescribeBlock(m_blocks.back()), static_cast<int32_t>(m_blocks.size() - 1));
    emit BlocksChanged();
}

void CBlockListCtrl::AddErrorEntry(const BlockEntry& entry) {
    AppendEntry(entry, kErrorItem);
}

int32_t CBlockListCtrl::GetItemData(int32_t position) const {
    const QTreeWidgetItem* item = topLevelItem(position);
    return item == nullptr ? kErrorItem : item->data(0, kItemValueRole).toInt();
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
    if (QTreeWidgetItem* item = topLevelItem(position)) {
        item->setSelected(selected);
    }
}

// Only the selection mark, the texts and the item value trade places; the focus mark stays.
void CBlockListCtrl::SwapEntries(int32_t a, int32_t b) {
    QTreeWidgetItem* first = topLevelItem(a);
    QTreeWidgetItem* second = topLevelItem(b);
    const bool firstSelected = first->isSelected();
    first->setSelected(second->isSelected());
    second->setSelected(firstSelected);
    for (int column = 0; column < kColumnCount; ++column) {
        const QString text = first->text(column);
        first->setText(column, second->text(column));
        second->setText(column, text);
    }
    const QVariant value = first->data(0, kItemValueRole);
    first->setData(0, kItemValueRole, second->data(0, kItemValueRole));
    second->setData(0, kItemValueRole, value);
}

bool CBlockListCtrl::HasSelectedBlock() const {
    for (int32_t p = 0; p < GetItemCount(); ++p) {
        if (IsSelected(p) && GetItemData(p) != kErrorItem) {
            return true;
        }
    }
    return false;
}

void CBlockListCtrl::MoveSelectedUp() {
    const int32_t count = GetItemCount();
    if (count > 0 && IsSelected(0)) {
        return;
    }
    const bool movesBlocks = HasSelectedBlock();
    for (int32_t p = 1; p < count; ++p) {
        if (IsSelected(p)) {
            SwapEntries(p, p - 1);
        }
    }
    setFocus();
    if (movesBlocks) {
        emit BlocksChanged();
    }
}

void CBlockListCtrl::MoveSelectedDown() {
    const int32_t count = GetItemCount();
    if (count > 0 && IsSelected(count - 1)) {
        return;
    }
    const bool movesBlocks = HasSelectedBlock();
    for (int32_t p = count - 2; p >= 0; --p) {
        if (IsSelected(p)) {
            SwapEntries(p, p + 1);
        }
    }
    setFocus();
    if (movesBlocks) {
        emit BlocksChanged();
    }
}

void CBlockListCtrl::DeleteSelected() {
    bool deletedBlock = false;
    for (int32_t p = GetItemCount() - 1; p >= 0; --p) {
        if (!IsSelected(p)) {
            continue;
        }
        const int32_t value = GetItemData(p);
        delete takeTopLevelItem(p);
        if (value == kErrorItem) {
            continue;
        }
        m_blocks.erase(m_blocks.begin() + value);
        deletedBlock = true;
        for (int32_t q = 0; q < GetItemCount(); ++q) {
            if (GetItemData(q) > value) {
                topLevelItem(q)->setData(0, kItemValueRole, GetItemData(q) - 1);
            }
        }
    }
    clearSelection();
    setFocus();
    if (deletedBlock) {
        emit BlocksChanged();
    }
}

bool CBlockListCtrl::IsScreenItem(int32_t position) const {
    const int32_t value = GetItemData(position);
    return value >= 0 && value < BlockCount() && m_blocks[static_cast<size_t>(value)].IsScreen();
}

int32_t CBlockListCtrl::CountScreens() const {
    int32_t screens = 0;
    for (int32_t p = 0; p < GetItemCount(); ++p) {
        screens += IsScreenItem(p) ? 1 : 0;
    }
    return screens;
}

int32_t CBlockListCtrl::FindScreenItem(int32_t screenNumber) const {
    int32_t seen = 0;
    for (int32_t p = 0; p < GetItemCount(); ++p) {
        if (IsScreenItem(p)) {
            if (seen == screenNumber) {
                return p;
            }
            ++seen;
        }
    }
    return -1;
}

TapeBlock CBlockListCtrl::GetBlockCopy(int32_t storeIndex) const {
    if (storeIndex < 0 || storeIndex >= BlockCount()) {
        return {};
    }
    return m_blocks[static_cast<size_t>(storeIndex)];
}

std::vector<TapeBlock> CBlockListCtrl::BlocksToSave() const {
    const bool selectedOnly = !selectedItems().isEmpty();
    std::vector<TapeBlock> blocks;
    for (int32_t p = 0; p < GetItemCount(); ++p) {
        const int32_t value = GetItemData(p);
        if (value == kErrorItem || (selectedOnly && !IsSelected(p))) {
            continue;
        }
        blocks.push_back(m_blocks[static_cast<size_t>(value)]);
    }
    return blocks;
}

bool CBlockListCtrl::SavesWholeList() const {
    return static_cast<int32_t>(BlocksToSave().size()) == BlockCount();
}

std::optional<std::string> CBlockListCtrl::SaveTapeFile(const std::string& path) const {
    return SaveTapeImage(path, BlocksToSave());
}

std::vector<std::string> CBlockListCtrl::LoadTapeFile(const std::string& path) {
    TapeImage image = ReadTapeImage(path);
    for (const TapeBlock& block : image.blocks) {
        AddBlock(block.length, block.bytes.get());
    }
    return image.messages;
}

#include <gtest/gtest.h>

#include "model/BlockFacts.h"
#include "tape/BlockListModel.h"
#include "tape/TapeImageWriter.h"
#include "tests/tape/TapeTestData.h"

using namespace tapetest;

namespace {
// A model of `count` one-of-a-kind data blocks; block i has the flag i.
CBlockListModel ModelOf(int count) {
    CBlockListModel model;
    for (int i = 0; i < count; ++i) {
        const auto bytes = DataBytes(static_cast<uint8_t>(i), 3, static_cast<uint8_t>(i));
        model.AddBlock(3, bytes.data());
    }
    return model;
}

int FlagOf(const TapeItem& item) {
    return DataBytes(item.body)->at(0);
}

// The flag of the block each row shows, which for ModelOf is the row's original position.
std::vector<int> RowFlags(const CBlockListModel& model) {
    std::vector<int> flags;
    for (int32_t p = 0; p < model.GetItemCount(); ++p) {
        const ListEntry& entry = model.GetEntry(p);
        flags.push_back(entry.itemValue < 0 ? -1 : FlagOf(model.GetBlocks()[entry.itemValue]));
    }
    return flags;
}

std::vector<int32_t> Selected(const CBlockListModel& model) {
    std::vector<int32_t> positions;
    for (int32_t p = 0; p < model.GetItemCount(); ++p) {
        if (model.GetEntry(p).selected) {
            positions.push_back(p);
        }
    }
    return positions;
}

// Every row's texts still describe the block it refers to, and every block has one row.
void ExpectConsistent(const CBlockListModel& model) {
    std::vector<int> rowsPerBlock(model.GetBlocks().size(), 0);
    for (int32_t p = 0; p < model.GetItemCount(); ++p) {
        const ListEntry& entry = model.GetEntry(p);
        if (entry.itemValue >= 0) {
            ASSERT_LT(entry.itemValue, static_cast<int32_t>(model.GetBlocks().size()));
            ++rowsPerBlock[static_cast<size_t>(entry.itemValue)];
        }
    }
    for (int rows : rowsPerBlock) {
        EXPECT_EQ(rows, 1);
    }
}
}  // namespace

TEST(BlockListModel, AddBlockAppendsRowsWithStoreIndexAndTexts) {
    CBlockListModel model;
    const auto header = HeaderBytes(3, "screen", 6912);
    model.AddErrorEntry(DescribeReadError(5, 1));
    model.AddBlock(19, header.data());
    model.AddErrorEntry(DescribeReadError(3, 0));
    model.AddBlock(2, std::vector<uint8_t>{0xFF, 0x55}.data());
    ASSERT_EQ(model.GetItemCount(), 4);
    EXPECT_EQ(model.GetEntry(1), (ListEntry{0, -1, false}));
    EXPECT_EQ(model.GetTexts(1), (BlockEntry{"code", "00", "17", "screen    ", "6912"}));
    EXPECT_EQ(model.GetEntry(2).itemValue, CBlockListModel::kErrorItem);
    EXPECT_EQ(model.GetTexts(3), (BlockEntry{"", "FF", "0", "", ""}));
    // Blocks added after moving and deleting still go to the end with the new store index; an
    // error row keeps its own texts when an error row before it goes.
    model.SetSelected(0, true);
    model.SetSelected(1, true);
    model.DeleteSelected();
    EXPECT_EQ(model.GetTexts(0), DescribeReadError(3, 0));
    model.SetSelected(1, true);
    model.MoveSelectedUp();
    model.AddBlock(1, std::vector<uint8_t>{0x0A}.data());
    EXPECT_EQ(model.GetEntry(2).itemValue, 1);
    EXPECT_EQ(model.GetTexts(2).sync, "0A");
    EXPECT_EQ(model.GetTexts(1), DescribeReadError(3, 0));
    ExpectConsistent(model);
}

TEST(BlockListModel, UpAndDownMoveRunsOfSelectedRows) {
    CBlockListModel up = ModelOf(5);
    up.SetSelected(2, true);
    up.SetSelected(3, true);
    CBlockListModel down = up;
    EXPECT_TRUE(up.MoveSelectedUp());
    EXPECT_EQ(RowFlags(up), (std::vector<int>{0, 2, 3, 1, 4}));
    EXPECT_EQ(Selected(up), (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(down.MoveSelectedDown());
    EXPECT_EQ(RowFlags(down), (std::vector<int>{0, 1, 4, 2, 3}));
    EXPECT_EQ(Selected(down), (std::vector<int32_t>{3, 4}));
    ExpectConsistent(up);
    ExpectConsistent(down);
    // The store keeps its order; saving follows the rows.
    EXPECT_EQ(FlagOf(up.GetBlocks()[1]), 1);
    up.SetSelected(1, false);
    up.SetSelected(2, false);
    const auto saved = up.GetBlocksToSave();
    ASSERT_EQ(saved.size(), 5u);
    EXPECT_EQ(FlagOf(saved[1]), 2);
    EXPECT_EQ(FlagOf(saved[3]), 1);
}

TEST(BlockListModel, EdgeSelectionsMoveNothingAndKeepTheFocus) {
    CBlockListModel model = ModelOf(5);
    model.SetSelected(0, true);
    model.SetSelected(3, true);
    EXPECT_FALSE(model.MoveSelectedUp());
    EXPECT_EQ(RowFlags(model), (std::vector<int>{0, 1, 2, 3, 4}));
    model.SetSelected(0, false);
    model.SetSelected(4, true);
    EXPECT_FALSE(model.MoveSelectedDown());
    EXPECT_EQ(RowFlags(model), (std::vector<int>{0, 1, 2, 3, 4}));
    // Nothing selected or an empty list: nothing moves, and the list gets the focus.
    CBlockListModel none = ModelOf(3);
    EXPECT_TRUE(none.MoveSelectedUp());
    EXPECT_TRUE(none.MoveSelectedDown());
    EXPECT_EQ(RowFlags(none), (std::vector<int>{0, 1, 2}));
    CBlockListModel empty;
    EXPECT_TRUE(empty.MoveSelectedUp());
    EXPECT_TRUE(empty.MoveSelectedDown());
}

TEST(BlockListModel, DeleteRenumbersLaterRowsAndKeepsTheirBlocks) {
    for (int32_t victim : {0, 1, 2}) {
        CBlockListModel model = ModelOf(3);
        model.SetSelected(victim, true);
        model.DeleteSelected();
        ASSERT_EQ(model.GetItemCount(), 2);
        EXPECT_EQ(model.GetEntry(0).itemValue, 0);
        EXPECT_EQ(model.GetEntry(1).itemValue, 1);
        std::vector<int> expected = {0, 1, 2};
        expected.erase(expected.begin() + victim);
        EXPECT_EQ(RowFlags(model), expected) << victim;
        EXPECT_TRUE(Selected(model).empty());
        ExpectConsistent(model);
    }
}

TEST(BlockListModel, DeleteAfterMovingAndAroundErrorRows) {
    CBlockListModel model = ModelOf(4);
    model.AddErrorEntry(DescribeReadError(0, -1));
    model.SetSelected(3, true);
    model.MoveSelectedUp();  // rows now show blocks 0, 1, 3, 2, then the error row
    model.SetSelected(2, false);
    model.SetSelected(1, true);
    model.SetSelected(4, true);
    model.DeleteSelected();
    EXPECT_EQ(RowFlags(model), (std::vector<int>{0, 3, 2}));
    EXPECT_EQ(model.GetBlocks().size(), 3u);
    ExpectConsistent(model);

    CBlockListModel withError = ModelOf(2);
    withError.AddErrorEntry(DescribeReadError(0, -1));
    withError.SetSelected(2, true);
    withError.DeleteSelected();
    EXPECT_EQ(RowFlags(withError), (std::vector<int>{0, 1}));
    EXPECT_EQ(withError.GetBlocks().size(), 2u);

    for (int32_t p = 0; p < withError.GetItemCount(); ++p) {
        withError.SetSelected(p, true);
    }
    withError.DeleteSelected();
    EXPECT_EQ(withError.GetItemCount(), 0);
    EXPECT_TRUE(withError.GetBlocks().empty());
}

TEST(BlockListModel, ScreenQueriesFollowRowOrder) {
    CBlockListModel model;
    const auto screen = DataBytes(0xFF, 6914);
    const auto notScreen = DataBytes(0x00, 6914);
    const auto small = DataBytes(0xFF, 10);
    model.AddBlock(10, small.data());
    model.AddBlock(6914, screen.data());
    model.AddErrorEntry(DescribeReadError(2, 0xFF));
    model.AddBlock(6914, notScreen.data());
    model.AddBlock(6914, screen.data());
    EXPECT_EQ(model.CountScreens(), 2);
    EXPECT_EQ(model.FindScreenItem(0), 1);
    EXPECT_EQ(model.FindScreenItem(1), 4);
    EXPECT_EQ(model.FindScreenItem(2), -1);
    EXPECT_FALSE(model.IsScreenItem(2));
    EXPECT_FALSE(model.IsScreenItem(99));
    model.SetSelected(4, true);
    model.MoveSelectedUp();
    EXPECT_EQ(model.FindScreenItem(1), 3);
    EXPECT_EQ(CBlockListModel().FindScreenItem(0), -1);

    std::optional<TapeItem> copy = model.GetBlockCopy(1);
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(*copy, BlockOf(screen));
    EXPECT_FALSE(model.GetBlockCopy(4).has_value());
    EXPECT_FALSE(model.GetBlockCopy(-1).has_value());
}

TEST(BlockListModel, SavingWritesSelectedRowsOrAllAndSkipsErrors) {
    const auto dir = TestDirectory();
    CBlockListModel model = ModelOf(5);
    model.AddErrorEntry(DescribeReadError(1, 7));
    ASSERT_EQ(model.SaveTapeFile((dir / "all.tap").string()), std::nullopt);
    EXPECT_EQ(CTestTape::ReadFile(dir / "all.tap"),
              EncodeTapeImage(TapeLayout::Tap, model.GetBlocks()));
    model.SetSelected(4, true);
    model.SetSelected(2, true);
    model.SetSelected(5, true);
    ASSERT_EQ(model.SaveTapeFile((dir / "some.tzx").string()), std::nullopt);
    EXPECT_EQ(CTestTape::ReadFile(dir / "some.tzx"),
              EncodeTapeImage(TapeLayout::Tzx, {model.GetBlocks()[2], model.GetBlocks()[4]}));

    CBlockListModel onlyErrors;
    onlyErrors.AddErrorEntry(DescribeReadError(0, -1));
    ASSERT_EQ(onlyErrors.SaveTapeFile((dir / "none.tap").string()), std::nullopt);
    EXPECT_TRUE(CTestTape::ReadFile(dir / "none.tap").empty());
}

TEST(BlockListModel, LoadingAppendsAfterExistingRowsAndReports) {
    const auto dir = TestDirectory();
    CBlockListModel source = ModelOf(3);
    ASSERT_EQ(source.SaveTapeFile((dir / "three.tzx").string()), std::nullopt);
    CBlockListModel model = ModelOf(1);
    model.SetSelected(0, true);
    EXPECT_EQ(model.LoadTapeFile((dir / "three.tzx").string()).blocksAdded, 3);
    EXPECT_EQ(model.LoadTapeFile((dir / "three.tzx").string()).blocksAdded, 3);
    EXPECT_EQ(RowFlags(model), (std::vector<int>{0, 0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(Selected(model), (std::vector<int32_t>{0}));
    ExpectConsistent(model);

    const TapeLoadReport missing = model.LoadTapeFile((dir / "missing.tap").string());
    EXPECT_EQ(missing.outcome, TapeReadOutcome::Unreadable);
    EXPECT_EQ(missing.blocksAdded, 0);
    EXPECT_FALSE(missing.messages.empty());
    EXPECT_EQ(model.GetItemCount(), 7);
}

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/FileFilter.h"
#include "app/SavePlan.h"
#include "app/SignalIndicator.h"
#include "app/UnsavedBlocks.h"
#include "tape/BlockListHistory.h"

TEST(SignalIndicator, StripesOfAUsualPane) {
    CSignalIndicator indicator;
    indicator.SetReading(SignalReading::Data);
    const std::vector<Stripe> first = indicator.NextStripes(PaneRect{300, 2, 400, 18});
    ASSERT_EQ(first.size(), 4u);
    const int tops[] = {3, 6, 9, 12};
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].y, tops[i]);
        EXPECT_EQ(first[i].height, 3);
        EXPECT_EQ(first[i].x, 301);
        EXPECT_EQ(first[i].width, 98);
    }
    // The first update draws stripe 0 in colour A; the next swaps them.
    EXPECT_EQ(first[0].colour, CSignalIndicator::kBlue);
    EXPECT_EQ(first[1].colour, CSignalIndicator::kYellow);
    const std::vector<Stripe> second = indicator.NextStripes(PaneRect{300, 2, 400, 18});
    EXPECT_EQ(second[0].colour, CSignalIndicator::kYellow);
    EXPECT_EQ(second[1].colour, CSignalIndicator::kBlue);
    EXPECT_EQ(indicator.UpdateCount(), 2);
}

TEST(SignalIndicator, ReadingsSetColoursAndThreeKeepsThem) {
    CSignalIndicator indicator;
    EXPECT_EQ(indicator.ColourA(), CSignalIndicator::kBlack);
    indicator.SetReading(SignalReading::Leader);
    EXPECT_EQ(indicator.ColourA(), CSignalIndicator::kCyan);
    EXPECT_EQ(indicator.ColourB(), CSignalIndicator::kRed);
    indicator.SetReading(SignalReading::Unchanged);
    EXPECT_EQ(indicator.ColourB(), CSignalIndicator::kRed);
    indicator.SetReading(SignalReading::Nothing);
    EXPECT_EQ(indicator.ColourA(), CSignalIndicator::kBlack);
    EXPECT_EQ(indicator.ColourB(), CSignalIndicator::kBlack);
}

TEST(SignalIndicator, ShortPanesDrawNothingButStillCount) {
    CSignalIndicator indicator;
    // Inner height 3: stripe height 0 would never advance.
    EXPECT_TRUE(indicator.NextStripes(PaneRect{0, 0, 50, 5}).empty());
    EXPECT_TRUE(indicator.NextStripes(PaneRect{0, 10, 50, 5}).empty());
    EXPECT_EQ(indicator.UpdateCount(), 2);
    // Inner height 4h + r with r >= h draws a fifth stripe: 4 * 2 + 2 = 10.
    EXPECT_EQ(indicator.NextStripes(PaneRect{0, 0, 50, 12}).size(), 5u);
}

TEST(FileFilter, SplitsChoicesAndTrimsPatterns) {
    const std::vector<FileTypeChoice> choices = SplitFileFilter(kTapeFileFilter);
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_EQ(choices[0].display, "BLK and Z80 TAP Files (*.blk;*.tap)");
    EXPECT_EQ(choices[0].patterns, (std::vector<std::string>{"*.blk", "*.tap"}));
    EXPECT_EQ(choices[1], (FileTypeChoice{"TZX Files (*.tzx)", {"*.tzx"}}));
    EXPECT_EQ(choices[2], (FileTypeChoice{"All Files (*.*)", {"*.*"}}));
    EXPECT_EQ(BareExtension(kTapeDefaultExtension), "blk");
    EXPECT_TRUE(SplitFileFilter("").empty());
}

TEST(UnsavedBlocks, AsksOnlyForBlocksChangedSinceAWholeSave) {
    CUnsavedBlocks unsaved;
    EXPECT_FALSE(unsaved.MustAsk(0));
    unsaved.NoteChange();
    EXPECT_TRUE(unsaved.MustAsk(1));
    EXPECT_FALSE(unsaved.MustAsk(0));  // everything deleted: nothing to lose
    unsaved.NoteSaved(false);          // a selection only
    EXPECT_TRUE(unsaved.MustAsk(1));
    unsaved.NoteSaved(true);
    EXPECT_FALSE(unsaved.MustAsk(1));
    unsaved.NoteChange();
    EXPECT_TRUE(unsaved.MustAsk(1));
}

namespace {

TapeItem DataBlock(uint8_t first) {
    return {RomBlock{{0xFF, first, static_cast<uint8_t>(0xFF ^ first)}}, {}, {}};
}

bool NeverARecording(const std::string&) {
    return false;
}

// The first data byte of each block row in row order; "e" for an error row.
std::string Rows(const CBlockListModel& model) {
    std::string rows;
    for (int32_t p = 0; p < model.GetItemCount(); ++p) {
        const ListEntry& entry = model.GetEntry(p);
        rows += entry.itemValue == CBlockListModel::kErrorItem
                    ? std::string("e")
                    : std::to_string(
                          std::get<RomBlock>(model.GetBlockCopy(entry.itemValue)->body).bytes[1]);
    }
    return rows;
}

}  // namespace

TEST(SavePlan, RefusesWhatMustNotBeWrittenAndCountsWhatATapKeeps) {
    const std::string folder = ::testing::TempDir() + "save_plan_" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    const std::string tap = folder + "/out.tap";
    EXPECT_TRUE(PlanSave(tap, {}, NeverARecording).refusal);

    const std::vector<TapeItem> blocks = {
        DataBlock(1), {Pause{1000}, {}, {}}, {TurboBlock{.bytes = {0xFF, 1, 0xFE}}, {}, {}}};
    const SavePlan plan = PlanSave(tap, blocks, NeverARecording);
    EXPECT_FALSE(plan.refusal);
    EXPECT_EQ(plan.blocksWritten, 2);
    ASSERT_TRUE(plan.warning);
    EXPECT_NE(plan.warning->find("1 stretch (tone, pulses, recording or pause) is left out"),
              std::string::npos)
        << *plan.warning;
    EXPECT_NE(plan.warning->find("1 turbo or pure-data block loses its timing"), std::string::npos);
    const SavePlan tzx = PlanSave(folder + "/out.tzx", blocks, NeverARecording);
    EXPECT_FALSE(tzx.warning);
    EXPECT_EQ(tzx.blocksWritten, 3);

    // An existing recording, and a FIFO, whatever the list holds.
    const std::string wav = folder + "/take.wav";
    std::fclose(std::fopen(wav.c_str(), "w"));
    EXPECT_TRUE(
        PlanSave(wav, blocks, [&wav](const std::string& path) { return path == wav; }).refusal);
    const std::string fifo = folder + "/pipe.tap";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(PlanSave(fifo, blocks, NeverARecording).refusal);
    std::filesystem::remove_all(folder);
}

TEST(BlockListHistory, PutsRowsBackAroundRowsAddedSinceAndRedoes) {
    CBlockListModel model;
    CBlockListHistory history;
    model.AddItem(DataBlock(1));
    model.AddErrorEntry(BlockEntry{"err", "", "", "", ""});
    model.AddItem(DataBlock(2));
    model.AddItem(DataBlock(3));
    model.SetSelected(1, true);
    model.SetSelected(2, true);
    EXPECT_TRUE(history.DeleteSelected(model));
    EXPECT_EQ(Rows(model), "13");
    model.AddItem(DataBlock(4));
    model.AddErrorEntry(BlockEntry{"late", "", "", "", ""});
    ASSERT_TRUE(history.Undo(model));
    EXPECT_EQ(Rows(model), "1e234e");
    // Every store index is the item value of exactly one row, in arrival order.
    EXPECT_EQ(model.GetEntry(2).itemValue, 1);
    EXPECT_EQ(model.GetEntry(4).itemValue, 3);
    EXPECT_EQ(model.GetTexts(1).type, "err");
    EXPECT_EQ(model.GetTexts(5).type, "late");
    EXPECT_FALSE(model.GetEntry(1).selected);
    ASSERT_TRUE(history.Redo(model));
    EXPECT_EQ(Rows(model), "134e");
    EXPECT_EQ(model.GetTexts(3).type, "late");
    EXPECT_FALSE(history.Redo(model));

    // A move keeps only the span it changed; a new edit forgets what could be redone.
    ASSERT_TRUE(history.Undo(model));
    model.SetSelected(4, true);
    EXPECT_TRUE(history.MoveSelectedUp(model));
    EXPECT_EQ(Rows(model), "1e243e");
    EXPECT_FALSE(history.CanRedo());
    ASSERT_TRUE(history.Undo(model));
    EXPECT_EQ(Rows(model), "1e234e");
    EXPECT_TRUE(model.GetEntry(4).selected);  // the moved row keeps its selection
    EXPECT_FALSE(history.Undo(model));        // the delete was undone before the move
    EXPECT_EQ(Rows(model), "1e234e");
}

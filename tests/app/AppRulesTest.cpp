#include <gtest/gtest.h>

#include "app/FileFilter.h"
#include "app/SignalIndicator.h"
#include "app/UnsavedBlocks.h"

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

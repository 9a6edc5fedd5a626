#include <gtest/gtest.h>

#include "model/BlockFacts.h"
#include "tape/BlockEntry.h"
#include "tests/tape/TapeTestData.h"

using tapetest::DataBytes;
using tapetest::HeaderBytes;

namespace {
BlockBody Rom(std::vector<uint8_t> bytes) {
    return RomBlock{std::move(bytes)};
}
}  // namespace

TEST(BlockEntry, HeaderShowsTypeWordNameAndAnnouncedLength) {
    const BlockEntry code = DescribeBlock(Rom(HeaderBytes(3, "loader    ", 6912)));
    EXPECT_EQ(code, (BlockEntry{"code", "00", "17", "loader    ", "6912"}));
    EXPECT_EQ(DescribeBlock(Rom(HeaderBytes(0, "x", 0))).type, "prog");
    for (int type : {1, 2, 0x80, 0xFF}) {
        EXPECT_EQ(DescribeBlock(Rom(HeaderBytes(static_cast<uint8_t>(type), "x", 0))).type, "array")
            << type;
    }
}

TEST(BlockEntry, NameStopsAtAZeroBeforePaddingAndKeepsSpaces) {
    std::vector<uint8_t> bytes = HeaderBytes(0, "AB", 0);
    bytes[4] = 0;  // A, B, zero, seven spaces
    EXPECT_EQ(DescribeBlock(Rom(bytes)).name, "AB");
    EXPECT_EQ(DescribeBlock(Rom(HeaderBytes(0, " a  b ", 0))).name, " a  b     ");
    // Text after a zero is not hidden: the line shows the zero escaped.
    bytes = HeaderBytes(0, "zed nulls", 0);
    bytes[5] = 0;
    EXPECT_EQ(FormatEntryLine(DescribeBlock(Rom(bytes))), "prog\t00\t17\tzed\\x00nulls \t0");
}

TEST(BlockEntry, ExpectedIsLittleEndian) {
    std::vector<uint8_t> bytes = HeaderBytes(3, "s", 0);
    bytes[12] = 0x00;
    bytes[13] = 0x1B;
    EXPECT_EQ(DescribeBlock(Rom(bytes)).expected, "6912");
    bytes[12] = 0xFF;
    bytes[13] = 0xFF;
    EXPECT_EQ(DescribeBlock(Rom(bytes)).expected, "65535");
}

TEST(BlockEntry, OnlyNineteenBytesWithFlagZeroMakeAHeader) {
    std::vector<uint8_t> flagFF = HeaderBytes(3, "s", 5);
    flagFF[0] = 0xFF;
    EXPECT_EQ(DescribeBlock(Rom(flagFF)), (BlockEntry{"", "FF", "17", "", ""}));
    std::vector<uint8_t> twenty = HeaderBytes(3, "s", 5);
    twenty.push_back(0);
    EXPECT_EQ(DescribeBlock(Rom(twenty)), (BlockEntry{"", "00", "18", "", ""}));
}

TEST(BlockEntry, DataBlockLengthsAndTwoDigitFlags) {
    EXPECT_EQ(DescribeBlock(Rom({0xFF, 0x55})), (BlockEntry{"", "FF", "0", "", ""}));
    EXPECT_EQ(DescribeBlock(Rom({0x0A})), (BlockEntry{"", "0A", "-1", "", ""}));
    EXPECT_EQ(DescribeBlock(Rom(DataBytes(0xFF, 6914))).length, "6912");
    // An empty block has no flag byte to show and must not be read.
    EXPECT_EQ(DescribeBlock(RomBlock{}), (BlockEntry{"", "", "-2", "", ""}));
}

TEST(BlockEntry, TzxBlocksKeptAsReadNameTheirTypeAndSize) {
    const auto raw = [](std::vector<uint8_t> bytes) {
        return DescribeBlock(KeptTzxBlock{std::move(bytes)});
    };
    EXPECT_EQ(raw({0x24, 2, 0}), (BlockEntry{"tzx", "", "", "0x24 loop start, 2 bytes", ""}));
    EXPECT_EQ(raw({0x18, 1, 0, 0, 0, 9}).name, "0x18 CSW recording, 5 bytes");
    EXPECT_EQ(raw({0x7E, 0, 0, 0, 0}).name, "0x7E unknown type, 4 bytes");
    // The other stretches keep their rows.
    EXPECT_EQ(DescribeBlock(PureTone{2168, 968635}),
              (BlockEntry{"tone", "", "", "968635 x 2168", ""}));
    EXPECT_EQ(DescribeBlock(Pause{0}), (BlockEntry{"pause", "", "", "0 ms", ""}));
    // A read failure is the row of its read error.
    EXPECT_EQ(DescribeBlock(ReadFailure{3, 0}), DescribeReadError(3, 0));
    // A recording counts only the used bits of its last byte.
    EXPECT_EQ(DescribeBlock(DirectRecording{350, 5, 0, std::vector<uint8_t>(1000, 0xAA)}).name,
              "7997 samples, 350 T each, 0.80 s");
}

TEST(BlockEntry, ReadErrorTexts) {
    EXPECT_EQ(DescribeReadError(3, 0x00),
              (BlockEntry{"error", "00", "1", "Read error at byte 3", ""}));
    EXPECT_EQ(DescribeReadError(0, -1),
              (BlockEntry{"error", "", "-2", "Read error at byte 0", ""}));
    EXPECT_EQ(DescribeReadError(1, 0xAB).sync, "AB");
}

TEST(BlockEntry, LineJoinsTheFiveTextsWithTabsAndEscapesControls) {
    EXPECT_EQ(FormatEntryLine({"code", "00", "17", "AB", "6912"}), "code\t00\t17\tAB\t6912");
    EXPECT_EQ(FormatEntryLine({"", "FF", "0", "", ""}), "\tFF\t0\t\t");
    EXPECT_EQ(FormatEntryLine({"prog", "00", "17", "a\tb\nc\rd\x1b[2J\\\x7f", "1"}),
              "prog\t00\t17\ta\\tb\\nc\\rd\\x1B[2J\\\\\\x7F\t1");
    // C1 controls (0x9B is a terminal's CSI) are escaped; other high bytes pass as they are.
    EXPECT_EQ(FormatEntryLine({"", "", "",
                               "\x80\x9B"
                               "2J\x9F\xA0\xFF",
                               ""}),
              "\t\t\t\\x80\\x9B2J\\x9F\xA0\xFF\t");
}

TEST(BlockFacts, ShapesOfHeaderAndScreen) {
    EXPECT_TRUE(IsHeader(RomBlock{HeaderBytes(0, "x", 0)}));
    EXPECT_FALSE(IsHeader(TurboBlock{.bytes = HeaderBytes(0, "x", 0)}));
    EXPECT_TRUE(IsScreen(RomBlock{DataBytes(0xFF, 6914)}));
    EXPECT_FALSE(IsScreen(RomBlock{DataBytes(0x00, 6914)}));
    EXPECT_FALSE(IsScreen(RomBlock{DataBytes(0xFF, 6913)}));
    EXPECT_FALSE(IsHeader(RomBlock{}));
    EXPECT_FALSE(IsScreen(RomBlock{}));
}

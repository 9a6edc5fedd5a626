#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include "model/BlockFacts.h"
#include "tape/TapeImageWriter.h"
#include "tests/tape/TapeTestData.h"

using namespace tapetest;
namespace fs = std::filesystem;

namespace {
std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const std::vector<uint8_t> kTzxHeader = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 1};
}  // namespace

TEST(TapeImageWriter, ExtensionRuleIsCaseSensitiveOnLastFourCharacters) {
    for (const char* path : {"game.TZX", "game.tzx", "dir.tap/x.tzx", ".tzx"}) {
        EXPECT_EQ(LayoutForPath(path), TapeLayout::Tzx) << path;
    }
    for (const char* path : {"game.Tzx", "game.tzx.bak", "game.tap", "game.BLK", "game", "ab",
                             "tzx", "", "game.tzX"}) {
        EXPECT_EQ(LayoutForPath(path), TapeLayout::Tap) << path;
    }
}

TEST(TapeImageWriter, HeaderAndScreenInBothLayouts) {
    const auto header = HeaderBytes(3, "screen", 6912);
    const auto screen = DataBytes(0xFF, 6914);
    const std::vector<TapeItem> blocks = {BlockOf(header), BlockOf(screen)};
    EXPECT_EQ(EncodeTapeImage(TapeLayout::Tap, blocks),
              Concat({{0x13, 0x00}, header, {0x02, 0x1B}, screen}));
    EXPECT_EQ(EncodeTapeImage(TapeLayout::Tzx, blocks), Concat({kTzxHeader,
                                                                {0x10, 0xE8, 0x03, 0x13, 0x00},
                                                                header,
                                                                {0x10, 0xE8, 0x03, 0x02, 0x1B},
                                                                screen}));
}

TEST(TapeImageWriter, NoBlocksGiveEmptyTapOrBareTzxHeader) {
    const fs::path dir = TestDirectory();
    ASSERT_EQ(SaveTapeImage(dir / "empty.tap", {}), std::nullopt);
    ASSERT_EQ(SaveTapeImage(dir / "empty.tzx", {}), std::nullopt);
    EXPECT_TRUE(CTestTape::ReadFile(dir / "empty.tap").empty());
    EXPECT_EQ(CTestTape::ReadFile(dir / "empty.tzx"), kTzxHeader);
}

TEST(TapeImageWriter, BlkAndTapFilesAreIdentical) {
    const fs::path dir = TestDirectory();
    const std::vector<TapeItem> blocks = {BlockOf(HeaderBytes(0, "run", 10)),
                                          BlockOf(DataBytes(0xFF, 12))};
    ASSERT_EQ(SaveTapeImage(dir / "a.blk", blocks), std::nullopt);
    ASSERT_EQ(SaveTapeImage(dir / "a.tap", blocks), std::nullopt);
    EXPECT_EQ(CTestTape::ReadFile(dir / "a.blk"), CTestTape::ReadFile(dir / "a.tap"));
    EXPECT_EQ(CTestTape::ReadFile(dir / "a.tap"), EncodeTapeImage(TapeLayout::Tap, blocks));
}

TEST(TapeImageWriter, SavingReplacesAnExistingFileAndLeavesNoTemporary) {
    const fs::path dir = TestDirectory();
    CTestTape::WriteFile(dir / "t.tap", std::vector<uint8_t>(1000, 0xEE));
    fs::permissions(dir / "t.tap", fs::perms(0640));
    ASSERT_EQ(SaveTapeImage(dir / "t.tap", {BlockOf({0xFF, 0xFF})}), std::nullopt);
    EXPECT_EQ(CTestTape::ReadFile(dir / "t.tap"), (std::vector<uint8_t>{2, 0, 0xFF, 0xFF}));
    EXPECT_EQ(fs::status(dir / "t.tap").permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(TapeImageWriter, OversizedBlockIsRefusedByNumberAndNothingIsWritten) {
    const fs::path dir = TestDirectory();
    const std::vector<uint8_t> old = {2, 0, 0xFF, 0xFF};
    CTestTape::WriteFile(dir / "t.tzx", old);
    const std::vector<TapeItem> blocks = {BlockOf({0xFF, 0}), BlockOf(DataBytes(0xFF, 65536))};
    const auto error = SaveTapeImage(dir / "t.tzx", blocks);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("block 2 of 2"), std::string::npos) << *error;
    EXPECT_NE(error->find("65536"), std::string::npos) << *error;
    EXPECT_EQ(CTestTape::ReadFile(dir / "t.tzx"), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // The largest storable block goes through.
    EXPECT_EQ(SaveTapeImage(dir / "max.tap", {BlockOf(DataBytes(0xFF, 65535))}), std::nullopt);
    EXPECT_EQ(fs::file_size(dir / "max.tap"), 65537u);
}

TEST(TapeImageWriter, UnwritableTargetsAreReportedWithPathAndReason) {
    const fs::path dir = TestDirectory();
    const std::string missing = (dir / "no-such-dir" / "t.tap").string();
    const auto error = SaveTapeImage(missing, {BlockOf({0xFF, 0})});
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find(missing), std::string::npos) << *error;
    EXPECT_NE(error->find("No such file or directory"), std::string::npos) << *error;

    // A directory in the way of the rename.
    fs::create_directory(dir / "taken.tap");
    const auto blocked = SaveTapeImage((dir / "taken.tap").string(), {BlockOf({0xFF, 0})});
    ASSERT_TRUE(blocked.has_value());
    EXPECT_NE(blocked->find("Is a directory"), std::string::npos) << *blocked;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(TapeImageWriter, WriteFailingHalfwayKeepsTheOldFile) {
    const fs::path dir = TestDirectory();
    const std::vector<uint8_t> old = {3, 0, 0xFF, 1, 0xFE};
    CTestTape::WriteFile(dir / "keep.tzx", old);
    // A file size limit makes the write fail after 4096 bytes, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto error = SaveTapeImage((dir / "keep.tzx").string(), {BlockOf(DataBytes(0xFF, 9000))});
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find((dir / "keep.tzx").string()), std::string::npos) << *error;
    EXPECT_NE(error->find("File too large"), std::string::npos) << *error;
    EXPECT_EQ(CTestTape::ReadFile(dir / "keep.tzx"), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(TzxWriter, AStandardBlockOnlyWhereTheRomWouldReplayItSo) {
    const auto header = HeaderBytes(3, "code", 3);
    const auto data = DataBytes(0xFF, 5);
    const auto written = [](const TurboBlock& measured) {
        return TapeItem{RomIfReplaysAlike(measured), {}, {}};
    };
    // A measured leader a few pulses short is the ROM's.
    for (const TapeItem& rom : {written({.pilotCount = 8063, .bytes = header}),
                                written({.pilotPulse = 2150, .pilotCount = 3200, .bytes = data})}) {
        EXPECT_TRUE(std::holds_alternative<RomBlock>(rom.body));
        EXPECT_EQ(EncodeTapeImage(TapeLayout::Tzx, {rom})[10], 0x10);
    }
    // A header behind a data block's leader, a loader's own leader, a last byte of 5 bits and
    // a leader far off the ROM's pitch are their own timing.
    for (const TapeItem& own : {written({.pilotCount = 3223, .bytes = header}),
                                written({.pilotCount = 1000, .bytes = data}),
                                written({.usedBitsInLastByte = 5, .bytes = data}),
                                written({.pilotPulse = 2800, .bytes = data})}) {
        const auto* turbo = std::get_if<TurboBlock>(&own.body);
        ASSERT_NE(turbo, nullptr);
        const std::vector<uint8_t> tzx = EncodeTapeImage(TapeLayout::Tzx, {own});
        EXPECT_EQ(tzx[10], 0x11);
        EXPECT_EQ(tzx[21] | tzx[22] << 8, static_cast<int>(turbo->pilotCount));
        EXPECT_EQ(tzx[23], turbo->usedBitsInLastByte);
    }
}

TEST(TzxWriter, ALeaderTooLongForATurboBlockStartsAsATone) {
    const TapeItem turbo{
        TurboBlock{.pilotPulse = 1500, .pilotCount = 70000, .bytes = DataBytes(0xFF, 4)}, {}, {}};
    const std::vector<uint8_t> tzx = EncodeTapeImage(TapeLayout::Tzx, {turbo});
    ASSERT_EQ(tzx.size(), 10u + 5 + 19 + 4);
    EXPECT_EQ(std::vector<uint8_t>(tzx.begin() + 10, tzx.begin() + 15),
              (std::vector<uint8_t>{0x12, 0xDC, 0x05, 0x71, 0x11}));  // 4465 pulses of 1500
    EXPECT_EQ(tzx[15], 0x11);
    EXPECT_EQ(tzx[26] | tzx[27] << 8, 65535);
}

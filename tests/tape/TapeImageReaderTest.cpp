#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>

#include "model/BlockFacts.h"
#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"
#include "tests/tape/TapeTestData.h"

using namespace tapetest;
namespace fs = std::filesystem;

namespace {
TapeImage Parse(const std::vector<uint8_t>& bytes) {
    return ParseTapeImage(bytes.data(), bytes.size(), "t");
}

void Append(std::vector<uint8_t>& out, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        out.push_back(static_cast<uint8_t>(b));
    }
}

void AppendData(std::vector<uint8_t>& out, const std::vector<uint8_t>& data) {
    out.insert(out.end(), data.begin(), data.end());
}

bool Mentions(const TapeImage& image, const std::string& text) {
    for (const TapeMessage& message : image.messages) {
        if (message.text.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::vector<BlockBody> Bodies(const std::vector<TapeItem>& items, size_t from, size_t to) {
    std::vector<BlockBody> bodies;
    for (size_t i = from; i < to; ++i) {
        bodies.push_back(items[i].body);
    }
    return bodies;
}

// Every kind of block the program meets: headers of each type, a screen, the smallest blocks,
// odd flags and the largest block a tape image can hold.
std::vector<TapeItem> EveryKindOfBlock() {
    std::vector<TapeItem> blocks;
    for (int type : {0, 1, 2, 3}) {
        blocks.push_back(
            BlockOf(HeaderBytes(static_cast<uint8_t>(type), "name" + std::to_string(type), 100)));
    }
    blocks.push_back(BlockOf(DataBytes(0xFF, 6914)));
    blocks.push_back(BlockOf({0x0A}));
    blocks.push_back(BlockOf({0xFF, 0x55}));
    blocks.push_back(BlockOf(DataBytes(0x00, 20, 3)));
    blocks.push_back(BlockOf(DataBytes(0x80, 256, 5)));
    blocks.push_back(BlockOf(DataBytes(0xFF, 65535, 9)));
    return blocks;
}

// A TZX image holding one block of every type of revision 1.20, with the three data block types
// carrying the blocks 1, 2, 3 (standard), 4 (turbo) and 5 (pure data).
std::vector<uint8_t> TzxWithEveryBlockType() {
    std::vector<uint8_t> f = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    Append(f, {0x10, 0xE8, 0x03, 3, 0, 1, 1, 1});
    Append(f, {0x11, 0x78, 0x08, 0x9B, 0x02, 0xDF, 0x02, 0x57, 0x03, 0xAE, 0x06, 0x7F,
               0x1F, 8,    0xE8, 0x03, 4,    0,    0,    4,    4,    4,    4});
    Append(f, {0x12, 0x78, 0x08, 0x10, 0x00});
    Append(f, {0x13, 2, 0x9B, 0x02, 0xDF, 0x02});
    Append(f, {0x14, 0x57, 0x03, 0xAE, 0x06, 8, 0xE8, 0x03, 5, 0, 0, 5, 5, 5, 5, 5});
    Append(f, {0x15, 0x4F, 0x00, 0x00, 0x00, 8, 3, 0, 0, 0xAA, 0x55, 0xAA});
    Append(f, {0x16, 6, 0, 0, 0, 1, 2, 3, 4, 5, 6});
    Append(f, {0x17, 2, 0, 0, 0, 1, 2});
    Append(f, {0x18, 3, 0, 0, 0, 1, 2, 3});
    Append(f, {0x19, 1, 0, 0, 0, 9});
    Append(f, {0x20, 0x00, 0x00});
    Append(f, {0x21, 3, 'a', 'b', 'c'});
    Append(f, {0x22});
    Append(f, {0x23, 0x01, 0x00});
    Append(f, {0x24, 0x02, 0x00});
    Append(f, {0x25});
    Append(f, {0x26, 2, 0, 1, 0, 2, 0});
    Append(f, {0x27});
    Append(f, {0x28, 5, 0, 1, 1, 0, 1, 'x'});
    Append(f, {0x2A, 0, 0, 0, 0});
    Append(f, {0x2B, 1, 0, 0, 0, 1});
    Append(f, {0x30, 2, 'h', 'i'});
    Append(f, {0x31, 5, 2, 'o', 'k'});
    Append(f, {0x32, 4, 0, 1, 0, 1, 'z'});
    Append(f, {0x33, 1, 0, 0, 1});
    Append(f, {0x34, 1, 2, 3, 4, 5, 6, 7, 8});
    Append(f, {0x35});
    AppendData(f, std::vector<uint8_t>(16, 'c'));
    Append(f, {2, 0, 0, 0, 7, 7});
    Append(f, {0x40, 0, 3, 0, 0, 1, 2, 3});
    Append(f, {0x5A, 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20});
    Append(f, {0x10, 0x00, 0x00, 2, 0, 0xFF, 0xFF});
    return f;
}
}  // namespace

TEST(TapReader, EmptyFileIsAnEmptyTape) {
    const TapeImage image = Parse({});
    EXPECT_EQ(image.outcome, TapeReadOutcome::Complete);
    EXPECT_TRUE(image.blocks.empty());
}

TEST(TapReader, RecordsOfLengthZeroAreSkippedAndCounted) {
    const std::vector<uint8_t> file = {0, 0, 2, 0, 0xFF, 0xFF, 0, 0};
    const TapeImage image = Parse(file);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Complete);
    ASSERT_EQ(image.blocks.size(), 1u);
    EXPECT_EQ(image.blocks[0], BlockOf({0xFF, 0xFF}));
    EXPECT_TRUE(Mentions(image, "skipped 2 record(s) of length 0"));
}

TEST(TapReader, FileThatIsNoTapeImageIsReported) {
    for (const std::vector<uint8_t>& file :
         {std::vector<uint8_t>{0x42}, std::vector<uint8_t>{0xFF, 0xFF, 1, 2, 3},
          std::vector<uint8_t>{'P', 'K', 3, 4, 0, 0, 0, 0}}) {
        const TapeImage image = Parse(file);
        EXPECT_EQ(image.outcome, TapeReadOutcome::Unreadable);
        EXPECT_TRUE(image.blocks.empty());
        EXPECT_TRUE(Mentions(image, "t: is neither a TAP nor a TZX image"));
    }
}

TEST(TapeImageRoundTrip, EveryKindOfBlockThroughBothLayouts) {
    const fs::path dir = TestDirectory();
    const std::vector<TapeItem> blocks = EveryKindOfBlock();
    for (const char* name : {"all.tap", "all.tzx", "all.blk", "all.TZX"}) {
        const std::string path = (dir / name).string();
        ASSERT_EQ(SaveTapeImage(path, blocks), std::nullopt);
        const TapeImage image = ReadTapeImage(path);
        EXPECT_EQ(image.outcome, TapeReadOutcome::Complete) << name;
        EXPECT_TRUE(image.messages.empty()) << name;
        EXPECT_EQ(image.blocks, blocks) << name;
    }
}

TEST(TapeImageRoundTrip, ReadingTwiceGivesTheBlocksTwice) {
    const fs::path dir = TestDirectory();
    ASSERT_EQ(SaveTapeImage((dir / "a.tzx").string(), {BlockOf({0xFF, 1, 0xFE})}), std::nullopt);
    std::vector<TapeItem> loaded;
    for (int i = 0; i < 2; ++i) {
        for (TapeItem& block : ReadTapeImage((dir / "a.tzx").string()).blocks) {
            loaded.push_back(std::move(block));
        }
    }
    EXPECT_EQ(loaded, (std::vector<TapeItem>{BlockOf({0xFF, 1, 0xFE}), BlockOf({0xFF, 1, 0xFE})}));
}

TEST(TzxReader, EveryBlockTypeOfRevision120IsReadOrKeptAsItIs) {
    const std::vector<uint8_t> file = TzxWithEveryBlockType();
    const TapeImage image = Parse(file);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Complete);
    EXPECT_TRUE(image.messages.empty());
    const std::vector<BlockBody> stretches = {
        RomBlock{{1, 1, 1}},
        TurboBlock{2168, 8063, 667, 735, 855, 1710, 8, 1000, {4, 4, 4, 4}},
        PureTone{2168, 16},
        PulseRun{{667, 735}},
        PureData{855, 1710, 8, 1000, {5, 5, 5, 5, 5}},
        DirectRecording{79, 8, 0, {0xAA, 0x55, 0xAA}}};
    ASSERT_EQ(image.blocks.size(), 30u);
    EXPECT_EQ(Bodies(image.blocks, 0, 6), stretches);
    EXPECT_EQ(image.blocks[6].body, BlockBody(KeptTzxBlock{{0x16, 6, 0, 0, 0, 1, 2, 3, 4, 5, 6}}));
    EXPECT_EQ(image.blocks[10].body, BlockBody(Pause{0}));
    EXPECT_EQ(image.blocks.back().body, BlockBody(RomBlock{{0xFF, 0xFF}, 0}));
    // Written again, the image is the same block for block, loops and calls included.
    const std::vector<uint8_t> again = EncodeTapeImage(TapeLayout::Tzx, image.blocks);
    EXPECT_TRUE(std::equal(file.begin() + 10, file.end(), again.begin() + 10, again.end()));
}

TEST(TzxReader, EveryCutOfTheFileKeepsTheBlocksBeforeIt) {
    const std::vector<uint8_t> whole = TzxWithEveryBlockType();
    const TapeImage full = Parse(whole);
    for (size_t size = 10; size < whole.size(); ++size) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(size));
        const TapeImage image = Parse(cut);
        ASSERT_LE(image.blocks.size(), full.blocks.size());
        for (size_t i = 0; i < image.blocks.size(); ++i) {
            EXPECT_EQ(image.blocks[i], full.blocks[i]) << "cut at " << size;
        }
        if (image.outcome == TapeReadOutcome::Damaged) {
            EXPECT_TRUE(Mentions(image, "runs past the end of the file")) << size;
        } else {
            EXPECT_EQ(image.outcome, TapeReadOutcome::Complete) << size;
        }
    }
    // A cut inside the turbo block's data.
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + 10 + 8 + 20);
    const TapeImage image = Parse(cut);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Damaged);
    EXPECT_EQ(image.blocks.size(), 1u);
    EXPECT_TRUE(Mentions(image, "TZX block 2 (ID 0x11) at offset 18 runs past the end"));
}

TEST(TzxReader, OversizedLengthsAreReportedNotTrusted) {
    std::vector<uint8_t> head = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    std::vector<uint8_t> turbo = head;
    Append(turbo, {0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0xFF, 0xFF, 0xFF, 1, 2});
    std::vector<uint8_t> csw = head;
    Append(csw, {0x18, 0xFF, 0xFF, 0xFF, 0xFF, 0});
    std::vector<uint8_t> standard = head;
    Append(standard, {0x10, 0, 0, 0xFF, 0xFF, 0xFF});
    for (const auto& file : {turbo, csw, standard}) {
        const TapeImage image = Parse(file);
        EXPECT_EQ(image.outcome, TapeReadOutcome::Damaged);
        EXPECT_TRUE(image.blocks.empty());
        EXPECT_TRUE(Mentions(image, "runs past the end of the file"));
    }
}

TEST(TzxReader, BlocksThatHoldNothingToPlayAndUnknownBlocksAreKeptAsTheyAre) {
    std::vector<uint8_t> file = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    Append(file, {0x7E, 3, 0, 0, 0, 9, 9, 9});
    Append(file, {0x10, 0xE8, 0x03, 0, 0});
    Append(file, {0x13, 0});
    Append(file, {0x10, 0, 0, 2, 0, 0xFF, 0x00});
    const TapeImage image = Parse(file);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Complete);
    ASSERT_EQ(image.blocks.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::holds_alternative<KeptTzxBlock>(image.blocks[i].body)) << i;
    }
    EXPECT_EQ(image.blocks[3].body, BlockBody(RomBlock{{0xFF, 0x00}, 0}));
    EXPECT_TRUE(
        Mentions(image, "kept 1 TZX block(s) of a type unknown here as they are: 1 x 0x7E"));
    const std::vector<uint8_t> again = EncodeTapeImage(TapeLayout::Tzx, image.blocks);
    EXPECT_TRUE(std::equal(file.begin() + 10, file.end(), again.begin() + 10, again.end()));
}

TEST(TzxReader, BadHeadersAreReported) {
    const std::vector<uint8_t> version2 = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 2, 0};
    EXPECT_EQ(Parse(version2).outcome, TapeReadOutcome::Unreadable);
    EXPECT_TRUE(Mentions(Parse(version2), "version 2.0"));
    const std::vector<uint8_t> shortHeader = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1};
    EXPECT_EQ(ParseTzxImage(shortHeader.data(), shortHeader.size(), "t").outcome,
              TapeReadOutcome::Unreadable);
    // The reader's choice between layouts looks at the signature, not the extension.
    const TapeImage tzxAsTap = ParseTapImage(version2.data(), version2.size(), "t");
    EXPECT_EQ(tzxAsTap.outcome, TapeReadOutcome::Unreadable);
}

TEST(TapeImageReader, RandomBytesNeverCrashAndAlwaysExplainDamage) {
    std::mt19937 random(20240601);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> file(random() % 300);
        for (uint8_t& byte : file) {
            byte = static_cast<uint8_t>(random());
        }
        if (round % 2 == 0 && file.size() >= 10) {
            const uint8_t head[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
            std::copy(std::begin(head), std::end(head), file.begin());
        }
        const TapeImage image = Parse(file);
        size_t total = 0;
        for (const TapeItem& block : image.blocks) {
            EXPECT_TRUE(PayloadLength(block.body) > 0 || !HoldsData(block.body));
            total += static_cast<size_t>(PayloadLength(block.body));
        }
        EXPECT_LE(total, file.size());
        if (image.outcome != TapeReadOutcome::Complete) {
            EXPECT_FALSE(image.messages.empty());
        }
    }
}

TEST(TapeImageReader, FilesThatCannotBeReadAreReportedWithPathAndReason) {
    const fs::path dir = TestDirectory();
    const std::string missing = (dir / "missing.tap").string();
    const TapeImage none = ReadTapeImage(missing);
    EXPECT_EQ(none.outcome, TapeReadOutcome::Unreadable);
    EXPECT_TRUE(Mentions(none, "Cannot open " + missing + ": No such file or directory"));
    const TapeImage directory = ReadTapeImage(dir.string());
    EXPECT_EQ(directory.outcome, TapeReadOutcome::Unreadable);
    EXPECT_TRUE(Mentions(directory, "Is a directory"));
}

namespace {
TapeItem Item(BlockBody body) {
    return {std::move(body), {}, {}};
}

// One stretch of every kind with timings unlike the ROM's; the tone (600 s) and the pulse
// sequence are longer than one TZX block holds.
std::vector<TapeItem> EveryKindOfStretch() {
    std::vector<uint16_t> pulses(600);
    for (size_t i = 0; i < pulses.size(); ++i) {
        pulses[i] = static_cast<uint16_t>(300 + i);
    }
    return {Item(RomBlock{HeaderBytes(0, "loader", 40), 500}),
            Item(PureTone{2168, 968635}),
            Item(PulseRun{pulses}),
            Item(TurboBlock{1500, 3000, 400, 450, 500, 1000, 6, 20, DataBytes(0xFF, 300)}),
            Item(PureData{450, 900, 5, 0, DataBytes(0x00, 70000)}),
            Item(DirectRecording{73, 3, 100, DataBytes(0xAA, 40)}),
            Item(Pause{2500}),
            Item(KeptTzxBlock{{0x30, 2, 'h', 'i'}}),
            BlockOf(DataBytes(0xFF, 40))};
}

// Reads the bytes of a buffer, then fails as a bad disk does.
ssize_t ReadThenFail(void* cookie, char* buffer, size_t size) {
    auto* source = static_cast<std::vector<uint8_t>*>(cookie);
    if (source->empty()) {
        errno = EIO;
        return -1;
    }
    const size_t count = std::min(size, source->size());
    std::copy_n(source->begin(), count, buffer);
    source->erase(source->begin(), source->begin() + static_cast<long>(count));
    return static_cast<ssize_t>(count);
}
}  // namespace

TEST(TzxRoundTrip, EveryKindKeepsItsTimingAndATapKeepsTheData) {
    const std::vector<TapeItem> blocks = EveryKindOfStretch();
    const std::vector<uint8_t> tzx = EncodeTapeImage(TapeLayout::Tzx, blocks);
    const TapeImage image = Parse(tzx);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Complete);
    EXPECT_TRUE(image.messages.empty());
    EXPECT_EQ(image.blocks, blocks);

    // Turbo and pure data keep their bytes in a TAP, at ROM timing; the other stretches go.
    EXPECT_EQ(FindUnstorableBlock(blocks, TapeLayout::Tzx), std::nullopt);
    ASSERT_NE(FindUnstorableBlock(blocks, TapeLayout::Tap), std::nullopt);
    std::vector<TapeItem> fitting = blocks;
    fitting.erase(fitting.begin() + 4);
    EXPECT_EQ(CountUnkept(TapeLayout::Tap, fitting), (UnkeptStretches{4, 1, 1}));
    EXPECT_EQ(CountUnkept(TapeLayout::Tzx, fitting), UnkeptStretches{});
    EXPECT_EQ(DescribeUnkept("t.tap", fitting),
              "t.tap: 4 stretches (tones, pulses, recordings, pauses) not saved; 1 other TZX block "
              "(texts, loops, CSW, generalized data, ...) not saved; 1 turbo or pure data block "
              "saved without their timing; only a TZX image keeps them");
    EXPECT_EQ(DescribeUnkept("t.tzx", fitting), std::nullopt);
    // What a TAP image drops has no length to refuse.
    EXPECT_EQ(FindUnstorableBlock(fitting, TapeLayout::Tap), std::nullopt);
    const TapeImage tap = Parse(EncodeTapeImage(TapeLayout::Tap, fitting));
    EXPECT_EQ(tap.blocks,
              (std::vector<TapeItem>{BlockOf(HeaderBytes(0, "loader", 40)),
                                     BlockOf(DataBytes(0xFF, 300)), BlockOf(DataBytes(0xFF, 40))}));
}

TEST(TzxReader, ZeroOrAbsurdTimingIsReportedAndTheBlockKept) {
    std::vector<uint8_t> file = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    Append(file, {0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 2, 0, 0, 0xFF, 0x01});
    Append(file, {0x14, 0xFF, 0xFF, 0xFF, 0xFF, 9, 0, 0, 1, 0, 0, 7});
    Append(file, {0x12, 0x78, 0x08, 0, 0});
    Append(file, {0x12, 0x78, 0x08, 5, 0});  // no continuation of the empty tone
    Append(file, {0x15, 0, 0, 0, 0, 8, 1, 0, 0, 1});
    Append(file, {0x10, 0xE8, 0x03, 2, 0, 0xFF, 0x00});
    // Sound pulses, but a last byte of 9 or 0 bits; of 1 bit is fine.
    Append(file, {0x14, 0x57, 0x03, 0xAE, 0x06, 9, 0, 0, 1, 0, 0, 7});
    Append(file, {0x15, 79, 0, 0, 0, 0, 1, 0, 0, 0xAA});
    Append(file, {0x14, 0x57, 0x03, 0xAE, 0x06, 0, 0, 0, 1, 0, 0, 7});
    Append(file, {0x15, 79, 0, 0, 0, 9, 1, 0, 0, 0xAA});
    Append(file, {0x14, 0x57, 0x03, 0xAE, 0x06, 1, 0, 0, 1, 0, 0, 7});
    Append(file, {0x15, 79, 0, 0, 0, 1, 1, 0, 0, 0xAA});
    const TapeImage image = Parse(file);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Damaged);
    EXPECT_EQ(image.blocks.size(), 12u);
    EXPECT_TRUE(Mentions(image,
                         "t: 8 block(s) with timing no loader can replay, kept as read; the "
                         "first: TZX block 1 (ID 0x11), turbo block with zero or absurd "
                         "timing"));
    const std::vector<uint8_t> again = EncodeTapeImage(TapeLayout::Tzx, image.blocks);
    EXPECT_TRUE(std::equal(file.begin() + 10, file.end(), again.begin() + 10, again.end()));
}

TEST(TapReader, CutsCountTheBytesThatAreThere) {
    // Cut by exactly one byte: the last record is one byte short.
    const std::vector<TapeItem> blocks = EveryKindOfBlock();
    std::vector<uint8_t> file = EncodeTapeImage(TapeLayout::Tap, blocks);
    file.pop_back();
    TapeImage image = Parse(file);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Damaged);
    EXPECT_EQ(image.blocks, std::vector<TapeItem>(blocks.begin(), blocks.end() - 1));
    EXPECT_TRUE(Mentions(image, "ends inside record 10 (65534 of 65535 bytes)"));
    // One length byte after the last record, and a file of one byte.
    image = Parse({2, 0, 0xFF, 0xFF, 0x05});
    EXPECT_TRUE(Mentions(image, "ends inside record 2 (1 of its 2 length bytes)"));
    image = Parse({0x42});
    EXPECT_TRUE(Mentions(image, "t: is neither a TAP nor a TZX image (1 byte, too short"));
}

TEST(TapeImageReader, NotesAreToldApartFromProblems) {
    const TapeImage image = Parse({0, 0, 2, 0, 0xFF, 0xFF, 0x05});
    ASSERT_EQ(image.messages.size(), 2u);
    EXPECT_EQ(image.messages[0].severity, MessageSeverity::Problem);
    EXPECT_EQ(image.messages[1],
              (TapeMessage{MessageSeverity::Note, "t: skipped 1 record(s) of length 0"}));
}

TEST(TapeImageReader, ImagesThatWouldNotFitAreRefusedBeforeReading) {
    // 1000 records of one byte: 96 kB of blocks.
    std::vector<uint8_t> file;
    for (int i = 0; i < 1000; ++i) {
        Append(file, {1, 0, 0xFF});
    }
    const size_t needed = 1000 * kMemoryPerBlock + file.size();
    const TapeImage refused = ParseTapeImage(file.data(), file.size(), "t", needed - 1);
    EXPECT_EQ(refused.outcome, TapeReadOutcome::Unreadable);
    EXPECT_TRUE(refused.blocks.empty());
    EXPECT_TRUE(Mentions(refused,
                         "t: holds 1000 blocks, which would take about 1 MB of memory "
                         "(at most 0 MB): nothing loaded"));
    EXPECT_EQ(ParseTapeImage(file.data(), file.size(), "t", needed).blocks.size(), 1000u);

    // A file larger than any tape image is refused by its size, without being read.
    const fs::path dir = TestDirectory();
    const std::string huge = (dir / "huge.tap").string();
    CTestTape::WriteFile(huge, {});
    fs::resize_file(huge, kMaxTapeImageSize + 1);
    const TapeImage tooLarge = ReadTapeImage(huge);
    EXPECT_EQ(tooLarge.outcome, TapeReadOutcome::Unreadable);
    EXPECT_TRUE(Mentions(tooLarge, huge + ": is too large for a tape image"));
}

TEST(TapeImageReader, AReadThatFailsMidwayKeepsTheBlocksBeforeIt) {
    std::vector<uint8_t> source = EncodeTapeImage(TapeLayout::Tap, EveryKindOfBlock());
    source.resize(100);
    std::FILE* file =
        fopencookie(&source, "rb", cookie_io_functions_t{ReadThenFail, nullptr, nullptr, nullptr});
    ASSERT_NE(file, nullptr);
    const TapeImage image = ReadTapeImage(file, "disk.tap");
    std::fclose(file);
    EXPECT_EQ(image.outcome, TapeReadOutcome::Damaged);
    EXPECT_EQ(image.blocks.size(), 4u);
    EXPECT_EQ(image.messages.front().text,
              "Cannot read disk.tap past byte 100: Input/output error; the blocks before it are "
              "kept");
}

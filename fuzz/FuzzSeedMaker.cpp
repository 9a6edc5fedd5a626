// Writes the seed corpus of the reader fuzzers: small TAP and TZX images of typical blocks.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/TapeItem.h"
#include "tape/TapeImageWriter.h"

namespace {
TapeItem Item(BlockBody body) {
    return {std::move(body), {}, {}};
}

TapeItem Header(uint8_t type) {
    std::vector<uint8_t> bytes(19, ' ');
    bytes[0] = 0x00;
    bytes[1] = type;
    bytes[12] = 6;
    bytes[13] = 0;
    bytes[18] = 0x12;
    return Item(RomBlock{bytes});
}

TapeItem Data(size_t length) {
    std::vector<uint8_t> bytes(length, 0x55);
    bytes[0] = 0xFF;
    return Item(RomBlock{bytes});
}

// A stretch of every kind, with timings unlike the ROM's.
std::vector<TapeItem> Stretches() {
    const std::vector<uint8_t> bytes = {0xFF, 1, 2, 3, 0xFF};
    // Every field named: clang warns of aggregates that leave some out.
    return {Item(TurboBlock{1500, 300, 400, 450, 500, 1000, 6, 20, bytes}),
            Item(PureTone{1200, 40}),
            Item(PulseRun{{300, 301, 302}}),
            Item(PureData{450, 900, 8, 1000, bytes}),
            Item(DirectRecording{79, 3, 1000, bytes}),
            Item(Pause{2500})};
}

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// One TZX block of every type that the reader steps over, and the two other data blocks.
std::vector<uint8_t> TzxOtherBlocks() {
    std::vector<uint8_t> f = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    const std::vector<std::vector<uint8_t>> blocks = {
        {0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 2, 0, 0, 0xFF, 0xFF},
        {0x12, 1, 0, 2, 0},
        {0x13, 1, 1, 0},
        {0x14, 0, 0, 0, 0, 8, 0, 0, 1, 0, 0, 0xFF},
        {0x15, 0, 0, 0, 0, 8, 1, 0, 0, 1},
        {0x18, 1, 0, 0, 0, 1},
        {0x19, 0, 0, 0, 0},
        {0x20, 0, 0},
        {0x21, 1, 'g'},
        {0x22},
        {0x23, 1, 0},
        {0x24, 2, 0},
        {0x25},
        {0x26, 1, 0, 1, 0},
        {0x27},
        {0x28, 1, 0, 0},
        {0x2A, 0, 0, 0, 0},
        {0x2B, 1, 0, 0, 0, 1},
        {0x30, 1, 't'},
        {0x31, 1, 1, 'm'},
        {0x32, 1, 0, 0},
        {0x33, 0},
        {0x34, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x35, 'i', 'd', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x40, 0, 0, 0, 0},
        {0x5A, 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20}};
    for (const auto& block : blocks) {
        f.insert(f.end(), block.begin(), block.end());
    }
    return f;
}
}  // namespace

// The fuzzers' longest input (-max_len): libFuzzer tries inputs up to the longest seed's length.
constexpr size_t kLongestInput = 65536;

// A TZX image of exactly kLongestInput bytes: long data blocks of each kind, a long recording, a
// tone and a pulse run of several TZX blocks each, the blocks kept as they are read, and a
// standard data block that fills the rest.
std::vector<uint8_t> LargeTzx() {
    std::vector<uint8_t> bytes(12000, 0x33);
    bytes[0] = 0xFF;
    const std::vector<TapeItem> blocks = {
        Header(3),
        Item(TurboBlock{1500, 300, 400, 450, 500, 1000, 6, 20, bytes}),
        Item(PureData{855, 1710, 5, 1000, bytes}),
        Item(DirectRecording{79, 8, 1000, bytes}),
        Item(PureTone{2168, 200000}),
        Item(PulseRun{std::vector<uint16_t>(600, 700)})};
    std::vector<uint8_t> image = EncodeTapeImage(TapeLayout::Tzx, blocks);
    const std::vector<uint8_t> others = TzxOtherBlocks();
    image.insert(image.end(), others.begin() + 10, others.end());
    const size_t standardBlockHead = 5;
    const std::vector<uint8_t> filler =
        EncodeTapeImage(TapeLayout::Tzx, {Data(kLongestInput - image.size() - standardBlockHead)});
    image.insert(image.end(), filler.begin() + 10, filler.end());
    return image;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: fuzz_seed_maker DIRECTORY\n", stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::vector<TapeItem> blocks = {Header(0), Data(8), Header(3), Data(40), Data(1)};
    Write(dir / "blocks.tap", EncodeTapeImage(TapeLayout::Tap, blocks));
    Write(dir / "blocks.tzx", EncodeTapeImage(TapeLayout::Tzx, blocks));
    Write(dir / "other.tzx", TzxOtherBlocks());
    Write(dir / "stretches.tzx", EncodeTapeImage(TapeLayout::Tzx, Stretches()));
    Write(dir / "large.tzx", LargeTzx());
    Write(dir / "empty-record.tap", {0, 0, 2, 0, 0xFF, 0xFF});
    return 0;
}

// Independent tools of the field read what this library writes, and write what it reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>

#include "model/BlockFacts.h"
#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"
#include "tests/tape/TapeTestData.h"

using namespace tapetest;
namespace fs = std::filesystem;

namespace {
std::string RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char chunk[4096];
    size_t count = 0;
    while ((count = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, count);
    }
    pclose(pipe);
    return output;
}

struct ListedBlock {
    std::string type;
    int length = -1;
    int pause = -1;
};

// The word after `prefix` in the line, if the line holds the prefix. (std::regex draws a false
// maybe-uninitialized warning from GCC 12 in optimised sanitizer builds.)
std::optional<std::string> WordAfter(const std::string& line, const std::string& prefix) {
    const size_t at = line.find(prefix);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const size_t start = at + prefix.size();
    return line.substr(start, line.find(' ', start) - start);
}

// The blocks of tzxlist's listing: "Block type 0x10 (...)", "Block length: N bytes",
// "Pause length: N ms".
std::vector<ListedBlock> ListWithTzxlist(const fs::path& path) {
    std::istringstream lines(RunCommand(std::string(TZXLIST_PROGRAM) + " '" + path.string() + "'"));
    std::vector<ListedBlock> blocks;
    for (std::string line; std::getline(lines, line);) {
        if (const auto type = WordAfter(line, "Block type ")) {
            blocks.push_back({*type, -1, -1});
        } else if (const auto length = WordAfter(line, "Block length: ");
                   length && !blocks.empty()) {
            blocks.back().length = std::stoi(*length);
        } else if (const auto pause = WordAfter(line, "Pause length: "); pause && !blocks.empty()) {
            blocks.back().pause = std::stoi(*pause);
        }
    }
    return blocks;
}
}  // namespace

TEST(PeerTools, TzxlistListsTheBlocksWeWrite) {
    if (std::string(TZXLIST_PROGRAM).find("NOTFOUND") != std::string::npos) {
        GTEST_SKIP() << "tzxlist (fuse-emulator-utils) is not installed";
    }
    const fs::path dir = TestDirectory();
    const std::vector<TapeItem> blocks = {
        BlockOf(HeaderBytes(3, "screen", 6912)), BlockOf(DataBytes(0xFF, 6914)), BlockOf({0x0A}),
        BlockOf(DataBytes(0x00, 300)), BlockOf(DataBytes(0xFF, 65535))};
    ASSERT_EQ(SaveTapeImage((dir / "peer.tzx").string(), blocks), std::nullopt);
    const std::vector<ListedBlock> listed = ListWithTzxlist(dir / "peer.tzx");
    ASSERT_EQ(listed.size(), blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(listed[i].type, "0x10") << i;
        EXPECT_EQ(listed[i].length, PayloadLength(blocks[i].body)) << i;
        EXPECT_EQ(listed[i].pause, 1000) << i;
    }
}

namespace {
void Append(std::vector<uint8_t>& file, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        file.push_back(static_cast<uint8_t>(b));
    }
}

// Blocks of a commercial tape's TZX that tzxlist knows: texts, archive info, a group, a loop, a
// jump, generalized data, a signal level, glue, among tones, pulses and data.
std::vector<uint8_t> TzxOfACommercialTape() {
    std::vector<uint8_t> f = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    Append(f, {0x30, 5, 'h', 'e', 'l', 'l', 'o'});
    Append(f, {0x32, 9, 0, 2, 0x00, 2, 'G', 'm', 0x02, 2, 'B', 'b'});
    Append(f, {0x21, 3, 'g', 'r', 'p'});
    Append(f, {0x10, 0xE8, 0x03, 3, 0, 0xFF, 1, 0xFE});
    Append(f, {0x24, 2, 0});
    Append(f, {0x12, 0x78, 0x08, 0x00, 0x01});
    Append(f, {0x13, 2, 0x9B, 0x02, 0xDF, 0x02});
    Append(f, {0x25});
    Append(f, {0x22});
    Append(f, {0x19, 25, 0, 0, 0, 100,  0, 0,    0, 0, 0,    0, 0,    8, 0,
               0,    0,  2, 2, 0, 0x57, 3, 0x57, 3, 0, 0xAE, 6, 0xAE, 6, 0xA5});
    Append(f, {0x2B, 1, 0, 0, 0, 1});
    Append(f, {0x23, 1, 0});
    Append(f, {0x11, 0x78, 0x08, 0x9B, 0x02, 0xDF, 0x02, 0x57, 0x03, 0xAE, 0x06, 0x00,
               0x04, 3,    0xE8, 0x03, 4,    0,    0,    0xFF, 1,    2,    3});
    Append(f, {0x5A, 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20});
    Append(f, {0x20, 0, 0});
    return f;
}

// tzxlist's listing without its first line, which names the file.
std::string ListingOf(const fs::path& path) {
    const std::string listing =
        RunCommand(std::string(TZXLIST_PROGRAM) + " '" + path.string() + "' 2>&1");
    const size_t named = listing.find("Listing of");
    return named == std::string::npos ? listing : listing.substr(listing.find('\n', named));
}
}  // namespace

TEST(PeerTools, TzxlistListsTheSameBlocksInATzxWeReadAndWroteAgain) {
    if (std::string(TZXLIST_PROGRAM).find("NOTFOUND") != std::string::npos) {
        GTEST_SKIP() << "tzxlist (fuse-emulator-utils) is not installed";
    }
    const fs::path dir = TestDirectory();
    CTestTape::WriteFile(dir / "theirs.tzx", TzxOfACommercialTape());
    const TapeImage image = ReadTapeImage((dir / "theirs.tzx").string());
    ASSERT_EQ(image.outcome, TapeReadOutcome::Complete);
    ASSERT_EQ(SaveTapeImage((dir / "ours.tzx").string(), image.blocks), std::nullopt);
    const std::string listing = ListingOf(dir / "theirs.tzx");
    ASSERT_NE(listing.find("Block type 0x19"), std::string::npos) << listing;
    ASSERT_NE(listing.find("Block type 0x24"), std::string::npos) << listing;
    EXPECT_EQ(ListingOf(dir / "ours.tzx"), listing);
}

TEST(PeerTools, WeReadTheTzxThatTapeconvMakesOfOurTap) {
    if (std::string(TAPECONV_PROGRAM).find("NOTFOUND") != std::string::npos) {
        GTEST_SKIP() << "tapeconv (fuse-emulator-utils) is not installed";
    }
    const fs::path dir = TestDirectory();
    const std::vector<TapeItem> blocks = {BlockOf(HeaderBytes(0, "prog", 20)),
                                          BlockOf(DataBytes(0xFF, 22)), BlockOf({0x42})};
    ASSERT_EQ(SaveTapeImage((dir / "ours.tap").string(), blocks), std::nullopt);
    RunCommand(std::string(TAPECONV_PROGRAM) + " '" + (dir / "ours.tap").string() + "' '" +
               (dir / "theirs.tzx").string() + "' 2>&1");
    ASSERT_TRUE(fs::exists(dir / "theirs.tzx"));
    const TapeImage image = ReadTapeImage((dir / "theirs.tzx").string());
    EXPECT_EQ(image.outcome, TapeReadOutcome::Complete);
    EXPECT_EQ(image.blocks, blocks);
}

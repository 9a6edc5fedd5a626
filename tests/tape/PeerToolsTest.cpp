// Independent tools of the field read what this library writes, and write what it reads.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>

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
    const std::vector<TapeBlock> blocks = {
        BlockOf(HeaderBytes(3, "screen", 6912)), BlockOf(DataBytes(0xFF, 6914)), BlockOf({0x0A}),
        BlockOf(DataBytes(0x00, 300)), BlockOf(DataBytes(0xFF, 65535))};
    ASSERT_EQ(SaveTapeImage((dir / "peer.tzx").string(), blocks), std::nullopt);
    const std::vector<ListedBlock> listed = ListWithTzxlist(dir / "peer.tzx");
    ASSERT_EQ(listed.size(), blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(listed[i].type, "0x10") << i;
        EXPECT_EQ(listed[i].length, blocks[i].Length()) << i;
        EXPECT_EQ(listed[i].pause, 1000) << i;
    }
}

TEST(PeerTools, WeReadTheTzxThatTapeconvMakesOfOurTap) {
    if (std::string(TAPECONV_PROGRAM).find("NOTFOUND") != std::string::npos) {
        GTEST_SKIP() << "tapeconv (fuse-emulator-utils) is not installed";
    }
    const fs::path dir = TestDirectory();
    const std::vector<TapeBlock> blocks = {BlockOf(HeaderBytes(0, "prog", 20)),
                                           BlockOf(DataBytes(0xFF, 22)), BlockOf({0x42})};
    ASSERT_EQ(SaveTapeImage((dir / "ours.tap").string(), blocks), std::nullopt);
    RunCommand(std::string(TAPECONV_PROGRAM) + " '" + (dir / "ours.tap").string() + "' '" +
               (dir / "theirs.tzx").string() + "' 2>&1");
    ASSERT_TRUE(fs::exists(dir / "theirs.tzx"));
    const TapeImage image = ReadTapeImage((dir / "theirs.tzx").string());
    EXPECT_EQ(image.outcome, TapeReadOutcome::Complete);
    EXPECT_EQ(image.blocks, blocks);
}

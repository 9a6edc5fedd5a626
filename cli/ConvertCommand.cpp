#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/OutputCheck.h"
#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"

namespace {
constexpr const char* kConvertUsage =
    "Usage: tapewise-cli convert INPUT... OUTPUT\n"
    "\n"
    "Joins the blocks of the TAP, BLK or TZX files INPUT, in order, into OUTPUT. OUTPUT gets the\n"
    "TZX layout when it ends in \".tzx\" or \".TZX\", else the TAP layout. A TZX keeps every\n"
    "block with its timing; a TAP keeps the bytes of data blocks only, and a note says what it\n"
    "left out. Nothing is written when an input cannot be read in full, and never over an input\n"
    "or a sound recording. Exit status: 0 written, 1 a file could not be read or written, 2\n"
    "usage. OUTPUT - (or /dev/stdout) writes a TAP to standard output, and this report to\n"
    "standard error.\n";

bool IsHelp(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

void PrintMessages(const TapeImage& image) {
    for (const TapeMessage& message : image.messages) {
        std::fprintf(stderr, "tapewise-cli: %s\n", message.text.c_str());
    }
}

// Appends the blocks of every input; false when one of them could not be read in full.
bool GatherBlocks(int count, char** inputs, std::vector<TapeItem>& blocks) {
    bool allRead = true;
    for (int i = 0; i < count; ++i) {
        TapeImage image = ReadTapeImage(inputs[i]);
        PrintMessages(image);
        allRead = allRead && image.outcome == TapeReadOutcome::Complete;
        for (TapeItem& block : image.blocks) {
            blocks.push_back(std::move(block));
        }
    }
    return allRead;
}

const char* LayoutName(TapeLayout layout) {
    return layout == TapeLayout::Tzx ? "TZX" : "TAP";
}
}  // namespace

int RunConvert(int argc, char** argv) {
    if (argc == 1 && IsHelp(argv[0])) {
        std::fputs(kConvertUsage, stdout);
        return kExitDone;
    }
    if (argc < 2) {
        std::fputs(kConvertUsage, stderr);
        return kExitUsage;
    }
    const std::string output = OutputPath(argv[argc - 1]);
    if (auto refusal = CheckOutput(output, std::vector<std::string>(argv, argv + argc - 1))) {
        std::fprintf(stderr, "tapewise-cli: %s\n", refusal->c_str());
        return kExitFileError;
    }
    std::vector<TapeItem> blocks;
    if (!GatherBlocks(argc - 1, argv, blocks)) {
        std::fprintf(stderr, "tapewise-cli: %s not written\n", output.c_str());
        return kExitFileError;
    }
    if (const auto error = SaveTapeImage(output, blocks)) {
        std::fprintf(stderr, "tapewise-cli: %s\n", error->c_str());
        return kExitFileError;
    }
    if (const auto unkept = DescribeUnkept(output, blocks)) {
        std::fprintf(stderr, "tapewise-cli: %s\n", unkept->c_str());
    }
    std::fprintf(IsStandardOutput(output) ? stderr : stdout, "%s: %zu block(s), %s layout\n",
                 output.c_str(), blocks.size(), LayoutName(LayoutForPath(output)));
    return kExitDone;
}

#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Commands.h"
#include "tape/BlockEntry.h"
#include "tape/TapeImageReader.h"

namespace {
constexpr const char* kListUsage =
    "Usage: tapewise-cli list FILE...\n"
    "\n"
    "Prints the entries that loading each TAP, BLK or TZX file adds to the block list, one line\n"
    "each: Type, Sync, Length, Name and Expected, separated by tabs. Notes on the files go to\n"
    "standard error. Exit status: 0 all read, 1 a file could not be read completely, 2 usage.\n";

bool IsHelp(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

// Prints the entries of one file; false when the file could not be read in full.
bool ListFile(const std::string& path) {
    const TapeImage image = ReadTapeImage(path);
    for (const TapeItem& block : image.blocks) {
        std::printf("%s\n", FormatEntryLine(DescribeBlock(block.body)).c_str());
    }
    std::fflush(stdout);
    for (const TapeMessage& message : image.messages) {
        std::fprintf(stderr, "tapewise-cli: %s\n", message.text.c_str());
    }
    return image.outcome == TapeReadOutcome::Complete;
}
}  // namespace

int RunList(int argc, char** argv) {
    if (argc == 1 && IsHelp(argv[0])) {
        std::fputs(kListUsage, stdout);
        return kExitDone;
    }
    if (argc < 1) {
        std::fputs(kListUsage, stderr);
        return kExitUsage;
    }
    bool allRead = true;
    for (int i = 0; i < argc; ++i) {
        allRead = ListFile(argv[i]) && allRead;
    }
    return allRead ? kExitDone : kExitFileError;
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Commands.h"

namespace {
constexpr const char* kUsage =
    "Usage: tapewise-cli COMMAND [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  decode [OPTIONS] INPUT... [-o OUTPUT]   decode tape recordings into blocks\n"
    "  live [OPTIONS] [-o OUTPUT] [--seconds N] decode the default sound input\n"
    "  list FILE...                            list the blocks of tape images\n"
    "  convert INPUT... OUTPUT                 join tape images into a TAP or TZX file\n"
    "  screen FILE N OUTPUT.png                draw the N-th SCREEN$ block as a picture\n"
    "\n"
    "tapewise-cli COMMAND --help shows the options of a command.\n";

struct Command {
    const char* name;
    int (*run)(int, char**);
};

// Output that never reached its file (a full disk, a closed pipe) fails the command like any
// other write.
int CheckStandardOutput(int status) {
    const bool flushed = std::fflush(stdout) == 0;
    if (flushed && std::ferror(stdout) == 0) {
        return status;
    }
    const std::string reason = flushed ? "" : std::string(": ") + std::strerror(errno);
    std::fprintf(stderr, "tapewise-cli: cannot write standard output%s\n", reason.c_str());
    return status == kExitDone ? kExitFileError : status;
}

constexpr Command kCommands[] = {
    {"decode", RunDecode},   {"live", RunLive},     {"list", RunList},
    {"convert", RunConvert}, {"screen", RunScreen},
};
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0) {
        std::fputs(kUsage, stdout);
        return CheckStandardOutput(kExitDone);
    }
    if (std::strcmp(name, "--version") == 0) {
        std::puts("tapewise-cli " TAPEWISE_VERSION);
        return CheckStandardOutput(kExitDone);
    }
    for (const Command& command : kCommands) {
        if (std::strcmp(name, command.name) == 0) {
            return CheckStandardOutput(command.run(argc - 2, argv + 2));
        }
    }
    std::fprintf(stderr, "tapewise-cli: unknown command '%s'\n\n%s", name, kUsage);
    return kExitUsage;
}

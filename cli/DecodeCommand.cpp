#include <cstdio>

#include "cli/Commands.h"

// Placeholder until the decode command is built.
int RunDecode(int, char**) {
    std::fputs("tapewise-cli: decode is not built yet\n", stderr);
    return 2;
}

#include <cstdio>

#include "cli/Commands.h"

// Placeholder until the live command is built.
int RunLive(int, char**) {
    std::fputs("tapewise-cli: live is not built yet\n", stderr);
    return 2;
}

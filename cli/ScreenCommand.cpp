#include <cstdio>

#include "cli/Commands.h"

// Placeholder until the screen command is built.
int RunScreen(int, char**) {
    std::fputs("tapewise-cli: screen is not built yet\n", stderr);
    return 2;
}

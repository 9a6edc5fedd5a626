#include <cstdio>

#include "cli/Commands.h"

// Placeholder until the convert command is built.
int RunConvert(int, char**) {
    std::fputs("tapewise-cli: convert is not built yet\n", stderr);
    return 2;
}

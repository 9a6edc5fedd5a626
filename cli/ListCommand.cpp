#include <cstdio>

#include "cli/Commands.h"

// Placeholder until the list command is built.
int RunList(int, char**) {
    std::fputs("tapewise-cli: list is not built yet\n", stderr);
    return 2;
}

#include "ui/DebugOutput.h"

#include <cstdio>
#include <cstdlib>

void DebugOutput(const char* text) {
    static const bool enabled = std::getenv("TAPEWISE_DEBUG") != nullptr;
    if (enabled && text != nullptr) {
        std::fputs(text, stderr);
    }
}

#include "options/DumpSeries.h"

#include <cstdio>

#include "options/OptionsForm.h"

bool DumpFileExists(const std::string& baseName, int32_t count) {
    std::FILE* file = std::fopen(DumpFileName(baseName, count).c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

int32_t RemoveDumpSeries(const std::string& baseName, int32_t count) {
    int32_t removed = 0;
    for (int32_t number = count; number >= 0 && DumpFileExists(baseName, number); ++number) {
        if (std::remove(DumpFileName(baseName, number).c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

#pragma once

#include <cstdint>
#include <string>

// A series of numbered dump files "%s.%03d" on disk, as the Options dialog checks and clears it
// before dumping or replaying.

// Whether file `count` of the series can be opened for reading.
bool DumpFileExists(const std::string& baseName, int32_t count);
// Removes file `count` and each following file of the series, stopping at the first number
// without a file. A file that cannot be removed stays. Returns how many were removed.
int32_t RemoveDumpSeries(const std::string& baseName, int32_t count);

#pragma once

#include <cstdint>
#include <string>

// The raw buffer dump and replay as the user sets them: every sound buffer written to the next
// file "%s.%03d" of baseName and a running number (dump), or those files decoded instead of the
// sound input (fromFile; it wins over dump). fileIndex is the number of the first file; the
// running number is the dump's own state (CBufferDump).
struct DumpSettings {
    bool dump = false;
    bool fromFile = false;
    std::string baseName = "sample1";  // at most 255 characters
    int32_t fileIndex = 0;

    bool operator==(const DumpSettings&) const = default;
};

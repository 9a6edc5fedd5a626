#pragma once

#include <cstdint>
#include <string>

#include "model/BlockBody.h"

// The five texts of one row of the block list: Type, Sync, Length, Name, Expected.
struct BlockEntry {
    std::string type;
    std::string sync;
    std::string length;
    std::string name;
    std::string expected;

    friend bool operator==(const BlockEntry&, const BlockEntry&) = default;
};

// The texts of a block entry, computed from its block. A ROM-timed block shows its flag, its
// length without flag and checksum, and a header's type, name and announced length. Every other
// kind names itself in Type ("turbo", "data", "tone", "pulses", "direct", "pause") and shows its
// timing in T-states in Name; Turbo and PureData blocks show Sync and Length as ROM blocks do. A
// TZX block kept as read shows "tzx" and, in Name, its ID, type and size; a read failure the
// texts of DescribeReadError.
BlockEntry DescribeBlock(const BlockBody& block);
// The texts of an error entry after a read error: bytesRead bytes read, firstByte the first of
// them or -1 when none was read.
BlockEntry DescribeReadError(int32_t bytesRead, int32_t firstByte);
// The five texts separated by tabs, as the command-line tool prints one entry. Control
// characters in a text are escaped (\t, \n, \r, \xHH; a backslash as \\), so that an entry
// is always one line and never steers the terminal.
std::string FormatEntryLine(const BlockEntry& entry);

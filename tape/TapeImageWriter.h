#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tape/TapeBlock.h"

enum class TapeLayout { Tap, Tzx };

// TZX when the last four characters are exactly ".tzx" or ".TZX"; TAP for every other path.
TapeLayout LayoutForPath(std::string_view path);

// Writes the blocks, in order, in the layout chosen by the path. The file is written beside the
// target under a temporary name and renamed over it only when every byte is written, so a failed
// save leaves an existing file as it was. Returns nothing on success, else a message naming the
// path and the reason.
std::optional<std::string> SaveTapeImage(const std::string& path,
                                         const std::vector<TapeBlock>& blocks);

// Names the first block longer than the 65535 bytes that a tape image can hold, if there is one.
std::optional<std::string> FindUnstorableBlock(const std::vector<TapeBlock>& blocks);

// The whole file in the given layout. Blocks longer than 65535 bytes must have been refused first.
std::vector<uint8_t> EncodeTapeImage(TapeLayout layout, const std::vector<TapeBlock>& blocks);

// Replaces the file at `path` with `contents` the same safe way: a temporary file beside it,
// renamed over it only when every byte is written. Returns a message naming the path and the
// reason on failure; the old file is then untouched.
std::optional<std::string> ReplaceFileContents(const std::string& path,
                                               const std::vector<uint8_t>& contents);

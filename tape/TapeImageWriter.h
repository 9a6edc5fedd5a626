#pragma once

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

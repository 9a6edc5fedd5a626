#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/TapeItem.h"

// What saving blocks at a path would do, found out before anything is written: whether it must
// not happen at all, what the layout would leave out, and how many blocks the file would hold.
struct SavePlan {
    // Why nothing may be written: no block to save, the path holds a sound recording (a tape image
    // would replace it), or the path is not a regular file (a FIFO without reader would hang).
    std::optional<std::string> refusal;
    // What the layout cannot keep, as a question for the user; nothing when it keeps every block.
    std::optional<std::string> warning;
    // Blocks the file will hold.
    int32_t blocksWritten = 0;
};

// Tells a sound recording by its content (the window asks libsndfile).
using SoundRecordingTest = std::function<bool(const std::string& path)>;

// A refusal of the path alone, whatever is saved: a sound recording or something other than a
// regular file. A new name is never refused.
std::optional<std::string> RefuseSavePath(const std::string& path,
                                          const SoundRecordingTest& isSoundRecording);

SavePlan PlanSave(const std::string& path, const std::vector<TapeItem>& blocks,
                  const SoundRecordingTest& isSoundRecording);

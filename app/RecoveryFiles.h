#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/TapeItem.h"

// Blocks kept when the program was ended from outside (SIGTERM, SIGHUP) before they were saved:
// one TZX image per such end, which keeps every kind of block with its timing, in a folder of
// their own. The next start offers them.
class CRecoveryFiles {
public:
    explicit CRecoveryFiles(std::string folder) : m_folder(std::move(folder)) {}

    // Writes the blocks to a new image in the folder, made if missing. The path written, or
    // nothing when it could not be written (`failure` then says why).
    std::optional<std::string> Keep(const std::vector<TapeItem>& blocks, std::string& failure);
    // The images kept and not yet forgotten, oldest first.
    std::vector<std::string> Waiting() const;
    // Removes a kept image: its blocks were taken back or given up.
    void Forget(const std::string& path);

private:
    std::string m_folder;
};

#include "app/RecoveryFiles.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "tape/TapeImageWriter.h"

namespace {

constexpr const char* kPrefix = "unsaved-";
constexpr const char* kExtension = ".tzx";

}  // namespace

std::optional<std::string> CRecoveryFiles::Keep(const std::vector<TapeItem>& blocks,
                                                std::string& failure) {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (error) {
        failure = m_folder + ": " + error.message();
        return std::nullopt;
    }
    // The time first, so that names sort oldest first; the process id keeps two ends apart.
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const std::string path = m_folder + "/" + kPrefix + std::to_string(seconds) + "-" +
                             std::to_string(getpid()) + kExtension;
    if (const auto message = SaveTapeImage(path, blocks)) {
        failure = *message;
        return std::nullopt;
    }
    return path;
}

std::vector<std::string> CRecoveryFiles::Waiting() const {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && name.rfind(kPrefix, 0) == 0 &&
            entry.path().extension() == kExtension) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void CRecoveryFiles::Forget(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

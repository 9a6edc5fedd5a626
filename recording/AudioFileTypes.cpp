#include "recording/AudioFileTypes.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>

std::vector<std::string> AudioFilePatterns() {
    std::vector<std::string> patterns;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension == nullptr || (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RAW) {
            continue;
        }
        patterns.push_back(std::string("*.") + info.extension);
    }
    // Common spellings that the library lists under another one.
    for (const char* extra : {"*.aif", "*.oga", "*.opus"}) {
        patterns.emplace_back(extra);
    }
    std::sort(patterns.begin(), patterns.end());
    patterns.erase(std::unique(patterns.begin(), patterns.end()), patterns.end());
    return patterns;
}

bool IsRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsAudioFile(const std::string& path) {
    if (!IsRegularFile(path)) {
        return false;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return false;
    }
    sf_close(file);
    return info.channels > 0 && info.samplerate > 0;
}

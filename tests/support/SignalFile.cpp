#include "tests/support/SignalFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>

#include "tests/support/TestTape.h"

namespace {
bool WriteFrames(const std::string& path, const std::vector<float>& frames, int rate, int channels,
                 int format) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const auto count = static_cast<sf_count_t>(frames.size() / static_cast<size_t>(channels));
    const bool written = sf_writef_float(file, frames.data(), count) == count;
    return sf_close(file) == 0 && written;
}
}  // namespace

bool CSignalFile::WriteAudio(const std::string& path, const std::vector<float>& samples, int rate,
                             int channels, int format) {
    std::vector<float> frames;
    frames.reserve(samples.size() * static_cast<size_t>(channels));
    for (float sample : samples) {
        frames.insert(frames.end(), static_cast<size_t>(channels), sample);
    }
    return WriteFrames(path, frames, rate, channels, format);
}

bool CSignalFile::WriteStereo(const std::string& path, const std::vector<float>& left,
                              const std::vector<float>& right, int rate, int format) {
    std::vector<float> frames;
    const size_t count = std::max(left.size(), right.size());
    frames.reserve(count * 2);
    for (size_t n = 0; n < count; ++n) {
        frames.push_back(n < left.size() ? left[n] : 0.0f);
        frames.push_back(n < right.size() ? right[n] : 0.0f);
    }
    return WriteFrames(path, frames, rate, 2, format);
}

void CSignalFile::WriteRaw(const std::string& path, const std::vector<uint8_t>& samples) {
    CTestTape::WriteFile(path, samples);
}

std::vector<std::string> CSignalFile::WriteDumpSeries(const std::string& base,
                                                      const std::vector<uint8_t>& samples,
                                                      size_t piece) {
    std::vector<std::string> names;
    for (size_t at = 0; at < samples.size(); at += piece) {
        char name[16];
        std::snprintf(name, sizeof name, ".%03zu", names.size());
        const size_t end = std::min(samples.size(), at + piece);
        names.push_back(base + name);
        CTestTape::WriteFile(
            names.back(), std::vector<uint8_t>(samples.begin() + static_cast<std::ptrdiff_t>(at),
                                               samples.begin() + static_cast<std::ptrdiff_t>(end)));
    }
    return names;
}

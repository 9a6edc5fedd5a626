#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes test signals to disk: raw unsigned 8-bit samples, or any libsndfile format.
class CSignalFile {
public:
    // format is a libsndfile SF_FORMAT_* combination (major type | sample type).
    // Every channel gets the same samples unless perChannel gives each its own.
    static bool WriteAudio(const std::string& path, const std::vector<float>& samples, int rate,
                           int channels, int format);
    static bool WriteStereo(const std::string& path, const std::vector<float>& left,
                            const std::vector<float>& right, int rate, int format);
    static void WriteRaw(const std::string& path, const std::vector<uint8_t>& samples);
    // Splits the samples into dump files base.000, base.001, ... of piece bytes each; returns
    // their names in order.
    static std::vector<std::string> WriteDumpSeries(const std::string& base,
                                                    const std::vector<uint8_t>& samples,
                                                    size_t piece);
};

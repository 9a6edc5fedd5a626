#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "recording/SampleSource.h"

// Headerless unsigned 8-bit mono samples at 22000 per second: a .raw file, or one dump file of
// the desktop program (NAME.NNN, one raw buffer per file).
class CRawFileSource : public CSampleSource {
public:
    CRawFileSource() = default;
    CRawFileSource(const CRawFileSource&) = delete;
    CRawFileSource& operator=(const CRawFileSource&) = delete;
    ~CRawFileSource() override;

    // Whether a file of this name holds raw samples: it ends in ".raw", or its extension is three
    // or more digits, as the dump files' names are.
    static bool IsRawName(std::string_view path);

    // Opens the file ("-": standard input); returns the reason when it cannot be opened.
    std::optional<std::string> Open(const std::string& path);

    int32_t Read(uint8_t* samples, int32_t capacity) override;
    const std::string& ErrorText() const override { return m_error; }
    int64_t Done() const override { return m_done; }
    int64_t Total() const override { return m_total; }

private:
    std::FILE* m_file = nullptr;
    std::string m_error;
    int64_t m_done = 0;
    int64_t m_total = 0;
};

#pragma once

#include <cstdint>
#include <memory>

// The running record of a run: every status text, calibration, dump and replay message, one entry
// per line, each followed by CR LF. The text only grows, in steps of kGrowthStep bytes, and is
// never trimmed; the Signal window shows it on its Log page.
class CConsoleLog {
public:
    static constexpr int32_t kGrowthStep = 2000;

    CConsoleLog();

    // Appends `text` (no line end of its own) and CR LF. Does nothing once Release() has run, or
    // when the log would pass 2 GiB.
    void Append(const char* text);
    // Frees the buffer for good; later appends are ignored.
    void Release();

    // The zero-terminated text, or nullptr after Release().
    const char* Text() const { return m_logText.get(); }
    int32_t Length() const { return m_logLength; }
    int32_t Capacity() const { return m_logCapacity; }

private:
    void GrowFor(int64_t textLength);

    std::unique_ptr<char[]> m_logText;
    int32_t m_logLength = 0;
    int32_t m_logCapacity = 0;
};

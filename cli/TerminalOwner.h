#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "decoder/core/DecoderOwner.h"
#include "model/TapeItem.h"

class CProgressBar;

// The decoder's owner on a terminal. Each entry of the block list (block rows and error rows)
// becomes one line on the entry stream as FormatEntryLine gives it; every status text and console
// log line goes to the message stream exactly as worded, one per line, so that two runs can be
// compared line by line. Debug lines are written only when TAPEWISE_DEBUG is set. Loaded blocks
// are kept, in order, for saving; error snapshots are not kept.
class CTerminalOwner : public CDecoderOwner {
public:
    CTerminalOwner(std::FILE* entries, std::FILE* messages);

    void SetStatusText(const char* text) override;
    void AppendLog(const char* text) override;
    void AddBlock(int32_t length, const uint8_t* bytes) override;
    bool ListErrors() const override { return true; }
    void AddErrorEntry(int32_t bytesRead, int32_t firstByte) override;
    void AddErrorSnapshot(const SignalSnapshot&) override {}
    void RefreshSignal() override {}
    void DebugOutput(const char* text) override;
    void AddTimedBlock(const TapeItem& item) override;

    // A bar to take off the terminal before each line and to draw again by its user; may be null.
    void SetProgressBar(CProgressBar* bar) { m_progressBar = bar; }

    const std::vector<TapeItem>& Blocks() const { return m_blocks; }
    int32_t ErrorEntryCount() const { return m_errorEntries; }

private:
    void WriteEntry(const std::string& line);
    void WriteMessage(const char* text);

    std::FILE* m_entries = nullptr;
    std::FILE* m_messages = nullptr;
    bool m_debug = false;
    CProgressBar* m_progressBar = nullptr;
    std::vector<TapeItem> m_blocks;
    int32_t m_errorEntries = 0;
};

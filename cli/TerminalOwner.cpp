#include "cli/TerminalOwner.h"

#include <cstdlib>
#include <string>

#include "cli/ProgressBar.h"
#include "tape/BlockEntry.h"

CTerminalOwner::CTerminalOwner(std::FILE* entries, std::FILE* messages)
    : m_entries(entries), m_messages(messages), m_debug(std::getenv("TAPEWISE_DEBUG") != nullptr) {}

void CTerminalOwner::SetStatusText(const char* text) {
    WriteMessage(text);
}

void CTerminalOwner::AppendLog(const char* text) {
    WriteMessage(text);
}

void CTerminalOwner::AddBlock(int32_t length, const uint8_t* bytes) {
    TapeItem& item = m_blocks.emplace_back();
    if (length > 0) {
        item.body.emplace<RomBlock>().bytes.assign(bytes, bytes + length);
    }
    WriteEntry(FormatEntryLine(DescribeBlock(item.body)));
}

void CTerminalOwner::AddTimedBlock(const TapeItem& item) {
    m_blocks.push_back(item);
    WriteEntry(FormatEntryLine(DescribeBlock(item.body)));
}

void CTerminalOwner::AddErrorEntry(int32_t bytesRead, int32_t firstByte) {
    ++m_errorEntries;
    WriteEntry(FormatEntryLine(DescribeReadError(bytesRead, firstByte)));
}

void CTerminalOwner::DebugOutput(const char* text) {
    if (!m_debug) {
        return;
    }
    if (m_progressBar != nullptr) {
        m_progressBar->Clear();
    }
    // Debug lines bring their own newline.
    std::fputs(text, m_messages);
}

void CTerminalOwner::WriteEntry(const std::string& line) {
    if (m_progressBar != nullptr) {
        m_progressBar->Clear();
    }
    std::fputs(line.c_str(), m_entries);
    std::fputc('\n', m_entries);
    // An entry shows up at once, also in a pipe, in its place among the messages.
    std::fflush(m_entries);
}

void CTerminalOwner::WriteMessage(const char* text) {
    if (m_progressBar != nullptr) {
        m_progressBar->Clear();
    }
    std::fputs(text, m_messages);
    std::fputc('\n', m_messages);
}

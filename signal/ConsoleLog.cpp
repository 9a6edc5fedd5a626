#include "signal/ConsoleLog.h"

#include <cstring>
#include <limits>

namespace {
// Room for the two line-end bytes and the terminating zero.
constexpr int64_t kEntryOverhead = 3;
}  // namespace

CConsoleLog::CConsoleLog()
    : m_logText(std::make_unique<char[]>(kGrowthStep)), m_logCapacity(kGrowthStep) {
    m_logText[0] = '\0';
}

void CConsoleLog::Append(const char* text) {
    if (!m_logText || text == nullptr) {
        return;
    }
    const int64_t textLength = static_cast<int64_t>(std::strlen(text));
    if (m_logLength + textLength + kEntryOverhead >
        std::numeric_limits<int32_t>::max() - kGrowthStep) {
        return;
    }
    GrowFor(textLength);
    char* end = m_logText.get() + m_logLength;
    std::memcpy(end, text, static_cast<size_t>(textLength));
    end[textLength] = '\r';
    end[textLength + 1] = '\n';
    end[textLength + 2] = '\0';
    m_logLength += static_cast<int32_t>(textLength + 2);
}

void CConsoleLog::GrowFor(int64_t textLength) {
    int32_t capacity = m_logCapacity;
    while (capacity < m_logLength + textLength + kEntryOverhead) {
        capacity += kGrowthStep;
    }
    if (capacity == m_logCapacity) {
        return;
    }
    // One allocation for all the steps: a long entry must not copy the log once per step.
    auto grown = std::make_unique<char[]>(static_cast<size_t>(capacity));
    std::memcpy(grown.get(), m_logText.get(), static_cast<size_t>(m_logLength) + 1);
    m_logText = std::move(grown);
    m_logCapacity = capacity;
}

void CConsoleLog::Release() {
    m_logText.reset();
}

#include "cli/ProgressBar.h"

#include <unistd.h>

namespace {
constexpr int kBarWidth = 40;
}

CProgressBar::CProgressBar(std::FILE* stream)
    : m_stream(stream), m_enabled(isatty(fileno(stream)) == 1) {}

void CProgressBar::Show(int64_t done, int64_t total) {
    if (!m_enabled || total <= 0) {
        return;
    }
    const int percent = static_cast<int>(done >= total ? 100 : done * 100 / total);
    if (m_drawn && percent == m_percent) {
        return;
    }
    m_percent = percent;
    char bar[kBarWidth + 1];
    const int filled = percent * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[kBarWidth] = '\0';
    std::fprintf(m_stream, "\r[%s] %3d%%", bar, percent);
    std::fflush(m_stream);
    m_drawn = true;
}

void CProgressBar::Clear() {
    if (!m_drawn) {
        return;
    }
    // Carriage return, erase to the end of the line.
    std::fputs("\r\033[K", m_stream);
    std::fflush(m_stream);
    m_drawn = false;
}

#pragma once

#include <cstdint>
#include <cstdio>

// A one-line progress bar on a terminal. It draws only when its stream is a terminal, so that
// redirected output holds nothing but the decoder's own lines.
class CProgressBar {
public:
    explicit CProgressBar(std::FILE* stream);

    bool Enabled() const { return m_enabled; }
    // Draws done out of total (total 0 draws nothing); redraws only when the percentage changes.
    void Show(int64_t done, int64_t total);
    // Removes the bar so that a message can be written on a clean line; Show draws it again.
    void Clear();

private:
    std::FILE* m_stream = nullptr;
    bool m_enabled = false;
    bool m_drawn = false;
    int m_percent = -1;
};

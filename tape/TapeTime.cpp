#include "tape/TapeTime.h"

#include "model/PulseRenderer.h"
#include "tape/BlockListModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

double BlockSeconds(const BlockBody& block) {
    return static_cast<double>(PulseTStates(block)) / spectrum::kClockHz +
           PauseAfter(block) / 1000.0;
}

std::string TapeClock(double seconds) {
    const auto tenths = static_cast<int64_t>(std::llround(std::max(seconds, 0.0) * 10.0));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                  static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
    return text;
}

double TapeSeconds(const CBlockListModel& rows, int32_t end) {
    double total = 0.0;
    for (int32_t position = 0; position < std::min(end, rows.GetItemCount()); ++position) {
        if (const TapeItem* item = rows.GetBlockAt(position)) {
            total += BlockSeconds(item->body);
        }
    }
    return total;
}

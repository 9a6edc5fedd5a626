#include "tape/TapeTime.h"

#include "tape/BlockListModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {
constexpr double kClockHz = 3500000.0;

// T-states of the data bits: two pulses a bit, most significant bit first, and of the last byte
// only the bits it uses.
int64_t DataTStates(const TapeBlock& block, const BlockTiming& timing) {
    int64_t total = 0;
    const std::span<const uint8_t> bytes = block.Data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int bits = i + 1 == bytes.size() ? timing.usedBitsInLastByte : 8;
        for (int bit = 0; bit < bits; ++bit) {
            const bool one = (bytes[i] & (0x80 >> bit)) != 0;
            total += 2 * static_cast<int64_t>(one ? timing.onePulse : timing.zeroPulse);
        }
    }
    return total;
}

int64_t LeaderTStates(const BlockTiming& timing) {
    return static_cast<int64_t>(timing.pilotPulse) * timing.pilotCount + timing.sync1 +
           timing.sync2;
}

double Seconds(int64_t tStates, const BlockTiming& timing) {
    return static_cast<double>(tStates) / kClockHz + timing.pauseMs / 1000.0;
}
}  // namespace

double BlockSeconds(const TapeBlock& block) {
    const BlockTiming timing = block.Timing();
    switch (block.Kind()) {
        case BlockKind::Standard:
        case BlockKind::Turbo:
            return Seconds(LeaderTStates(timing) + DataTStates(block, timing), timing);
        case BlockKind::PureData:
            return Seconds(DataTStates(block, timing), timing);
        case BlockKind::PureTone:
            return static_cast<double>(timing.pilotPulse) * timing.pilotCount / kClockHz;
        case BlockKind::PulseSequence: {
            int64_t total = 0;
            for (const uint16_t pulse : block.Pulses()) {
                total += pulse;
            }
            return static_cast<double>(total) / kClockHz;
        }
        case BlockKind::DirectRecording: {
            const int64_t samples =
                block.Length() > 0 ? (block.Length() - 1) * 8 + timing.usedBitsInLastByte : 0;
            return Seconds(samples * timing.tStatesPerSample, timing);
        }
        case BlockKind::Pause:
            return timing.pauseMs / 1000.0;
        case BlockKind::RawTzx:
            return 0.0;
    }
    return 0.0;
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
        if (const TapeBlock* block = rows.GetBlockAt(position)) {
            total += BlockSeconds(*block);
        }
    }
    return total;
}

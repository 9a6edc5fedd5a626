#pragma once

#include <cstdint>

#include "decoder/core/DecoderSettings.h"
#include "decoder/core/SignalSnapshot.h"
#include "signal/DrawPrimitive.h"

// The pictures of the Signal and Errors pages, as primitives in a group box's client pixels. Both
// are made from scratch from a snapshot and the decoder's current settings; they keep no state.
//
// For a box of boxWidth x boxHeight pixels the plot area has its top-left corner at (5, 15) and
// measures (boxWidth - 10) x (boxHeight - 20). Divisions truncate toward zero.

namespace drawing_colour {
inline constexpr Rgb kSignalBackground{255, 255, 255};
inline constexpr Rgb kTrace{0, 0, 0};
inline constexpr Rgb kPositionLine{255, 0, 0};
inline constexpr Rgb kGuideAfterPeak{255, 128, 0};
inline constexpr Rgb kGuideAfterTrough{0, 128, 255};
inline constexpr Rgb kTroughMark{255, 176, 0};
inline constexpr Rgb kPeakMark{0, 176, 255};
inline constexpr Rgb kHistogramBackground{0, 0, 0};
inline constexpr Rgb kUpperBar{0, 255, 255};
inline constexpr Rgb kLowerBar{0, 0, 128};
}  // namespace drawing_colour

// The plot area's position and size and the sample-to-pixel mapping shared by both pictures.
struct PlotGeometry {
    PlotGeometry(int32_t boxWidth, int32_t boxHeight);

    static constexpr int32_t kLeft = 5;
    static constexpr int32_t kTop = 15;
    static constexpr int32_t kMarginsX = 10;  // the box's width beyond the plot area
    static constexpr int32_t kMarginsY = 20;
    int32_t width = 0;   // W
    int32_t height = 0;  // H

    // x of sample time t when the newest sample has time newestTime: the newest sample stands one
    // pixel right of the plot area, each older one a pixel further left.
    int64_t X(int64_t t, int64_t newestTime) const { return kLeft + width + (t - newestTime); }
    // y of a sample value: 255 on the top edge, 0 one pixel below the bottom row.
    int64_t Y(int64_t v) const { return kTop + height - (v * height) / 255; }
};

// The trace of the newest samples with the peaks and troughs marked; when enough extremums are
// known, the position lines of the 4th and 5th older extremums of the first kind and the threshold
// guides after them.
Drawing SignalDrawing(int32_t boxWidth, int32_t boxHeight, const SignalSnapshot& snapshot,
                      const DecoderSettings& settings);

// The two period histograms as bars around the middle row: the table the calibration reads
// upward, the other downward. A count of 250 fills half the plot height.
Drawing HistogramDrawing(int32_t boxWidth, int32_t boxHeight, const SignalSnapshot& snapshot,
                         const DecoderSettings& settings);

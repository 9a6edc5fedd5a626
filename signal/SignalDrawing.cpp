#include "signal/SignalDrawing.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {
using Ring = RingBuffer<TimedValue>;

constexpr int kMarkWidth = 3;
constexpr int kMarkHeight = 5;
constexpr int kGuideSlope = 10;      // samples over which a guide falls by the decay
constexpr int kDecayScale = 10;      // level change per decay percent
constexpr int kPositionOlder = -4;   // the position lines and guides sit at the 4th and 5th
constexpr int kPositionOldest = -5;  // extremums before the newest
constexpr int32_t kHalfBarCount = 250;
constexpr int kBins = SignalSnapshot::kHistogramBins;

// Coordinates far outside any box are pinned, so that primitives stay 32-bit whatever the times.
int32_t Pin(int64_t v) {
    constexpr int64_t kLimit = int64_t{1} << 30;
    return static_cast<int32_t>(std::clamp(v, -kLimit, kLimit));
}

// An empty settings field draws as the decoder runs it: with its default.
int64_t SettingOr(int32_t value, int32_t fallback) {
    return value == kNotSet ? fallback : value;
}

struct SignalContext {
    const PlotGeometry& plot;
    const SignalSnapshot& snapshot;
    const DecoderSettings& settings;
    int64_t newestTime = 0;
    Drawing& drawing;
};

void AddLine(Drawing& drawing, int64_t x0, int64_t y0, int64_t x1, int64_t y1, Rgb colour) {
    drawing.push_back(LineSegment{Pin(x0), Pin(y0), Pin(x1), Pin(y1), colour});
}

void AddFill(Drawing& drawing, int64_t left, int64_t top, int64_t width, int64_t height,
             Rgb colour) {
    drawing.push_back(FillRect{Pin(left), Pin(top), Pin(width), Pin(height), colour});
}

// The filter level that the decoder would set after extremum k of ring `ring`, sketched from the
// swing before it, held for `delay` samples and then decayed over ten.
void DrawThresholdGuide(const SignalContext& context, const Ring& ring, int32_t k) {
    const bool peakRing = &ring == &context.snapshot.peaks;
    const Ring& other = peakRing ? context.snapshot.troughs : context.snapshot.peaks;
    const int64_t s = peakRing ? -1 : 1;
    const int32_t k2 = peakRing ? k - 1 : k;
    const int64_t filterPercent = SettingOr(context.settings.filterPercent, kDefaultFilterPercent);
    const int64_t decayPercent = SettingOr(context.settings.decayPercent, kDefaultDecayPercent);
    const int64_t delay = SettingOr(context.settings.delay, kDefaultDelay);

    const int64_t swing = std::llabs(int64_t{ring.At(k - 1).value} - other.At(k2).value);
    const int64_t level = ring.At(k).value + (s * (100 - filterPercent) * swing) / 100;
    const int64_t decayedLevel = level - s * decayPercent * kDecayScale;
    const Rgb colour =
        peakRing ? drawing_colour::kGuideAfterPeak : drawing_colour::kGuideAfterTrough;
    const int64_t x = context.plot.X(ring.At(k).time, context.newestTime);
    const PlotGeometry& plot = context.plot;
    AddLine(context.drawing, x, plot.Y(level), x + delay, plot.Y(level), colour);
    AddLine(context.drawing, x + delay, plot.Y(level), x + delay + kGuideSlope,
            plot.Y(decayedLevel), colour);
}

bool HasPositionExtremums(const Ring& first, const Ring& other, bool firstIsPeaks) {
    // The guides reach back to index -6 of both rings (-5 of the peaks when troughs come first).
    const int32_t otherNeeded = firstIsPeaks ? 7 : 6;
    return first.Size() > 2 && first.Size() >= 7 && other.Size() >= otherNeeded;
}

void DrawPositionLines(const SignalContext& context) {
    const bool firstIsPeaks = context.settings.maxFirst;
    const Ring& first = firstIsPeaks ? context.snapshot.peaks : context.snapshot.troughs;
    const Ring& other = firstIsPeaks ? context.snapshot.troughs : context.snapshot.peaks;
    if (!HasPositionExtremums(first, other, firstIsPeaks)) {
        return;
    }
    const PlotGeometry& plot = context.plot;
    for (const int32_t k : {kPositionOlder, kPositionOldest}) {
        const int64_t x = plot.X(first.At(k).time, context.newestTime);
        AddLine(context.drawing, x, PlotGeometry::kTop, x, PlotGeometry::kTop + plot.height,
                drawing_colour::kPositionLine);
    }
    DrawThresholdGuide(context, first, kPositionOlder);
    DrawThresholdGuide(context, other, kPositionOlder);
    DrawThresholdGuide(context, first, kPositionOldest);
}

// Marks sit just below a trough (markOffset 0) or just above a peak (markOffset -5).
void DrawMarks(const SignalContext& context, const Ring& ring, int64_t markOffset, Rgb colour) {
    for (int32_t i = 1 - ring.Size(); i <= 0; ++i) {
        const int64_t x = context.plot.X(ring.At(i).time, context.newestTime);
        if (x >= PlotGeometry::kLeft) {
            AddFill(context.drawing, x - 1, context.plot.Y(ring.At(i).value) + markOffset,
                    kMarkWidth, kMarkHeight, colour);
        }
    }
}

void DrawTrace(const SignalContext& context) {
    const Ring& samples = context.snapshot.samples;
    for (int32_t i = 1 - samples.Size(); i <= -1; ++i) {
        const TimedValue& older = samples.At(i);
        const TimedValue& newer = samples.At(i + 1);
        const int64_t x = context.plot.X(older.time, context.newestTime);
        if (x >= PlotGeometry::kLeft) {
            AddLine(context.drawing, x, context.plot.Y(older.value), x + 1,
                    context.plot.Y(newer.value), drawing_colour::kTrace);
        }
    }
}

void DrawBars(Drawing& drawing, const PlotGeometry& plot, const SignalSnapshot& snapshot,
              int parity, bool upward) {
    const int64_t baseline = PlotGeometry::kTop + plot.height / 2;
    const Rgb colour = upward ? drawing_colour::kUpperBar : drawing_colour::kLowerBar;
    for (int k = 0; k < kBins; ++k) {
        const int64_t left = PlotGeometry::kLeft + (int64_t{k} * plot.width) / kBins;
        const int64_t right = PlotGeometry::kLeft + (int64_t{k + 1} * plot.width) / kBins;
        const int64_t count = snapshot.HistogramCount(parity, k);
        const int64_t barHeight = ((count * plot.height) / 2) / kHalfBarCount;
        if (upward) {
            // A single period still shows as one pixel above the baseline.
            const int64_t shown = count > 0 ? barHeight + 1 : barHeight;
            AddFill(drawing, left, baseline - barHeight, right - left, shown, colour);
        } else {
            AddFill(drawing, left, baseline + 1, right - left, barHeight, colour);
        }
    }
}
}  // namespace

PlotGeometry::PlotGeometry(int32_t boxWidth, int32_t boxHeight)
    : width(boxWidth - kMarginsX), height(boxHeight - kMarginsY) {}

Drawing SignalDrawing(int32_t boxWidth, int32_t boxHeight, const SignalSnapshot& snapshot,
                      const DecoderSettings& settings) {
    Drawing drawing;
    const PlotGeometry plot(boxWidth, boxHeight);
    AddFill(drawing, PlotGeometry::kLeft, PlotGeometry::kTop, plot.width, plot.height,
            drawing_colour::kSignalBackground);
    if (snapshot.samples.Size() == 0) {
        return drawing;
    }
    const SignalContext context{plot, snapshot, settings, snapshot.samples.At(0).time, drawing};
    DrawPositionLines(context);
    DrawMarks(context, snapshot.troughs, 0, drawing_colour::kTroughMark);
    DrawMarks(context, snapshot.peaks, -kMarkHeight, drawing_colour::kPeakMark);
    DrawTrace(context);
    return drawing;
}

Drawing HistogramDrawing(int32_t boxWidth, int32_t boxHeight, const SignalSnapshot& snapshot,
                         const DecoderSettings& settings) {
    Drawing drawing;
    const PlotGeometry plot(boxWidth, boxHeight);
    AddFill(drawing, PlotGeometry::kLeft, PlotGeometry::kTop, plot.width, plot.height,
            drawing_colour::kHistogramBackground);
    // Upward: the table that the calibration reads, peak-to-peak when peaks come first.
    const int upperParity = settings.maxFirst ? 0 : 1;
    DrawBars(drawing, plot, snapshot, upperParity, true);
    DrawBars(drawing, plot, snapshot, 1 - upperParity, false);
    return drawing;
}

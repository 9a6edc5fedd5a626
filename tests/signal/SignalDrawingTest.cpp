#include "signal/SignalDrawing.h"

#include <gtest/gtest.h>

#include "signal/PixelImage.h"

namespace {
constexpr int kBoxWidth = 380;
constexpr int kBoxHeight = 150;  // W = 370, H = 130

// Pushes samples with times first, first + 1, ... and the given values.
void PushSamples(RingBuffer<TimedValue>& ring, int64_t firstTime,
                 std::initializer_list<int> values) {
    int64_t time = firstTime;
    for (const int value : values) {
        ring.Push(TimedValue{time++, value});
    }
}

SignalSnapshot EmptySnapshotWithRings() {
    SignalSnapshot snapshot;
    snapshot.samples = RingBuffer<TimedValue>(400);
    snapshot.peaks = RingBuffer<TimedValue>(40);
    snapshot.troughs = RingBuffer<TimedValue>(40);
    return snapshot;
}

PixelImage Render(const Drawing& drawing) {
    PixelImage image(kBoxWidth, kBoxHeight);
    image.Paint(drawing);
    return image;
}

uint32_t Pixel(Rgb colour) {
    return OpaquePixel(colour);
}

int CountPixels(const PixelImage& image, Rgb colour) {
    int count = 0;
    for (const uint32_t pixel : image.Pixels()) {
        count += pixel == OpaquePixel(colour) ? 1 : 0;
    }
    return count;
}

std::vector<LineSegment> LinesOf(const Drawing& drawing, Rgb colour) {
    std::vector<LineSegment> lines;
    for (const DrawPrimitive& primitive : drawing) {
        if (const auto* line = std::get_if<LineSegment>(&primitive)) {
            if (line->colour == colour) {
                lines.push_back(*line);
            }
        }
    }
    return lines;
}
}  // namespace

TEST(PixelImageTest, LinesLeaveOutTheirEndPointAndClip) {
    PixelImage image(20, 20);
    image.Line(LineSegment{2, 3, 6, 3, Rgb{1, 2, 3}});
    EXPECT_TRUE(image.IsSet(2, 3));
    EXPECT_TRUE(image.IsSet(5, 3));
    EXPECT_FALSE(image.IsSet(6, 3));
    // A steep step of one column: half the rows in each column, end excluded.
    image.Line(LineSegment{10, 0, 11, 10, Rgb{9, 9, 9}});
    int left = 0;
    int right = 0;
    for (int y = 0; y < 20; ++y) {
        left += image.IsSet(10, y) ? 1 : 0;
        right += image.IsSet(11, y) ? 1 : 0;
    }
    EXPECT_EQ(left + right, 10);
    EXPECT_EQ(left, 5);
    EXPECT_FALSE(image.IsSet(11, 10));
    // A line from far outside costs nothing and lands where it must.
    image.Line(LineSegment{-1000000000, 15, 1000000000, 15, Rgb{4, 4, 4}});
    EXPECT_EQ(image.At(0, 15), OpaquePixel(Rgb{4, 4, 4}));
    EXPECT_EQ(image.At(19, 15), OpaquePixel(Rgb{4, 4, 4}));
    // A point-length line draws nothing.
    image.Line(LineSegment{1, 1, 1, 1, Rgb{5, 5, 5}});
    EXPECT_FALSE(image.IsSet(1, 1));
}

TEST(SignalDrawingTest, NeverCapturedSnapshotDrawsEmptyPlots) {
    const SignalSnapshot empty;
    const DecoderSettings settings;
    const PixelImage signal = Render(SignalDrawing(kBoxWidth, kBoxHeight, empty, settings));
    EXPECT_EQ(CountPixels(signal, drawing_colour::kSignalBackground), 370 * 130);
    EXPECT_FALSE(signal.IsSet(4, 15));
    EXPECT_FALSE(signal.IsSet(5, 14));
    EXPECT_TRUE(signal.IsSet(374, 144));
    EXPECT_FALSE(signal.IsSet(375, 145));

    const PixelImage histogram = Render(HistogramDrawing(kBoxWidth, kBoxHeight, empty, settings));
    EXPECT_EQ(CountPixels(histogram, drawing_colour::kHistogramBackground), 370 * 130);
}

TEST(SignalDrawingTest, TracePositionsFollowTimeAndValue) {
    SignalSnapshot snapshot = EmptySnapshotWithRings();
    // Eleven samples at 128 except the newest two; the newest is at x = 375.
    PushSamples(snapshot.samples, 1000, {128, 128, 128, 128, 128, 128, 128, 128, 128, 255, 0});
    const PlotGeometry plot(kBoxWidth, kBoxHeight);
    EXPECT_EQ(plot.X(1010, 1010), 375);
    EXPECT_EQ(plot.X(1000, 1010), 365);
    EXPECT_EQ(plot.Y(128), 80);
    EXPECT_EQ(plot.Y(255), 15);
    EXPECT_EQ(plot.Y(0), 145);

    // The trace runs through those points; the rasteriser's rules are PixelImageTest's.
    const Drawing drawing = SignalDrawing(kBoxWidth, kBoxHeight, snapshot, DecoderSettings{});
    const std::vector<LineSegment> trace = LinesOf(drawing, drawing_colour::kTrace);
    ASSERT_EQ(trace.size(), 10u);
    EXPECT_EQ(trace.front(), (LineSegment{365, 80, 366, 80, drawing_colour::kTrace}));
    EXPECT_EQ(trace.back(), (LineSegment{374, 15, 375, 145, drawing_colour::kTrace}));
}

TEST(SignalDrawingTest, OneSampleDrawsNoTraceButMarks) {
    SignalSnapshot snapshot = EmptySnapshotWithRings();
    PushSamples(snapshot.samples, 50, {128});
    snapshot.peaks.Push(TimedValue{45, 200});
    snapshot.troughs.Push(TimedValue{48, 40});
    snapshot.troughs.Push(TimedValue{-500, 40});  // far left of the plot: skipped
    const PixelImage image =
        Render(SignalDrawing(kBoxWidth, kBoxHeight, snapshot, DecoderSettings{}));
    EXPECT_EQ(CountPixels(image, drawing_colour::kTrace), 0);
    const PlotGeometry plot(kBoxWidth, kBoxHeight);
    // Peak mark: 3 x 5 just above the peak, centred on its x.
    const int peakX = static_cast<int>(plot.X(45, 50));
    const int peakY = static_cast<int>(plot.Y(200));
    EXPECT_EQ(image.At(peakX - 1, peakY - 5), Pixel(drawing_colour::kPeakMark));
    EXPECT_EQ(image.At(peakX + 1, peakY - 1), Pixel(drawing_colour::kPeakMark));
    EXPECT_EQ(image.At(peakX, peakY), Pixel(drawing_colour::kSignalBackground));
    // Trough mark: just below.
    const int troughX = static_cast<int>(plot.X(48, 50));
    const int troughY = static_cast<int>(plot.Y(40));
    EXPECT_EQ(image.At(troughX - 1, troughY), Pixel(drawing_colour::kTroughMark));
    EXPECT_EQ(image.At(troughX + 1, troughY + 4), Pixel(drawing_colour::kTroughMark));
    EXPECT_EQ(CountPixels(image, drawing_colour::kTroughMark), 15);
    EXPECT_EQ(CountPixels(image, drawing_colour::kPeakMark), 15);
}

namespace {
// Alternating extremums, one every 10 samples: troughs at value 40, peaks at `peakValue`.
SignalSnapshot SnapshotWithExtremums(int peakCount, int troughCount, int peakValue) {
    SignalSnapshot snapshot = EmptySnapshotWithRings();
    for (int i = 0; i < 400; ++i) {
        snapshot.samples.Push(TimedValue{i, 128});
    }
    for (int i = 0; i < troughCount; ++i) {
        snapshot.troughs.Push(TimedValue{399 - 10 * (2 * (troughCount - 1 - i) + 1), 40});
    }
    for (int i = 0; i < peakCount; ++i) {
        snapshot.peaks.Push(TimedValue{399 - 10 * 2 * (peakCount - 1 - i), peakValue});
    }
    return snapshot;
}

}  // namespace

TEST(SignalDrawingTest, GuideAfterAPeakHoldsThenDecays) {
    // Peaks at 140, troughs at 40: the swing measured before peak -4 is 100.
    SignalSnapshot snapshot = SnapshotWithExtremums(8, 8, 140);
    snapshot.peaks.At(-4).value = 200;
    DecoderSettings settings;
    settings.maxFirst = true;
    settings.filterPercent = 55;
    settings.decayPercent = 4;
    settings.delay = 2;
    const Drawing drawing = SignalDrawing(kBoxWidth, kBoxHeight, snapshot, settings);
    const PlotGeometry plot(kBoxWidth, kBoxHeight);

    const std::vector<LineSegment> red = LinesOf(drawing, drawing_colour::kPositionLine);
    ASSERT_EQ(red.size(), 2u);
    const int32_t x4 = static_cast<int32_t>(plot.X(snapshot.peaks.At(-4).time, 399));
    EXPECT_EQ(red[0], (LineSegment{x4, 15, x4, 145, drawing_colour::kPositionLine}));

    const std::vector<LineSegment> guides = LinesOf(drawing, drawing_colour::kGuideAfterPeak);
    ASSERT_EQ(guides.size(), 4u);  // (peaks, -4) and (peaks, -5), two segments each
    const int32_t flat = static_cast<int32_t>(plot.Y(155));
    const int32_t decayed = static_cast<int32_t>(plot.Y(195));
    EXPECT_EQ(guides[0], (LineSegment{x4, flat, x4 + 2, flat, drawing_colour::kGuideAfterPeak}));
    EXPECT_EQ(guides[1],
              (LineSegment{x4 + 2, flat, x4 + 12, decayed, drawing_colour::kGuideAfterPeak}));
    EXPECT_EQ(LinesOf(drawing, drawing_colour::kGuideAfterTrough).size(), 2u);
}

TEST(SignalDrawingTest, GuidesNeedEnoughExtremumsOfBothKinds) {
    const DecoderSettings troughsFirst;  // maxFirst off
    const Drawing five =
        SignalDrawing(kBoxWidth, kBoxHeight, SnapshotWithExtremums(8, 5, 200), troughsFirst);
    EXPECT_TRUE(LinesOf(five, drawing_colour::kPositionLine).empty());
    EXPECT_TRUE(LinesOf(five, drawing_colour::kGuideAfterPeak).empty());
    EXPECT_FALSE(LinesOf(five, drawing_colour::kTrace).empty());

    // Troughs first: seven troughs and six peaks are enough.
    const Drawing enough =
        SignalDrawing(kBoxWidth, kBoxHeight, SnapshotWithExtremums(6, 7, 200), troughsFirst);
    EXPECT_EQ(LinesOf(enough, drawing_colour::kPositionLine).size(), 2u);
    EXPECT_EQ(LinesOf(enough, drawing_colour::kGuideAfterTrough).size(), 4u);

    // Peaks first needs seven of each.
    DecoderSettings peaksFirst;
    peaksFirst.maxFirst = true;
    const Drawing six =
        SignalDrawing(kBoxWidth, kBoxHeight, SnapshotWithExtremums(7, 6, 200), peaksFirst);
    EXPECT_TRUE(LinesOf(six, drawing_colour::kPositionLine).empty());
}

TEST(SignalDrawingTest, EmptySettingsFieldsDrawWithTheDefaults) {
    DecoderSettings settings;
    settings.maxFirst = true;
    settings.delay = kNotSet;
    settings.filterPercent = kNotSet;
    settings.decayPercent = kNotSet;
    const SignalSnapshot snapshot = SnapshotWithExtremums(8, 8, 200);
    DecoderSettings defaults;
    defaults.maxFirst = true;
    EXPECT_EQ(SignalDrawing(kBoxWidth, kBoxHeight, snapshot, settings),
              SignalDrawing(kBoxWidth, kBoxHeight, snapshot, defaults));
}

TEST(HistogramDrawingTest, BarHeightsAndOrientation) {
    SignalSnapshot snapshot;
    DecoderSettings settings;                 // maxFirst off: table 1 goes up
    snapshot.periodHistogram[50 + 0] = 1;     // upper, bin 0: one pixel
    snapshot.periodHistogram[50 + 10] = 250;  // upper, bin 10: 66 pixels, rows 15 to 80
    snapshot.periodHistogram[20] = 1;         // lower, bin 20: nothing
    snapshot.periodHistogram[30] = 250;       // lower, bin 30: 65 pixels, rows 81 to 145
    const PixelImage image = Render(HistogramDrawing(kBoxWidth, kBoxHeight, snapshot, settings));

    const auto column = [](int k) { return 5 + (k * 370) / 50; };
    EXPECT_EQ(image.At(column(0), 80), Pixel(drawing_colour::kUpperBar));
    EXPECT_EQ(image.At(column(0), 79), Pixel(drawing_colour::kHistogramBackground));
    EXPECT_EQ(image.At(column(10), 15), Pixel(drawing_colour::kUpperBar));
    EXPECT_EQ(image.At(column(10), 80), Pixel(drawing_colour::kUpperBar));
    EXPECT_EQ(image.At(column(10), 81), Pixel(drawing_colour::kHistogramBackground));
    EXPECT_EQ(image.At(column(20), 81), Pixel(drawing_colour::kHistogramBackground));
    EXPECT_EQ(image.At(column(30), 81), Pixel(drawing_colour::kLowerBar));
    EXPECT_EQ(image.At(column(30), 145), Pixel(drawing_colour::kLowerBar));
    const auto width = [&column](int k) { return column(k + 1) - column(k); };
    EXPECT_EQ(CountPixels(image, drawing_colour::kUpperBar), width(0) * 1 + width(10) * 66);
    EXPECT_EQ(CountPixels(image, drawing_colour::kLowerBar), width(30) * 65);

    settings.maxFirst = true;  // now table 0 goes up
    const PixelImage swapped = Render(HistogramDrawing(kBoxWidth, kBoxHeight, snapshot, settings));
    EXPECT_EQ(swapped.At(column(30), 15), Pixel(drawing_colour::kUpperBar));
    EXPECT_EQ(swapped.At(column(20), 80), Pixel(drawing_colour::kUpperBar));
}

TEST(HistogramDrawingTest, HugeCountsDoNotOverflow) {
    SignalSnapshot snapshot;
    snapshot.periodHistogram[50 + 3] = 2147483647;
    const Drawing drawing = HistogramDrawing(kBoxWidth, kBoxHeight, snapshot, DecoderSettings{});
    const PixelImage image = Render(drawing);
    EXPECT_EQ(image.At(5 + (3 * 370) / 50, 0), Pixel(drawing_colour::kUpperBar));
}

#include <gtest/gtest.h>

#include <vector>

#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TapeDecoder.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/Retune.h"

namespace {

class TrackerTest : public ::testing::Test {
protected:
    void Feed(const std::vector<int32_t>& samples) {
        for (int32_t s : samples) {
            decoder.AddSample(s);
        }
    }
    SignalSnapshot Capture() const {
        SignalSnapshot snapshot;
        decoder.CaptureSnapshot(snapshot);
        return snapshot;
    }
    // Trough (1, 100) and peak (3, 150) accepted; the tracker is falling after the peak, and the
    // sample at time 4 is 145.
    void PrimeSwing() { Feed({150, 100, 110, 150, 145}); }

    CRecordingOwner owner;
    CTapeDecoder decoder{&owner};
};

TEST_F(TrackerTest, RepeatsOfTheFirstSampleAreDroppedUntilTheDirectionIsKnown) {
    Feed({128, 128, 128, 130});
    EXPECT_EQ(decoder.SampleTime(), 2);
    EXPECT_TRUE(decoder.Rising());
    const SignalSnapshot snapshot = Capture();
    ASSERT_EQ(snapshot.samples.Count(), 2);
    EXPECT_EQ(snapshot.samples.At(0), (TimedValue{1, 130}));
    EXPECT_EQ(snapshot.samples.At(-1), (TimedValue{0, 128}));

    CTapeDecoder falling(&owner);
    falling.AddSample(128);
    falling.AddSample(126);
    EXPECT_FALSE(falling.Rising());
    falling.AddSample(126);  // only the first sample's repeats are dropped
    EXPECT_EQ(falling.SampleTime(), 3);
}

TEST_F(TrackerTest, AClippedSampleIsComparedAsThePreviousOneButStoredAsItCame) {
    Feed({100, 120, 255});
    // 255 compares as 120: the rise has stopped, so 120 is taken as a peak.
    const SignalSnapshot snapshot = Capture();
    ASSERT_EQ(snapshot.peaks.Count(), 1);
    EXPECT_EQ(snapshot.peaks.At(0), (TimedValue{1, 120}));
    EXPECT_EQ(snapshot.samples.At(0), (TimedValue{2, 255}));
    EXPECT_FALSE(decoder.Rising());
}

TEST_F(TrackerTest, TheFilterNeedsAShareOfThePreviousSwing) {
    PrimeSwing();
    ASSERT_EQ(Capture().troughs.At(0), (TimedValue{1, 100}));
    ASSERT_EQ(Capture().peaks.At(0), (TimedValue{3, 150}));
    // Two samples after the peak a trough must lie 22 below it (45 % of 50): 140 is not enough.
    Feed({140, 141});
    EXPECT_EQ(Capture().troughs.Count(), 1);
    EXPECT_EQ(decoder.RejectRun(), 1);

    CTapeDecoder deeper(&owner);
    for (int32_t s : {150, 100, 110, 150, 145, 120, 121}) {
        deeper.AddSample(s);
    }
    SignalSnapshot snapshot;
    deeper.CaptureSnapshot(snapshot);
    ASSERT_EQ(snapshot.troughs.Count(), 2);
    EXPECT_EQ(snapshot.troughs.At(0), (TimedValue{5, 120}));
    EXPECT_EQ(deeper.RejectRun(), 0);
}

TEST_F(TrackerTest, TheThresholdDecaysAfterTheDelay) {
    // Defaults: delay 6, decay 2 points per sample. Ten samples after the peak the share is
    // 45 - 8 = 37 % of 50, that is 18.
    for (int32_t excursion : {17, 18}) {
        CRecordingOwner recorder;
        CTapeDecoder tracker(&recorder);
        for (int32_t s : {150, 100, 110, 150, 149, 148, 147, 146, 145, 144, 143, 142, 141}) {
            tracker.AddSample(s);
        }
        tracker.AddSample(150 - excursion);  // time 13, ten after the peak
        tracker.AddSample(150 - excursion + 1);
        SignalSnapshot snapshot;
        tracker.CaptureSnapshot(snapshot);
        EXPECT_EQ(snapshot.troughs.Count(), excursion == 18 ? 2 : 1) << excursion;
    }
}

TEST_F(TrackerTest, AnExtremumIsDraggedAlongWhileTheWaveGoesTheWrongWay) {
    PrimeSwing();
    Feed({155, 160, 170, 150});
    // Each candidate beyond the last peak moved it; each move counts as a rejection.
    const SignalSnapshot snapshot = Capture();
    ASSERT_EQ(snapshot.peaks.Count(), 1);
    EXPECT_EQ(snapshot.peaks.At(0), (TimedValue{6, 160}));
    EXPECT_EQ(decoder.RejectRun(), 3);
}

TEST_F(TrackerTest, AHundredRejectionsInARowLetTheNextCandidateThrough) {
    // Keep the threshold whole however long it takes.
    Retune(decoder, [](DecoderSettings& s) { s.decayPercent = 0; });
    PrimeSwing();
    for (int i = 0; i < 100; ++i) {
        Feed({146, 145});
    }
    EXPECT_EQ(decoder.RejectRun(), 100);
    EXPECT_EQ(Capture().troughs.Count(), 1);
    Feed({146});
    EXPECT_EQ(Capture().troughs.Count(), 2);
    EXPECT_EQ(Capture().troughs.At(0).value, 145);
    EXPECT_EQ(decoder.RejectRun(), 0);
}

TEST_F(TrackerTest, TheStreamToTheRecognizerStartsWithTheSecondPeak) {
    // trough 1, peak 3, trough 5, peak 7, trough 9
    Feed({150, 100, 110, 200, 150, 100, 150, 200, 150, 100, 150});
    const auto& times = decoder.Recognizer().GetExtremumTimes();
    EXPECT_TRUE(decoder.StreamStarted());
    ASSERT_EQ(times.Count(), 2);
    EXPECT_EQ(times.At(-1), 7);
    EXPECT_EQ(times.At(0), 9);
}

}  // namespace

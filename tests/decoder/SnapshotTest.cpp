#include <gtest/gtest.h>

#include <vector>

#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TapeDecoder.h"
#include "tests/decoder/SnapshotCompare.h"
#include "tests/support/PeriodSignal.h"
#include "tests/support/RecordingOwner.h"

namespace {

TEST(SnapshotTest, KeepsTheLast400SamplesWithTheirTimes) {
    CRecordingOwner owner;
    CTapeDecoder decoder(&owner);
    std::vector<uint8_t> samples(450);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<uint8_t>(1 + i % 200);
    }
    // Across two buffers, so that part of the history comes from the earlier one.
    decoder.ProcessBuffer(samples.data(), 100);
    decoder.ProcessBuffer(samples.data() + 100, 350);
    SignalSnapshot snapshot;
    decoder.CaptureSnapshot(snapshot);
    ASSERT_EQ(snapshot.samples.Count(), 450);
    EXPECT_EQ(snapshot.samples.At(0), (TimedValue{449, samples[449]}));
    EXPECT_EQ(snapshot.samples.At(-399), (TimedValue{50, samples[50]}));
    EXPECT_EQ(snapshot.samples.At(-300), (TimedValue{149, samples[149]}));
}

TEST(SnapshotTest, CapturesAreIndependentCopies) {
    CRecordingOwner owner;
    CTapeDecoder decoder(&owner);
    const std::vector<uint8_t> signal = CPeriodSignal::Triangle(std::vector<int32_t>(200, 27));
    decoder.ProcessBuffer(signal.data(), 3000);
    SignalSnapshot first;
    SignalSnapshot second;
    decoder.CaptureSnapshot(first);
    decoder.CaptureSnapshot(second);
    EXPECT_TRUE(SameSnapshot(first, second));
    EXPECT_GT(first.HistogramCount(1, 27), 0);

    const SignalSnapshot kept = first;
    decoder.ProcessBuffer(signal.data() + 3000, 2000);
    EXPECT_TRUE(SameSnapshot(first, kept));  // decoding on leaves the capture alone
    decoder.CaptureSnapshot(second);
    EXPECT_FALSE(SameSnapshot(first, second));
}

}  // namespace

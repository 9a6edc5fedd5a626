#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TapeDecoder.h"
#include "tests/decoder/SnapshotCompare.h"
#include "tests/support/PeriodSignal.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/Retune.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

namespace {

constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();

std::vector<uint8_t> NoisyTape() {
    CTestTape tape;
    tape.AddCodeFile("faults", 200, 3);
    TapeWear wear;
    wear.noiseRms = 0.015;
    wear.lowPassHz = 3000.0;
    return CTapeSynth::RenderForDecoder(tape.Blocks(), wear);
}

struct DecodeRun {
    std::vector<std::string> events;
    SignalSnapshot last;
};

DecodeRun Decode(const std::vector<uint8_t>& signal, void (*configure)(DecoderSettings&),
                 int64_t firstSampleTime = 0) {
    CRecordingOwner owner;
    owner.recordDebug = false;  // the interval log carries absolute times
    CTapeDecoder decoder(&owner, firstSampleTime);
    Retune(decoder, configure);
    for (size_t at = 0; at < signal.size(); at += 22000) {
        decoder.ProcessBuffer(signal.data() + at,
                              static_cast<int32_t>(std::min<size_t>(22000, signal.size() - at)));
    }
    DecodeRun run;
    run.events = owner.events;
    decoder.CaptureSnapshot(run.last);
    return run;
}

TEST(DecoderLimitsTest, AnEmptyWaveProcessingFieldActsAsItsDefault) {
    const std::vector<uint8_t> signal = NoisyTape();
    const DecodeRun defaults = Decode(signal, [](DecoderSettings&) {});
    ASSERT_GE(std::count(defaults.events.begin(), defaults.events.end(),
                         "status: Load sucessful for 202 bytes block"),
              1);
    const DecodeRun filter = Decode(signal, [](DecoderSettings& s) { s.filterPercent = kNotSet; });
    const DecodeRun delay = Decode(signal, [](DecoderSettings& s) { s.delay = kNotSet; });
    const DecodeRun decay = Decode(signal, [](DecoderSettings& s) { s.decayPercent = kNotSet; });
    for (const DecodeRun* run : {&filter, &delay, &decay}) {
        EXPECT_EQ(run->events, defaults.events);
        EXPECT_TRUE(SameSnapshot(run->last, defaults.last));
    }
    // And the field does matter: another value decodes differently.
    const DecodeRun other = Decode(signal, [](DecoderSettings& s) {
        s.delay = 2;
        s.decayPercent = 4;
    });
    EXPECT_FALSE(SameSnapshot(other.last, defaults.last));
}

class ExtremeFilterTest : public ::testing::Test {
protected:
    // Trough (1, 100), peak (3, 150), falling, then the given samples.
    int64_t TroughsAfter(const std::vector<int32_t>& samples) {
        for (int32_t s : std::vector<int32_t>{150, 100, 110, 150, 145}) {
            decoder.AddSample(s);
        }
        for (int32_t s : samples) {
            decoder.AddSample(s);
        }
        SignalSnapshot snapshot;
        decoder.CaptureSnapshot(snapshot);
        return snapshot.troughs.Count();
    }

    CRecordingOwner owner;
    CTapeDecoder decoder{&owner};
};

TEST_F(ExtremeFilterTest, AHugeFilterRejectsWithoutOverflowing) {
    // 100 - filter is 2^31 + 100: past 32 bits.
    Retune(decoder, [&](DecoderSettings& s) { s.filterPercent = kMin32; });
    EXPECT_EQ(TroughsAfter({120, 121}), 1);
    EXPECT_EQ(decoder.RejectRun(), 1);
}

TEST_F(ExtremeFilterTest, AHugeDecayAcceptsWithoutOverflowing) {
    Retune(decoder, [](DecoderSettings& s) {
        s.delay = 0;
        s.decayPercent = kMax32;
    });
    EXPECT_EQ(TroughsAfter({144, 145}), 2);
}

TEST_F(ExtremeFilterTest, AHugeNegativeDecayRejectsWithoutOverflowing) {
    Retune(decoder, [](DecoderSettings& s) {
        s.delay = kMin32;
        s.decayPercent = kMin32;
    });
    EXPECT_EQ(TroughsAfter({110, 111}), 1);
}

TEST(DecoderLimitsTest, ExtremeSettingsDecodeATapeWithoutUndefinedBehaviour) {
    // DecodeRun under UBSan in the sanitizer build: any overflow there fails the test run.
    const std::vector<uint8_t> signal = NoisyTape();
    const auto count = static_cast<int32_t>(signal.size() / 4);
    // Samples equal to the very first are not counted, whatever the settings.
    CRecordingOwner referenceOwner;
    CTapeDecoder reference(&referenceOwner);
    reference.ProcessBuffer(signal.data(), count);
    for (int32_t filter : {kMin32, -1000, 0, 100, kMax32}) {
        for (int32_t delay : {kMin32, 0, kMax32}) {
            for (int32_t decay : {kMin32, 0, kMax32}) {
                CRecordingOwner owner;
                CTapeDecoder decoder(&owner);
                Retune(decoder, [&](DecoderSettings& s) {
                    s.filterPercent = filter;
                    s.delay = delay;
                    s.decayPercent = decay;
                    s.data0Max = kNotSet;
                    s.data1Max = kMax32;
                    s.externVals = true;
                });
                decoder.ProcessBuffer(signal.data(), count);
                decoder.Calibrate();
                EXPECT_EQ(decoder.SampleTime(), reference.SampleTime());
            }
        }
    }
}

TEST(DecoderLimitsTest, PeriodsStayRightPastTwoToTheThirtyFirstSamples) {
    const std::vector<uint8_t> signal = NoisyTape();
    const DecodeRun early = Decode(signal, [](DecoderSettings&) {});
    // Start 3 seconds before a 32-bit sample counter would wrap: the tape crosses that point.
    const int64_t origin = (int64_t{1} << 31) - 3 * 22000;
    const DecodeRun late = Decode(
        signal, [](DecoderSettings&) {}, origin);
    EXPECT_EQ(late.events, early.events);
    ASSERT_GT(late.last.samples.Count(), 0);
    EXPECT_EQ(late.last.samples.At(0).time, early.last.samples.At(0).time + origin);
    EXPECT_GT(late.last.peaks.At(0).time, kMax32);
    EXPECT_EQ(late.last.periodHistogram, early.last.periodHistogram);
}

TEST(DecoderLimitsTest, TimesPastTwoToTheThirtyFirstAreReportedWhole) {
    CRecordingOwner owner;
    CTapeDecoder decoder(&owner);
    int64_t time = int64_t{1} << 32;  // 54 hours into a run
    auto period = [&](int32_t p) {
        decoder.Recognizer().OnExtremum(time + p / 2);
        time += p;
        decoder.Recognizer().OnExtremum(time);
    };
    for (int i = 0; i < 130; ++i) {
        period(60);
    }
    for (int32_t p : CPeriodSignal::BlockPeriods({0x00, 0x01})) {
        period(p);
    }
    const int64_t failureStart = time;
    for (int i = 0; i < 6; ++i) {
        period(60);
    }
    const auto errors = owner.Records<record::ReadError>();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].at, failureStart);
    EXPECT_EQ(errors[0].bytesRead, 2);
    const std::vector<int64_t>& times = errors[0].scene.extremumTimes;
    ASSERT_EQ(times.size(), 14u);
    EXPECT_EQ(times.end()[-2], failureStart + 4 * 60);
    EXPECT_EQ(times.back(), failureStart + 5 * 60);
}

}  // namespace

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TapeDecoder.h"
#include "tests/support/PeriodSignal.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/Retune.h"

namespace {

std::vector<int32_t> BlockPeriods(const std::vector<uint8_t>& block) {
    return CPeriodSignal::BlockPeriods(block);
}

// Drives the recognizer with full periods: each period is an extremum half-way and one at its
// end. The stream starts with a peak, so the period ends are troughs, and trough-to-trough
// periods are exactly the given ones.
class RecognizerTest : public ::testing::Test {
protected:
    void Period(int32_t p) {
        decoder.Recognizer().OnExtremum(time + p / 2);
        time += p;
        decoder.Recognizer().OnExtremum(time);
    }
    void Periods(const std::vector<int32_t>& periods) {
        for (int32_t p : periods) {
            Period(p);
        }
    }
    // Enough extremums for classification to begin; 60 lies in no range and outside the
    // histogram, so the warm-up leaves no trace.
    void WarmUp() { Periods(std::vector<int32_t>(130, 60)); }
    // Flushes the four periods by which classification lags, ending a block.
    void End(int32_t p = 60) { Periods(std::vector<int32_t>(6, p)); }
    // The one read error reported, with what it read and when it failed.
    void ExpectReadError(int64_t at, int32_t bytesRead, int32_t bitsRead, int32_t firstByte) const {
        const auto errors = owner.Records<record::ReadError>();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].at, at);
        EXPECT_EQ(errors[0].period, 60);
        EXPECT_EQ(errors[0].bytesRead, bytesRead);
        EXPECT_EQ(errors[0].bitsRead, bitsRead);
        EXPECT_EQ(errors[0].firstByte, firstByte);
    }

    CRecordingOwner owner;
    CTapeDecoder decoder{&owner};
    int64_t time = 1000;
};

TEST_F(RecognizerTest, NothingIsClassifiedBeforeThe253rdExtremum) {
    Periods(std::vector<int32_t>(126, 27));  // 252 extremums of leader
    EXPECT_FALSE(decoder.Recognizer().InLeader());
    Period(27);
    EXPECT_TRUE(decoder.Recognizer().InLeader());
}

TEST_F(RecognizerTest, LoadsABlockWhoseBytesXorToZero) {
    WarmUp();
    const int64_t leaderStart = time;
    // Typed by the user: holds only until the block ends.
    Retune(decoder, [](DecoderSettings& s) { s.leaderMin = 20; });
    Periods(BlockPeriods({0x00, 0x03, 0x03}));
    const int64_t blockEnd = time;
    EXPECT_TRUE(decoder.IsReadingBlock());
    End();
    ASSERT_EQ(owner.records.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<record::SyncFound>(owner.records[0]));
    const auto loaded = owner.Records<record::BlockLoaded>();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].item,
              (TapeItem{RomBlock{{0x00, 0x03, 0x03}},
                        TapeSpan{leaderStart, blockEnd - leaderStart, 22000}, BlockVerdict{}}));
    EXPECT_EQ(decoder.Limits().leaderMin, 18);
    EXPECT_FALSE(decoder.IsReadingBlock());
    EXPECT_EQ(decoder.Recognizer().Bytes().Size(), 0);
}

TEST_F(RecognizerTest, ThirtyLeaderPeriodsAreTooFewForASync) {
    WarmUp();
    std::vector<int32_t> periods(30, 27);
    periods.push_back(9);
    Periods(periods);
    End();
    EXPECT_TRUE(owner.records.empty());
    EXPECT_FALSE(decoder.IsReadingBlock());
}

TEST_F(RecognizerTest, ALeaderFollowedByNoSyncIsABadSync) {
    WarmUp();
    Retune(decoder, [](DecoderSettings& s) { s.data0Max = 12; });
    std::vector<int32_t> periods(31, 27);
    periods.push_back(40);
    Periods(periods);
    End();
    const auto bad = owner.Records<record::BadSync>();
    ASSERT_EQ(owner.records.size(), 1u);
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(bad[0].period, 40);
    EXPECT_EQ(bad[0].leaderPeriods, 31);
    EXPECT_EQ(bad[0].scene.extremumTimes.size(), 14u);  // the ends of the last 13 periods
    EXPECT_EQ(decoder.Limits().data0Max, 14);
    EXPECT_FALSE(decoder.Recognizer().InLeader());
    EXPECT_EQ(decoder.Recognizer().LeaderPeriods(), 0);
}

TEST_F(RecognizerTest, AReadErrorReportsWhereItFailedAndDiscardsTheBytes) {
    WarmUp();
    const int64_t leaderStart = time;
    Periods(BlockPeriods({0x00, 0x03, 0x04}));
    // The failing period starts where the block's periods end.
    const int64_t failureStart = time;
    Retune(decoder, [](DecoderSettings& s) { s.leaderMax = 40; });
    End();
    ASSERT_EQ(owner.records.size(), 2u);
    ExpectReadError(failureStart, 3, 0, 0);
    const record::ReadError error = owner.Records<record::ReadError>().at(0);
    EXPECT_EQ(error.span, (TapeSpan{leaderStart, failureStart - leaderStart, 22000}));
    EXPECT_EQ(decoder.Limits().leaderMax, 36);
    EXPECT_EQ(decoder.Recognizer().Bytes().Size(), 0);
    EXPECT_FALSE(decoder.IsReadingBlock());
    // The snapshot shows the periods of the block.
    ASSERT_NE(error.scene.snapshot, nullptr);
    EXPECT_GT(error.scene.snapshot->HistogramCount(1, 10), 0);
}

TEST_F(RecognizerTest, AReadErrorBeforeTheFirstByteHasNoFirstByte) {
    WarmUp();
    std::vector<int32_t> periods = BlockPeriods({});
    periods.insert(periods.end(), {10, 19, 19, 10});
    Periods(periods);
    End();
    ExpectReadError(time - 6 * 60, 0, 4, -1);
}

TEST_F(RecognizerTest, TwoStrayBitsAfterTheChecksumAreTolerated) {
    WarmUp();
    std::vector<int32_t> twoStray = BlockPeriods({0x00, 0x03, 0x03});
    twoStray.insert(twoStray.end(), {19, 10});
    Periods(twoStray);
    End();
    EXPECT_EQ(owner.Lines("block: "), (std::vector<std::string>{"3"}));

    std::vector<int32_t> threeStray = BlockPeriods({0x00, 0x03, 0x03});
    threeStray.insert(threeStray.end(), {19, 10, 10});
    const int64_t failureStart = std::accumulate(threeStray.begin(), threeStray.end(), time);
    Periods(threeStray);
    End();
    EXPECT_EQ(owner.Lines("block: ").size(), 1u);
    ExpectReadError(failureStart, 3, 3, 0);
}

TEST_F(RecognizerTest, WithMaxFirstPeriodsAreTakenPeakToPeak) {
    Retune(decoder, [](DecoderSettings& s) { s.maxFirst = true; });
    // The stream starts with a peak: one extra extremum puts the peaks at the period ends.
    decoder.Recognizer().OnExtremum(time);
    WarmUp();
    const std::vector<uint8_t> bytes = {0xFF, 0x81, 0x7E};
    Periods(BlockPeriods(bytes));
    End();
    ASSERT_EQ(owner.blocks.size(), 1u);
    EXPECT_EQ(owner.blocks[0], bytes);
}

TEST_F(RecognizerTest, APeriodOutsideTheBitRangesAsksForOneCalibration) {
    Retune(decoder, [](DecoderSettings& s) { s.externVals = true; });
    WarmUp();
    // 1 bits of 29 samples, just above the 1-bit range.
    std::vector<int32_t> periods = BlockPeriods({0x00, 0x03, 0x03});
    for (int32_t& p : periods) {
        if (p == 19) {
            p = 29;
        }
    }
    Periods(periods);
    EXPECT_EQ(decoder.Limits().data1Max, 29);
    End();
    const auto calibrations = owner.Records<record::Calibration>();
    ASSERT_EQ(calibrations.size(), 1u);
    EXPECT_EQ(calibrations[0].data1Max, 29);
    EXPECT_EQ(owner.Lines("block: "), (std::vector<std::string>{"3"}));
    EXPECT_EQ(decoder.Limits().data1Max, 28);

    // Without the right to move the outer limits the same signal fails at its first 1 bit.
    CRecordingOwner strictOwner;
    CTapeDecoder strict(&strictOwner);
    int64_t t = 0;
    auto period = [&](int32_t p) {
        strict.Recognizer().OnExtremum(t + p / 2);
        t += p;
        strict.Recognizer().OnExtremum(t);
    };
    for (int i = 0; i < 130; ++i) {
        period(60);
    }
    for (int32_t p : periods) {
        period(p);
    }
    EXPECT_TRUE(strictOwner.Lines("block: ").empty());
    // The first 1 bit is the seventh bit of the second byte.
    const auto errors = strictOwner.Records<record::ReadError>();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].bytesRead, 1);
    EXPECT_EQ(errors[0].bitsRead, 6);
    EXPECT_FALSE(strict.Recognizer().CalibrationArmed());
}

TEST_F(RecognizerTest, TheIntervalLogWaitsFor29Extremums) {
    Periods(std::vector<int32_t>(14, 20));  // 28 extremums, from 1010 on
    decoder.LogIntervals();
    EXPECT_TRUE(owner.records.empty());
    decoder.Recognizer().OnExtremum(time + 10);
    decoder.LogIntervals();
    const auto logs = owner.Records<record::IntervalLog>();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].extremumTimes.size(), 14u);  // 13 periods
    EXPECT_EQ(logs[0].extremumTimes.front(), 1030);
}

TEST_F(RecognizerTest, MovingTheLastExtremumMovesItsPeriodInTheHistogram) {
    Periods({20, 20});
    EXPECT_EQ(decoder.Recognizer().HistogramCount(0, 20), 1);  // peak to peak
    EXPECT_EQ(decoder.Recognizer().HistogramCount(1, 20), 1);  // trough to trough
    decoder.Recognizer().MoveLastExtremum(time + 3);
    EXPECT_EQ(decoder.Recognizer().HistogramCount(1, 20), 0);
    EXPECT_EQ(decoder.Recognizer().HistogramCount(1, 23), 1);
    EXPECT_EQ(decoder.Recognizer().GetExtremumTimes().At(0), time + 3);
}

}  // namespace

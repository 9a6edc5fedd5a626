#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/core/PulseRange.h"
#include "decoder/core/TapeDecoder.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/Retune.h"

namespace {

TEST(PulseRangeTest, TellsWhereARangeLiesAgainstAnother) {
    const PulseRange other(10, 20);
    EXPECT_EQ(PulseRange(2, 9).Compare(other), PulseRange::kBelow);
    EXPECT_EQ(PulseRange(2, 10).Compare(other), PulseRange::kEndsInside);
    EXPECT_EQ(PulseRange(2, 20).Compare(other), PulseRange::kEndsInside);
    EXPECT_EQ(PulseRange(2, 21).Compare(other), PulseRange::kCovers);
    EXPECT_EQ(PulseRange(10, 20).Compare(other), PulseRange::kInside);
    EXPECT_EQ(PulseRange(20, 21).Compare(other), PulseRange::kStartsInside);
    EXPECT_EQ(PulseRange(21, 22).Compare(other), PulseRange::kAbove);
}

class CalibrationTest : public ::testing::Test {
protected:
    // `count` periods in each bin from `from` to `to`, in the trough table.
    void Cluster(int32_t from, int32_t to, int32_t count = 5, int32_t parity = 1) {
        for (int32_t k = from; k <= to; ++k) {
            decoder.Recognizer().SetHistogramCount(parity, k, count);
        }
    }
    std::vector<int32_t> DataLimits() const {
        const PulseLimits& s = decoder.Limits();
        return {s.data0Min, s.data0Max, s.data1Min, s.data1Max};
    }

    CRecordingOwner owner;
    CTapeDecoder decoder{&owner};
};

TEST_F(CalibrationTest, AnEmptyHistogramIsSilence) {
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Nothing);
}

TEST_F(CalibrationTest, OneClusterAtLeaderLengthIsALeaderTone) {
    Cluster(24, 30);
    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Leader);
    // The call ended before the adjustments: it leaves the arming for the next one.
    EXPECT_TRUE(decoder.Recognizer().CalibrationArmed());
}

TEST_F(CalibrationTest, ClustersInsideTheBitRangesChangeNothing) {
    Cluster(9, 12);
    Cluster(20, 24);
    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Data);
    EXPECT_EQ(DataLimits(), (std::vector<int32_t>{5, 14, 16, 28}));
    EXPECT_TRUE(owner.records.empty());
    EXPECT_FALSE(decoder.Recognizer().CalibrationArmed());
}

TEST_F(CalibrationTest, AnArmedCallMovesTheMiddleBoundaryByOne) {
    Cluster(9, 15);
    Cluster(20, 24);
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Unchanged);  // unarmed: not allowed
    EXPECT_EQ(DataLimits(), (std::vector<int32_t>{5, 14, 16, 28}));

    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Data);
    EXPECT_EQ(DataLimits(), (std::vector<int32_t>{5, 15, 17, 28}));
    ASSERT_EQ(owner.records.size(), 1u);
    EXPECT_EQ(std::get<record::Calibration>(owner.records[0]),
              (record::Calibration{5, 15, 17, 28}));
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Data);  // the limits now fit: nothing more to do
}

TEST_F(CalibrationTest, AClusterBetweenTheRangesWithEqualGapsCannotBePlaced) {
    Cluster(15, 15);
    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Unchanged);
    EXPECT_EQ(DataLimits(), (std::vector<int32_t>{5, 14, 16, 28}));
}

TEST_F(CalibrationTest, AClusterBetweenTheRangesLeansToTheNearerNeighbour) {
    Cluster(10, 10);
    Cluster(13, 13);
    Cluster(15, 15);
    Cluster(22, 22);
    Retune(decoder, [](DecoderSettings& s) {
        s.data0Max = 12;
        s.data1Min = 14;
    });
    // 13 lies between the ranges [5, 12] and [14, 28]; its gap below (13 - 10 = 3) is larger
    // than its gap above (15 - 13 = 2), so the boundary falls by one.
    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Data);
    EXPECT_EQ(DataLimits(), (std::vector<int32_t>{5, 11, 13, 28}));
}

TEST_F(CalibrationTest, OuterLimitsMoveOnlyWithExternVals) {
    Cluster(3, 4);
    Cluster(20, 24);
    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Unchanged);
    Retune(decoder, [](DecoderSettings& s) { s.externVals = true; });
    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Data);
    EXPECT_EQ(DataLimits(), (std::vector<int32_t>{4, 14, 16, 28}));
}

TEST_F(CalibrationTest, MostlyVeryShortPeriodsAreNoise) {
    Cluster(1, 2, 7);  // 14 of 125 periods, more than a tenth
    Cluster(9, 12);
    Cluster(20, 24);
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Nothing);
    Cluster(1, 2, 6);  // 12 of 125: not yet noise
    EXPECT_NE(decoder.Calibrate(), SignalReading::Nothing);
}

TEST_F(CalibrationTest, AClusterStillOpenAtTheLastBinIsNotCounted) {
    Cluster(45, 49);
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Nothing);
}

TEST_F(CalibrationTest, MaxFirstReadsThePeakTable) {
    Cluster(24, 30, 5, 0);
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Nothing);
    Retune(decoder, [](DecoderSettings& s) { s.maxFirst = true; });
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Leader);
}

TEST_F(CalibrationTest, AdjustmentsMadeBeforeARefusalStay) {
    Cluster(13, 15);  // starts inside R0, ends between: middle boundary up
    Cluster(29, 30);  // above R1: needs externVals, refused
    decoder.Recognizer().ArmCalibration();
    EXPECT_EQ(decoder.Calibrate(), SignalReading::Unchanged);
    EXPECT_EQ(DataLimits(), (std::vector<int32_t>{5, 15, 17, 28}));
    EXPECT_TRUE(owner.records.empty());  // the log line belongs to a call that finishes
}

}  // namespace

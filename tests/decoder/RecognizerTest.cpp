#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    std::vector<std::string> NonDebugEvents() const {
        std::vector<std::string> events;
        for (const std::string& event : owner.events) {
            if (event.rfind("debug: ", 0) != 0) {
                events.push_back(event);
            }
        }
        return events;
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
    // Typed by the user: holds only until the block ends.
    Retune(decoder, [](DecoderSettings& s) { s.leaderMin = 20; });
    Periods(BlockPeriods({0x00, 0x03, 0x03}));
    EXPECT_TRUE(decoder.IsReadingBlock());
    End();
    EXPECT_EQ(owner.events, (std::vector<std::string>{"status: Loading data ...", "block: 3",
                                                      "status: Load sucessful for 3 bytes block",
                                                      "debug: file complete, 3 bytes\n"}));
    ASSERT_EQ(owner.blocks.size(), 1u);
    EXPECT_EQ(owner.blocks[0], (std::vector<uint8_t>{0x00, 0x03, 0x03}));
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
    EXPECT_TRUE(owner.events.empty());
    EXPECT_FALSE(decoder.IsReadingBlock());
}

TEST_F(RecognizerTest, ALeaderFollowedByNoSyncIsABadSync) {
    WarmUp();
    Retune(decoder, [](DecoderSettings& s) { s.data0Max = 12; });
    std::vector<int32_t> periods(31, 27);
    periods.push_back(40);
    Periods(periods);
    End();
    EXPECT_EQ(NonDebugEvents(),
              (std::vector<std::string>{
                  "snapshot", "refresh",
                  "status: Read error : bad sync bit interval 40 after 31 leader iterations"}));
    EXPECT_EQ(owner.Lines("debug: ").size(), 13u);  // the interval log
    EXPECT_EQ(decoder.Limits().data0Max, 14);
    EXPECT_FALSE(decoder.Recognizer().InLeader());
    EXPECT_EQ(decoder.Recognizer().LeaderPeriods(), 0);
}

TEST_F(RecognizerTest, AReadErrorReportsInOrderAndDiscardsTheBytes) {
    WarmUp();
    const std::vector<int32_t> block = BlockPeriods({0x00, 0x03, 0x04});
    Periods(block);
    // The failing period starts where the block's periods end.
    const int64_t failureStart = time;
    Retune(decoder, [](DecoderSettings& s) { s.leaderMax = 40; });
    End();
    const std::vector<std::string> events = NonDebugEvents();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0], "status: Loading data ...");
    EXPECT_EQ(events[1], "snapshot");
    EXPECT_EQ(events[2], "refresh");
    EXPECT_EQ(events[3], "status: Read error at time " + std::to_string(failureStart) +
                             " : bad data bit interval 60 at byte 3, bit 0");
    EXPECT_EQ(events[4], "entry: 3 0");
    EXPECT_TRUE(owner.blocks.empty());
    EXPECT_EQ(decoder.Limits().leaderMax, 36);
    EXPECT_EQ(decoder.Recognizer().Bytes().Size(), 0);
    EXPECT_FALSE(decoder.IsReadingBlock());
    // The interval log comes between the refresh and the status text.
    ASSERT_GT(owner.events.size(), 4u);
    EXPECT_EQ(owner.events[3].rfind("debug: interval at ", 0), 0u);
    // The snapshot shows the periods of the block.
    ASSERT_EQ(owner.snapshots.size(), 1u);
    EXPECT_GT(owner.snapshots[0].HistogramCount(1, 10), 0);
}

TEST_F(RecognizerTest, AReadErrorBeforeTheFirstByteHasNoFirstByte) {
    WarmUp();
    std::vector<int32_t> periods = BlockPeriods({});
    periods.insert(periods.end(), {10, 19, 19, 10});
    Periods(periods);
    End();
    EXPECT_EQ(owner.Lines("entry: "), (std::vector<std::string>{"0 -1"}));
    EXPECT_EQ(owner.Lines("status: ").back(), "Read error at time " +
                                                  std::to_string(time - 6 * 60) +
                                                  " : bad data bit interval 60 at byte 0, bit 4");
}

TEST_F(RecognizerTest, NoErrorEntryWhenTheOwnerListsNoErrors) {
    owner.listErrors = false;
    WarmUp();
    Periods(BlockPeriods({0x00, 0x03, 0x04}));
    End();
    EXPECT_TRUE(owner.Lines("entry: ").empty());
    EXPECT_EQ(owner.Lines("snapshot").size(), 1u);
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
    Periods(threeStray);
    End();
    EXPECT_EQ(owner.Lines("block: ").size(), 1u);
    EXPECT_EQ(owner.Lines("entry: "), (std::vector<std::string>{"3 0"}));
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
    EXPECT_EQ(owner.Lines("log: "),
              (std::vector<std::string>{"Datacal occured on data, new limits are 5-13 15-29"}));
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
    EXPECT_EQ(strictOwner.Lines("entry: "), (std::vector<std::string>{"1 0"}));
    EXPECT_FALSE(strict.Recognizer().CalibrationArmed());
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

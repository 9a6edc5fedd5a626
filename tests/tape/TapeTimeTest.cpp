#include "tape/TapeTime.h"

#include <gtest/gtest.h>

#include <vector>

#include "tape/BlockListModel.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"
#include "tests/support/TimedTape.h"

// The playing time of each kind of block, checked against the test synthesiser, which renders
// the same blocks pulse by pulse: a leader, a sync, a bit or a pause missed or miscounted here
// shows as a tape of another length.
TEST(TapeTimeTest, EveryKindPlaysAsLongAsItsRendering) {
    CTestTape rom;
    rom.AddCodeFile("timed", 300, 4);
    TurboBlock partByte = CTimedTape::Turbo(0xFF, 90, 5, 1700, 600);
    partByte.usedBitsInLastByte = 3;
    const std::vector<BlockBody> tape = {CTimedTape::Rom(rom.Blocks()[0]),
                                         CTimedTape::Rom(rom.Blocks()[1]),
                                         partByte,
                                         CTimedTape::Tone(2000, 900),
                                         CTimedTape::Pulses({700, 1500, 300}),
                                         CTimedTape::Data(0x12, 60, 6, 500),
                                         CTimedTape::Pause(1750)};
    TapeWear wear;
    wear.leadSilence = 0.0;
    wear.trailSilence = 0.0;
    constexpr double kRate = 44100.0;
    const double rendered =
        static_cast<double>(CTapeSynth::RenderTimed(tape, kRate, wear).size()) / kRate;

    CBlockListModel rows;
    for (const BlockBody& block : tape) {
        rows.AddItem({block, {}, {}});
    }
    rows.AddErrorEntry({});  // an error row takes no time
    EXPECT_NEAR(TapeSeconds(rows, rows.GetItemCount()), rendered, 0.0001);
    // Where a row starts is the time of the rows before it.
    EXPECT_NEAR(TapeSeconds(rows, 3), TapeSeconds(rows, 2) + BlockSeconds(tape[2]), 1e-9);
    EXPECT_EQ(TapeClock(5.24), "0:05.2");
    EXPECT_EQ(TapeClock(760.0), "12:40.0");
}

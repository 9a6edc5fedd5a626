#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/TapeDecoder.h"
#include "tests/decoder/RecordingOwner.h"
#include "tests/decoder/TapeSignal.h"

// Whole tapes, rendered the way a sound card delivers them, decoded in one-second buffers with
// the indicator's calibration step after each, as the program runs.
namespace {

std::vector<std::vector<uint8_t>> Blocks() {
    return {tape_signal::MakeHeader(0, "program", 300),
            tape_signal::MakeBlock(0xFF, tape_signal::RandomBytes(300, 1)),
            tape_signal::MakeHeader(3, "code", 1000),
            tape_signal::MakeBlock(0xFF, tape_signal::RandomBytes(1000, 2))};
}

std::vector<std::vector<uint8_t>> Decode(const tape_signal::Shape& shape, bool maxFirst) {
    const std::vector<uint8_t> signal = tape_signal::RenderTape(Blocks(), shape);
    RecordingOwner owner;
    CTapeDecoder decoder(&owner);
    decoder.settings.maxFirst = maxFirst;
    for (size_t at = 0; at < signal.size(); at += 22000) {
        decoder.ProcessBuffer(signal.data() + at,
                              static_cast<int32_t>(std::min<size_t>(22000, signal.size() - at)));
        decoder.Calibrate();
    }
    return owner.blocks;
}

TEST(TapeDecodingTest, ACleanTapeLoadsEveryBlock) {
    EXPECT_EQ(Decode({}, false), Blocks());
}

TEST(TapeDecodingTest, NoiseAndSpeedErrorsWithinReasonStillLoad) {
    tape_signal::Shape noisy;
    noisy.noise = 1.0;
    noisy.amplitude = 80.0;
    EXPECT_EQ(Decode(noisy, false), Blocks()) << "noise";
    for (double speed : {0.95, 1.05}) {
        tape_signal::Shape shifted;
        shifted.speed = speed;
        shifted.noise = 1.0;
        EXPECT_EQ(Decode(shifted, false), Blocks()) << "speed " << speed;
    }
}

TEST(TapeDecodingTest, AnInvertedRecordingNeedsMaxFirst) {
    tape_signal::Shape inverted;
    inverted.invert = true;
    EXPECT_EQ(Decode(inverted, true), Blocks());
    EXPECT_NE(Decode(inverted, false), Blocks());
}

}  // namespace

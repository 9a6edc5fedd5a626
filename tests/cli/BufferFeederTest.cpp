#include "recording/BufferFeeder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/core/PlainDecoder.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/TapeSynth.h"

namespace {
struct Outcome {
    CRecordingOwner owner;
    int32_t closingSamples = 0;
    int64_t decoded = 0;
};

// Decodes the samples handed over in pieces of the given size; finish plays the end of signal.
Outcome Decode(const std::vector<uint8_t>& samples, size_t piece, bool finish) {
    Outcome outcome;
    CPlainDecoder decoder(&outcome.owner);
    CBufferFeeder feeder(decoder);
    for (size_t at = 0; at < samples.size(); at += piece) {
        const size_t count = std::min(piece, samples.size() - at);
        feeder.Append(samples.data() + at, static_cast<int32_t>(count));
    }
    if (finish) {
        feeder.Finish();
    }
    outcome.closingSamples = feeder.ClosingSamples();
    outcome.decoded = feeder.SamplesDecoded();
    return outcome;
}

CTestTape SmallTape() {
    CTestTape tape;
    tape.AddCodeFile("feeder", 300, 11);
    return tape;
}

std::vector<uint8_t> Signal(const CTestTape& tape, double trailSilence) {
    TapeWear wear;
    wear.trailSilence = trailSilence;
    wear.lowPassHz = 6000.0;
    return CTapeSynth::RenderForDecoder(tape.Blocks(), wear);
}
}  // namespace

// Whether the decoder is still inside a block after the whole signal, with nothing played after.
bool StillReadingAtTheEnd(const std::vector<uint8_t>& samples) {
    CRecordingOwner owner;
    CTapeDecoder decoder(&owner);
    decoder.ProcessBuffer(samples.data(), static_cast<int32_t>(samples.size()));
    return decoder.IsReadingBlock();
}

// A recording cut right after the last bit leaves the recognizer in its last block: only a
// period outside the bit ranges ends a block, and the end of the input brings none. The closing
// wave must end it, and stop soon after.
TEST(BufferFeederTest, TheClosingWaveEndsTheLastBlock) {
    const CTestTape tape = SmallTape();
    for (const double trail : {0.0, 0.0005}) {
        const auto samples = Signal(tape, trail);
        ASSERT_TRUE(StillReadingAtTheEnd(samples)) << "trail " << trail;

        const Outcome closed = Decode(samples, 5000, true);
        EXPECT_EQ(closed.owner.blocks, tape.Blocks());
        EXPECT_GT(closed.closingSamples, 0);
        EXPECT_LE(closed.closingSamples, 1000) << "a few periods of the wave are enough";
        EXPECT_EQ(closed.decoded, static_cast<int64_t>(samples.size()));
    }
}

TEST(BufferFeederTest, NoClosingWaveWithoutAnOpenBlock) {
    const Outcome silence = Decode(std::vector<uint8_t>(50000, 128), 22000, true);
    EXPECT_EQ(silence.closingSamples, 0);
    EXPECT_TRUE(silence.owner.events.empty());
}

// A block broken off in the middle is reported as a read error once the wave ends it, instead of
// vanishing without a word.
TEST(BufferFeederTest, ABlockBrokenOffBecomesAReadError) {
    const auto samples = Signal(SmallTape(), 0.0);
    const std::vector<uint8_t> cut(samples.begin(), samples.end() - 3000);
    const Outcome outcome = Decode(cut, 22000, true);
    EXPECT_EQ(outcome.owner.blocks.size(), 1u);
    const std::vector<std::string> entries = outcome.owner.Lines("entry: ");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].ends_with(" 255")) << entries[0];  // the data block's flag
    EXPECT_EQ(outcome.owner.Lines("status: ").back().rfind("Read error at time", 0), 0u);
}

// Pieces of any size are gathered into the same one-second buffers, so the results, messages
// included, do not depend on how the input was read.
TEST(BufferFeederTest, PieceSizeDoesNotChangeTheResult) {
    CTestTape tape = SmallTape();
    tape.AddBadChecksumBlock(0xFF, CTestTape::RandomBytes(40, 3));
    tape.AddCodeFile("second", 120, 12);
    const auto samples = Signal(tape, 0.3);
    const Outcome whole = Decode(samples, samples.size(), true);
    const Outcome small = Decode(samples, 777, true);
    const Outcome buffers = Decode(samples, 22000, true);
    EXPECT_EQ(whole.owner.events, small.owner.events);
    EXPECT_EQ(whole.owner.events, buffers.owner.events);
    EXPECT_EQ(whole.owner.blocks.size(), 4u);
}

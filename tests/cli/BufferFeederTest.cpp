#include "cli/BufferFeeder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/TerminalOwner.h"
#include "decoder/PlainDecoder.h"
#include "tests/support/TapeSynth.h"

namespace {
std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    return text;
}

struct Outcome {
    std::vector<CTestTape::Block> blocks;
    std::string entries;
    std::string messages;
    int32_t closingSamples = 0;
    int64_t decoded = 0;
};

// Decodes the samples handed over in pieces of the given size; finish plays the end of signal.
Outcome Decode(const std::vector<uint8_t>& samples, size_t piece, bool finish) {
    std::FILE* entries = std::tmpfile();
    std::FILE* messages = std::tmpfile();
    Outcome outcome;
    {
        CTerminalOwner owner(entries, messages);
        CPlainDecoder decoder(&owner);
        CBufferFeeder feeder(decoder);
        for (size_t at = 0; at < samples.size(); at += piece) {
            const size_t count = std::min(piece, samples.size() - at);
            feeder.Append(samples.data() + at, static_cast<int32_t>(count));
        }
        if (finish) {
            feeder.Finish();
        }
        for (const TapeBlock& block : owner.Blocks()) {
            outcome.blocks.emplace_back(block.bytes.get(), block.bytes.get() + block.length);
        }
        outcome.closingSamples = feeder.ClosingSamples();
        outcome.decoded = feeder.SamplesDecoded();
    }
    outcome.entries = Contents(entries);
    outcome.messages = Contents(messages);
    std::fclose(entries);
    std::fclose(messages);
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
    return CTapeSynth::ToUnsigned8(CTapeSynth::Render(tape.Blocks(), 22000.0, wear));
}
}  // namespace

// Whether the decoder is still inside a block after the whole signal, with nothing played after.
bool StillReadingAtTheEnd(const std::vector<uint8_t>& samples) {
    std::FILE* sink = std::tmpfile();
    CTerminalOwner owner(sink, sink);
    CTapeDecoder decoder(&owner);
    decoder.ProcessBuffer(samples.data(), static_cast<int32_t>(samples.size()));
    std::fclose(sink);
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
        ASSERT_EQ(closed.blocks.size(), 2u) << closed.messages;
        EXPECT_EQ(closed.blocks, tape.Blocks());
        EXPECT_GT(closed.closingSamples, 0);
        EXPECT_LE(closed.closingSamples, 1000) << "a few periods of the wave are enough";
        EXPECT_EQ(closed.decoded, static_cast<int64_t>(samples.size()));
    }
}

TEST(BufferFeederTest, NoClosingWaveWithoutAnOpenBlock) {
    const Outcome silence = Decode(std::vector<uint8_t>(50000, 128), 22000, true);
    EXPECT_EQ(silence.closingSamples, 0);
    EXPECT_TRUE(silence.entries.empty());
}

// A block broken off in the middle is reported as a read error once the wave ends it, instead of
// vanishing without a word.
TEST(BufferFeederTest, ABlockBrokenOffBecomesAReadError) {
    const auto samples = Signal(SmallTape(), 0.0);
    const std::vector<uint8_t> cut(samples.begin(), samples.end() - 3000);
    const Outcome outcome = Decode(cut, 22000, true);
    EXPECT_EQ(outcome.blocks.size(), 1u);
    EXPECT_NE(outcome.entries.find("error\tFF\t"), std::string::npos) << outcome.entries;
    EXPECT_NE(outcome.messages.find("Read error at time"), std::string::npos) << outcome.messages;
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
    EXPECT_EQ(whole.entries, small.entries);
    EXPECT_EQ(whole.messages, small.messages);
    EXPECT_EQ(whole.entries, buffers.entries);
    EXPECT_EQ(whole.messages, buffers.messages);
    EXPECT_EQ(whole.blocks.size(), 4u) << whole.messages;
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "decoder/core/PlainDecoder.h"
#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TapeDecoder.h"
#include "decoder/robust/RobustDecoder.h"
#include "decoder/robust/SignalConditioner.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/Retune.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

// The robust mode on whole tapes, decoded in one-second buffers with the indicator's calibration
// step after each and a closing wave at the end, as the program and the command line run it.
namespace {

using Blocks = std::vector<CTestTape::Block>;
constexpr int32_t kBuffer = 22000;

Blocks TapeBlocks() {
    CTestTape tape;
    tape.AddCodeFile("program", 300, 1);
    tape.AddCodeFile("code", 1000, 2);
    return tape.Blocks();
}

// Feeds the signal; returns, for each buffer, how many blocks the owner had after it.
std::vector<size_t> Feed(CSampleDecoder& decoder, const CRecordingOwner& owner,
                         const std::vector<uint8_t>& signal) {
    std::vector<size_t> blocksAfter;
    for (size_t at = 0; at < signal.size(); at += kBuffer) {
        const auto count = static_cast<int32_t>(std::min<size_t>(kBuffer, signal.size() - at));
        decoder.ProcessBuffer(signal.data() + at, count);
        decoder.Calibrate();
        blocksAfter.push_back(owner.blocks.size());
    }
    // A slow triangle after the end, as the command line plays one, ends what is still open.
    std::vector<uint8_t> closing(64);
    for (int32_t round = 0; round < 50 && decoder.IsReadingBlock(); ++round) {
        for (size_t i = 0; i < closing.size(); ++i) {
            closing[i] = static_cast<uint8_t>(i < 32 ? 112 + i : 176 - i);
        }
        decoder.ProcessBuffer(closing.data(), static_cast<int32_t>(closing.size()));
    }
    return blocksAfter;
}

struct Decoding {
    CRecordingOwner owner;
    std::vector<size_t> blocksAfter;
};

Decoding DecodePlain(const std::vector<uint8_t>& signal, bool maxFirst = false) {
    Decoding run;
    DecoderSettings settings;
    settings.maxFirst = maxFirst;
    CPlainDecoder decoder(&run.owner, settings);
    run.blocksAfter = Feed(decoder, run.owner, signal);
    return run;
}

Decoding DecodeRobust(const std::vector<uint8_t>& signal) {
    Decoding run;
    CRobustDecoder decoder(&run.owner);
    run.blocksAfter = Feed(decoder, run.owner, signal);
    return run;
}

std::vector<uint8_t> Tape(const TapeWear& wear) {
    return CTapeSynth::RenderForDecoder(TapeBlocks(), wear);
}

TapeWear Hissy(double noiseRms) {
    TapeWear wear;
    wear.noiseRms = noiseRms;
    wear.seed = 4;
    return wear;
}

// A cassette that has seen better days: faint, hissy, a little fast and wobbly, recorded the
// other way up.
TapeWear WornTape() {
    TapeWear wear;
    wear.amplitude = 0.4;
    wear.lowPassHz = 3000.0;
    wear.highPassHz = 100.0;
    wear.noiseRms = 0.05;
    wear.speed = 1.02;
    wear.wowDepth = 0.005;
    wear.inverted = true;
    wear.seed = 7;
    return wear;
}

TEST(RobustDecodingTest, BothModesLoadSmallNoiseAndSpeedErrors) {
    for (const double speed : {0.95, 1.0, 1.05}) {
        TapeWear wear = Hissy(0.01);
        wear.lowPassHz = 3000.0;
        wear.speed = speed;
        const std::vector<uint8_t> signal = Tape(wear);
        EXPECT_EQ(DecodePlain(signal).owner.blocks, TapeBlocks()) << "speed " << speed;
        EXPECT_EQ(DecodeRobust(signal).owner.blocks, TapeBlocks()) << "speed " << speed;
    }
}

TEST(RobustDecodingTest, LoadsWhatThePlainDecoderLosesToNoiseInversionAndWear) {
    TapeWear inverted;
    inverted.inverted = true;
    for (const TapeWear& wear : {Hissy(0.1), inverted, WornTape()}) {
        SCOPED_TRACE(testing::Message()
                     << "noise " << wear.noiseRms << " inverted " << wear.inverted);
        const std::vector<uint8_t> signal = Tape(wear);
        const Decoding plain = DecodePlain(signal);
        const Decoding robust = DecodeRobust(signal);
        EXPECT_LT(plain.owner.blocks.size(), TapeBlocks().size());
        EXPECT_EQ(robust.owner.blocks, TapeBlocks());
        EXPECT_TRUE(robust.owner.Lines("entry: ").empty());
    }
}

// A dull recording: a steep low-pass at 2 kHz rounds the 0-bit pulses so that the conditioner's
// integrator shrinks them below the robust decoders' filter. The plain decoder still reads most of
// it, and the robust mode must not load less than the mode it is meant to improve on.
TEST(RobustDecodingTest, LoadsEveryBlockThatThePlainModeLoadsFromADullTape) {
    // Without hiss and with a DC offset the lead-in silence is one repeated value away from the
    // middle, which the clock of the decoder on the raw samples skips and that of the decoders on
    // the conditioned signal does not: they must still date a block alike.
    for (const double noiseRms : {0.03, 0.0}) {
        SCOPED_TRACE(testing::Message() << "noise " << noiseRms);
        TapeWear dull;
        dull.lowPassHz = 2000.0;
        dull.noiseRms = noiseRms;
        dull.seed = 5;
        dull.leadSilence = 2.0;
        std::vector<uint8_t> signal = Tape(dull);
        if (noiseRms == 0.0) {
            for (uint8_t& sample : signal) {
                sample = static_cast<uint8_t>(std::min(sample + 40, 255));
            }
        }
        const Decoding plain = DecodePlain(signal);
        const Decoding robust = DecodeRobust(signal);
        ASSERT_FALSE(plain.owner.blocks.empty());
        const Blocks onTape = TapeBlocks();
        for (const auto& block : plain.owner.blocks) {
            EXPECT_NE(std::find(robust.owner.blocks.begin(), robust.owner.blocks.end(), block),
                      robust.owner.blocks.end())
                << "a block of " << block.size() << " bytes";
        }
        // Each block once, none that is not on the tape, and no error row where a block loaded.
        for (const auto& block : robust.owner.blocks) {
            EXPECT_EQ(std::count(robust.owner.blocks.begin(), robust.owner.blocks.end(), block),
                      std::count(onTape.begin(), onTape.end(), block));
        }
        EXPECT_LE(robust.owner.Lines("entry: ").size() + robust.owner.blocks.size(), onTape.size());
    }
}

// The sync stretched into the pilot's range: each block's sync is found on its first 0-bit, a
// header's after its first bit, a data block's after its flag (read as more pilot) and the 0-bits
// after it. Or a block that ends in stray bits, or both. Either way the block comes up short or
// long, and the plain mode loses it.
TEST(RobustDecodingTest, ABlockFoundLateOrEndingInStrayBitsIsMendedToItsExactBytes) {
    TapeWear lateSync = WornTape();
    lateSync.syncScale = 2.3;
    TapeWear stray = WornTape();
    stray.strayBits = 3;
    for (const TapeWear& wear : {lateSync, stray}) {
        SCOPED_TRACE(testing::Message()
                     << "sync x" << wear.syncScale << ", " << wear.strayBits << " stray bits");
        const std::vector<uint8_t> signal = Tape(wear);
        EXPECT_TRUE(DecodePlain(signal, true).owner.blocks.empty());
        const Decoding robust = DecodeRobust(signal);
        EXPECT_EQ(robust.owner.blocks, TapeBlocks());
        for (const record::BlockLoaded& loaded : robust.owner.Records<record::BlockLoaded>()) {
            EXPECT_EQ(loaded.item.verdict.outcome, BlockVerdict::Outcome::Mended);
            EXPECT_EQ(loaded.item.verdict.strayBits, wear.strayBits);
            EXPECT_EQ(loaded.item.verdict.restoredBits > 0, wear.strayBits == 0);
        }
        EXPECT_TRUE(robust.owner.Lines("entry: ").empty());
    }
    // Both on one block: a split into restored and dropped bits that is the only one to hold.
    CTestTape tape;
    tape.AddCodeFile("code", 1000, 2);
    TapeWear both = lateSync;
    both.strayBits = 3;
    const Decoding robust = DecodeRobust(CTapeSynth::RenderForDecoder(tape.Blocks(), both));
    EXPECT_EQ(robust.owner.blocks, tape.Blocks());
    std::vector<BlockVerdict> verdicts;
    for (const record::BlockLoaded& loaded : robust.owner.Records<record::BlockLoaded>()) {
        verdicts.push_back(loaded.item.verdict);
    }
    constexpr auto kMended = BlockVerdict::Outcome::Mended;
    EXPECT_EQ(verdicts, (std::vector<BlockVerdict>{{kMended, 1, 3}, {kMended, 9, 3}}));

    // A data block whose flag and the 1-bit after it were taken for leader: read with that 1
    // left out and one stray 1-bit kept, it passes the checksum as well whenever its second
    // byte starts with 10. Two splits hold and which is right cannot be known: no mend.
    CTestTape ambiguous;
    const std::vector<uint8_t> header = {3,   'c', 'o', 'd', 'e', ' ',  ' ', ' ', ' ',
                                         ' ', ' ', 40,  0,   0,   0x80, 0,   0x80};
    ambiguous.AddBlock(0x00, header);
    std::vector<uint8_t> payload = CTestTape::RandomBytes(40, 3);
    payload[0] = 0xA5;
    ambiguous.AddBlock(0xFF, payload);
    const Decoding twoFit = DecodeRobust(CTapeSynth::RenderForDecoder(ambiguous.Blocks(), both));
    EXPECT_EQ(twoFit.owner.blocks, Blocks{ambiguous.Blocks()[0]});
    EXPECT_EQ(twoFit.owner.Lines("entry: ").size(), 1u);
}

// Dropouts in the pilot set off false syncs, after which the pilot reads as 1-bits: runs of 0xFF
// that pass the checksum (here 44 bytes long). They must not be listed, while real blocks of one
// byte value load.
TEST(RobustDecodingTest, RunsOfOneByteValueLoadOnlyWhenTheyAreOnTheTape) {
    CTestTape tape;
    tape.AddBlock(0xFF, std::vector<uint8_t>(64, 0xFF));
    tape.AddBlock(0x00, {});
    tape.AddCodeFile("program", 300, 1);
    const Blocks onTape = tape.Blocks();
    TapeWear wear = WornTape();
    EXPECT_EQ(DecodeRobust(CTapeSynth::RenderForDecoder(onTape, wear)).owner.blocks, onTape);
    // Every 0.57 s a dropout also breaks the 66-byte block off at a byte boundary: its first 54
    // bytes of 0xFF, with ROM timing, and then more bits.
    for (const double every : {0.43, 0.57}) {
        wear.dropoutEvery = every;
        for (const double length : {0.002, 0.004}) {
            wear.dropoutLength = length;
            const Decoding robust = DecodeRobust(CTapeSynth::RenderForDecoder(onTape, wear));
            EXPECT_FALSE(robust.owner.blocks.empty());
            for (const auto& block : robust.owner.blocks) {
                EXPECT_NE(std::find(onTape.begin(), onTape.end(), block), onTape.end())
                    << "dropouts of " << length << " s every " << every << " s: a block of "
                    << block.size() << " bytes";
            }
        }
    }
}

TEST(RobustDecodingTest, HissBetweenTapesGivesNothingThoughTheGainLiftsIt) {
    std::mt19937 random(11);
    for (const double sigma : {0.7, 2.0, 6.0}) {
        std::normal_distribution<double> hiss(128.0, sigma);
        std::vector<uint8_t> signal(60 * 22000);
        for (uint8_t& sample : signal) {
            sample = static_cast<uint8_t>(std::clamp(std::lround(hiss(random)), 0L, 255L));
        }
        const Decoding robust = DecodeRobust(signal);
        EXPECT_TRUE(robust.owner.blocks.empty()) << sigma;
        EXPECT_TRUE(robust.owner.Lines("entry: ").empty()) << sigma;
    }
}

TEST(RobustDecodingTest, EitherPolarityLoads) {
    TapeWear inverted;
    inverted.inverted = true;
    EXPECT_EQ(DecodeRobust(Tape({})).owner.blocks, TapeBlocks());
    EXPECT_EQ(DecodeRobust(Tape(inverted)).owner.blocks, TapeBlocks());
    // The plain decoder needs to be told.
    EXPECT_EQ(DecodePlain(Tape(inverted), true).owner.blocks, TapeBlocks());
}

TEST(RobustDecodingTest, ACleanTapeReadsAsInThePlainModeAtMostOneBufferLater) {
    const std::vector<uint8_t> signal = Tape({});
    const Decoding plain = DecodePlain(signal);
    const Decoding robust = DecodeRobust(signal);
    ASSERT_EQ(plain.owner.blocks, TapeBlocks());
    EXPECT_EQ(robust.owner.blocks, plain.owner.blocks);
    // The same words: one "Loading data ..." and one success text per block, nothing else.
    EXPECT_EQ(robust.owner.Lines("status: "), plain.owner.Lines("status: "));
    EXPECT_TRUE(robust.owner.Lines("entry: ").empty());
    EXPECT_TRUE(robust.owner.snapshots.empty());
    ASSERT_EQ(robust.blocksAfter.size(), plain.blocksAfter.size());
    for (size_t i = 1; i < plain.blocksAfter.size(); ++i) {
        EXPECT_GE(robust.blocksAfter[i], plain.blocksAfter[i - 1]) << "buffer " << i;
        EXPECT_LE(robust.blocksAfter[i], plain.blocksAfter[i]) << "buffer " << i;
    }
    // Each block lies where it was recorded, in samples fed: after the lead silence (which the
    // tracker does not count as time) and a second's pause after the block before it.
    for (const Decoding* run : {&plain, &robust}) {
        int64_t quietUntil = kBuffer / 5;
        for (const record::BlockLoaded& loaded : run->owner.Records<record::BlockLoaded>()) {
            const TapeSpan& span = loaded.item.span;
            EXPECT_GE(span.firstSample, quietUntil);
            quietUntil = span.firstSample + span.sampleCount + kBuffer * 19 / 20;
        }
        EXPECT_LE(quietUntil, static_cast<int64_t>(signal.size()) + kBuffer);
    }
}

TEST(RobustDecodingTest, TheSignalWindowSeesTheConditionedSignal) {
    const std::vector<uint8_t> signal = Tape(WornTape());
    const std::vector<uint8_t> piece(signal.begin(), signal.begin() + 3 * kBuffer);
    CRecordingOwner owner;
    CRobustDecoder decoder(&owner);
    decoder.ProcessBuffer(piece.data(), static_cast<int32_t>(piece.size()));
    SignalSnapshot snapshot;
    decoder.CaptureSnapshot(snapshot);

    std::vector<uint8_t> conditioned(piece.size());
    CSignalConditioner().Process(piece.data(), static_cast<int32_t>(piece.size()),
                                 conditioned.data());
    ASSERT_GE(snapshot.samples.Count(), CTapeDecoder::kSampleHistory);
    // The newest sample in the window is the last one conditioned.
    for (int32_t i = 0; i < 20; ++i) {
        EXPECT_EQ(snapshot.samples.At(-i).value, conditioned[piece.size() - 1 - i]) << i;
    }
    EXPECT_GT(snapshot.peaks.Count(), 0);
}

TEST(RobustDecodingTest, UserLimitsReachBothDecodersWaveProcessingStaysTheModes) {
    CRecordingOwner owner;
    CRobustDecoder decoder(&owner);
    Retune(decoder, [](DecoderSettings& s) {
        s.data1Max = 30;
        s.externVals = true;
        s.filterPercent = 20;
        s.delay = 9;
    });
    const uint8_t silence[100] = {};
    decoder.ProcessBuffer(silence, 100);
    EXPECT_EQ(decoder.Inner(2).Settings().filterPercent, 20);
    for (int32_t index = 0; index < 2; ++index) {
        const DecoderSettings& inner = decoder.Inner(index).Settings();
        EXPECT_EQ(inner.data1Max, 30);
        EXPECT_TRUE(inner.externVals);
        EXPECT_EQ(inner.filterPercent, CRobustDecoder::kFilterPercent);
        EXPECT_EQ(inner.delay, CRobustDecoder::kDelay);
        EXPECT_EQ(inner.decayPercent, CRobustDecoder::kDecayPercent);
        EXPECT_EQ(inner.maxFirst, index == 1);
    }
}

TEST(RobustDecodingTest, TheModeChoosesTheDecoder) {
    CRecordingOwner owner;
    DecoderSettings settings;
    settings.data0Max = 13;
    const auto plain = CSampleDecoder::Create(&owner, settings);
    EXPECT_NE(dynamic_cast<CPlainDecoder*>(plain.get()), nullptr);
    EXPECT_EQ(plain->Settings().data0Max, 13);

    settings.mode = DecoderMode::Robust;
    const auto robust = CSampleDecoder::Create(&owner, settings);
    EXPECT_NE(dynamic_cast<CRobustDecoder*>(robust.get()), nullptr);
    EXPECT_EQ(robust->Settings().data0Max, 13);
    EXPECT_EQ(CRobustDecoder(&owner).Settings().mode, DecoderMode::Robust);
}

TEST(RobustDecodingTest, DumpsTheSignalAsItCameAndReplaysIt) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "tapewise-robust-dump-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    TapeWear wear = WornTape();
    wear.trailSilence = 2.0;  // only whole buffers are dumped: the last block ends before them
    const std::vector<uint8_t> signal = Tape(wear);
    const size_t whole = signal.size() / kBuffer * kBuffer;

    CRecordingOwner dumping;
    CRobustDecoder dumper(&dumping);
    dumper.ConfigureDump(DumpSettings{true, false, (folder / "tape").string(), 0});
    for (size_t at = 0; at < whole; at += kBuffer) {
        dumper.ProcessBuffer(signal.data() + at, kBuffer);
    }
    const auto fileCount = static_cast<int32_t>(whole / kBuffer);
    EXPECT_EQ(dumper.DumpNow().fileIndex, fileCount);
    EXPECT_EQ(dumping.Records<record::DumpNote>().size(), static_cast<size_t>(fileCount));
    EXPECT_EQ(std::filesystem::file_size(folder / "tape.000"), static_cast<uintmax_t>(kBuffer));

    CRecordingOwner replaying;
    CRobustDecoder replayer(&replaying);
    replayer.ConfigureDump(DumpSettings{false, true, (folder / "tape").string(), 0});
    for (int32_t i = 0; i <= fileCount; ++i) {
        replayer.ProcessBuffer(nullptr, 0);
    }
    EXPECT_EQ(replaying.blocks, dumping.blocks);
    EXPECT_EQ(replaying.blocks.size(), TapeBlocks().size());
    EXPECT_EQ(replaying.Records<record::DumpNote>().back().kind, record::DumpNote::Kind::NotFound);
    std::filesystem::remove_all(folder);
}

}  // namespace

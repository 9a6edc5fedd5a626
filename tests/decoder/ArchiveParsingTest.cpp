#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "decoder/SampleDecoder.h"
#include "decoder/archive/StretchParser.h"
#include "model/BlockFacts.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TimedTape.h"

// How archive mode reads the ways commercial tapes are built: blocks back to back, pulses a
// fraction of a sample long, sync pulses near a bit length, part bytes, stretches of plain
// signal, leaders that step down, tiny blocks; at 22050, 44100 and 48000 samples a second, and
// played at 2x speed from a worn cassette.
namespace {

using Timed = CTimedTape;

constexpr double kRates[] = {22050.0, 44100.0, 48000.0};

template <class Block>
Block Paused(Block block, uint16_t ms) {
    block.pauseMs = ms;
    return block;
}

std::vector<BlockBody> Decode(const std::vector<BlockBody>& tape, double rate,
                              const TapeWear& wear = {}) {
    const std::vector<uint8_t> signal =
        CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(tape, rate, wear));
    CRecordingOwner owner;
    owner.recordDebug = false;
    DecoderSettings settings;
    settings.mode = DecoderMode::Archive;
    const auto decoder = CSampleDecoder::Create(&owner, settings, static_cast<int32_t>(rate));
    for (size_t at = 0; at < signal.size(); at += 22000) {
        const auto count = static_cast<int32_t>(std::min<size_t>(22000, signal.size() - at));
        decoder->ProcessBuffer(signal.data() + at, count);
        decoder->Calibrate();
    }
    decoder->EndSignal();
    // ROM-timed blocks come through AddBlock; as RomBlocks they stand in the list in order.
    std::vector<BlockBody> got;
    size_t rom = 0;
    size_t timed = 0;
    for (const std::string& event : owner.events) {
        if (event.rfind("block: ", 0) == 0) {
            got.push_back(Timed::Rom(owner.blocks[rom++]));
        } else if (event.rfind("timed: ", 0) == 0) {
            got.push_back(owner.timedBlocks[timed++].body);
        }
    }
    return got;
}

std::vector<std::vector<uint8_t>> DataOf(const std::vector<BlockBody>& blocks) {
    std::vector<std::vector<uint8_t>> data;
    for (const BlockBody& block : blocks) {
        if (const std::vector<uint8_t>* bytes = DataBytes(block)) {
            data.push_back(*bytes);
        }
    }
    return data;
}

template <class Kind>
std::vector<const Kind*> OfKind(const std::vector<BlockBody>& blocks) {
    std::vector<const Kind*> found;
    for (const BlockBody& block : blocks) {
        if (const auto* ofKind = std::get_if<Kind>(&block)) {
            found.push_back(ofKind);
        }
    }
    return found;
}

bool Near(double got, double want, double share) {
    return std::fabs(got - want) <= share * want;
}

// A multi-part loader's blocks with no pause between them: a ROM-timed block runs straight
// into the next one's leader (its pilot is only 27 % longer than a 1-bit), a turbo block into a
// tone and into a turbo leader that its 1-bit is close to, a ROM-timed turbo block into a tone
// of 1500 (read as 0xFF bytes, an even count of them passes the checksum). Each block ends where
// it ends and the next one starts with its flag.
TEST(ArchiveParsing, BlocksBackToBackKeepTheirBounds) {
    CTestTape rom;
    rom.AddCodeFile("parts", 300, 21);
    const std::vector<BlockBody> parts = {
        Timed::Rom(rom.Blocks()[0]),
        Timed::Rom(rom.Blocks()[1]),
        Timed::Turbo(0xFF, 200, 22, 2168, 855),
        Timed::Tone(1900, 400),
        Timed::Turbo(0xFF, 250, 23, 1500, 600),
        Timed::Turbo(0x00, 17, 24, 1300, 650),
        Timed::Turbo(0xFF, 300, 25, 1200, 450),
        Timed::Turbo(0xFF, 150, 26, 2168, 855),
        Timed::Tone(1500, 512),
    };
    const std::vector<BlockBody> tape = {Timed::BackToBack(parts), Timed::Pause(500)};
    const auto want = DataOf(parts);
    for (double rate : kRates) {
        const std::vector<BlockBody> got = Decode(tape, rate);
        EXPECT_EQ(DataOf(got), want) << rate;
        const auto tones = OfKind<PureTone>(got);
        ASSERT_EQ(tones.size(), 2U) << rate;
        EXPECT_TRUE(Near(tones[0]->count, 400, 0.02));
        EXPECT_TRUE(Near(tones[1]->count, 512, 0.02)) << tones[1]->count;
    }
}

// At 3x the ROM's speed a sync pulse is three samples at 44.1 kHz. The edges are dated between
// samples, so the syncs come out apart and the bits exact; decoding the decoded tape again
// (rendered from its own timing) gives the same timing.
TEST(ArchiveParsing, PulsesAFractionOfASampleLongKeepTheirLength) {
    const TurboBlock fast{
        723, 1500, 250, 300, 285, 570, 8, 500, Timed::Turbo(0xFF, 400, 31, 2168, 855).bytes};
    for (double rate : kRates) {
        TurboBlock round = fast;
        for (int pass = 0; pass < 2; ++pass) {
            const std::vector<BlockBody> got = Decode({round}, rate);
            const auto turbo = OfKind<TurboBlock>(got);
            ASSERT_EQ(turbo.size(), 1U) << rate << " pass " << pass;
            const TurboBlock& t = *turbo[0];
            EXPECT_EQ(turbo[0]->bytes, fast.bytes);
            EXPECT_TRUE(Near(t.pilotPulse, 723, 0.02)) << t.pilotPulse;
            EXPECT_TRUE(Near(t.zeroPulse, 285, 0.02)) << t.zeroPulse << " at " << rate;
            EXPECT_TRUE(Near(t.onePulse, 570, 0.02)) << t.onePulse << " at " << rate;
            EXPECT_TRUE(Near(t.sync1, 250, 0.04)) << t.sync1 << " at " << rate;
            EXPECT_TRUE(Near(t.sync2, 300, 0.04)) << t.sync2 << " at " << rate;
            round = *turbo[0];
        }
    }

    // A renderer that carries each edge's rounding on to the next pulse makes a 1-bit short after
    // a 0-bit and long after a 1-bit, without the balance of a band's lean: the mean of all bits
    // is the length, not that of the bits between two of their own value.
    std::vector<float> pulses(1500, 723.0F);
    pulses.push_back(250.0F);
    pulses.push_back(300.0F);
    bool afterOne = false;
    for (const uint8_t byte : fast.bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool one = ((byte >> bit) & 1) != 0;
            const float pulse = one ? (afterOne ? 1.04F : 0.96F) * 570.0F : 285.0F;
            pulses.insert(pulses.end(), 2, pulse);
            afterOne = one;
        }
    }
    const std::vector<ParsedPiece> pieces = CStretchParser::Parse(pulses, 79.4, true);
    ASSERT_EQ(pieces.size(), 1U);
    const auto& carried = std::get<TurboBlock>(pieces[0].block);
    EXPECT_EQ(carried.bytes, fast.bytes);
    EXPECT_TRUE(Near(carried.onePulse, 570, 0.01)) << carried.onePulse;
}

// Pulses before data near a bit length: five syncs of 1000 T-states before pure data at
// 560/1120, a 700/1300/700 sync before 600/1200, a tone of 1000 straight before a leader of 800
// whose syncs are as long as its 0-bit. Rendered with each edge on a whole sample too, where a
// 1000 T-state pulse at 22.05 kHz is as long as a 1-bit, they stay pulses and tones; the data
// keeps its length and flag.
TEST(ArchiveParsing, SyncPulsesNearABitLengthAreNoBits) {
    const PureData data = Paused(Timed::Data(0xFF, 800, 41, 560), 500);
    const PureData zeroFlag = Paused(Timed::Data(0x00, 400, 42, 600), 500);
    TurboBlock fast = Paused(Timed::Turbo(0xFF, 300, 43, 800, 350), 500);
    fast.sync1 = 330;
    fast.sync2 = 350;
    const std::vector<BlockBody> tape = {
        Timed::BackToBack(
            {Timed::Tone(2400, 1500), Timed::Pulses(std::vector<uint16_t>(5, 1000)), data}),
        Timed::Pause(500),
        Timed::BackToBack({Timed::Tone(1800, 800), Timed::Pulses({700, 1300, 700}), zeroFlag}),
        Timed::Pause(500),
        Timed::BackToBack({Timed::Tone(1000, 300), fast}),
        Timed::Pause(500),
    };
    for (const bool wholeSamples : {false, true}) {
        TapeWear wear;
        wear.wholeSamples = wholeSamples;
        for (double rate : kRates) {
            const std::vector<BlockBody> got = Decode(tape, rate, wear);
            EXPECT_EQ(DataOf(got), DataOf({data, zeroFlag, fast})) << rate << " " << wholeSamples;
            const auto pulses = OfKind<PulseRun>(got);
            ASSERT_EQ(pulses.size(), 2U) << rate << " " << wholeSamples;
            EXPECT_EQ(pulses[0]->pulses.size(), 5U) << rate;
            EXPECT_EQ(pulses[1]->pulses.size(), 3U) << rate;
            EXPECT_EQ(OfKind<PureTone>(got).size(), 3U) << rate << " " << wholeSamples;
        }
    }

    // Nine bits of pure data after syncs near its 1-bit, straight into a leader 13 % longer
    // than that 1-bit: too few bits to learn the 1-bit's range from, so the leader passed as a
    // run of 1-bits and the reading went on into the next block's data, a block not on the tape.
    PureData nine = Timed::Data(0xA5, 0, 0, 389);
    nine.bytes = {0xA5, 0x80};
    nine.usedBitsInLastByte = 1;
    const TurboBlock next = Paused(Timed::Turbo(0xFF, 1, 44, 880, 365), 400);
    const std::vector<BlockBody> runOn = {Timed::BackToBack(
        {Timed::Tone(1021, 928), Timed::Pulses(std::vector<uint16_t>(5, 648)), nine, next})};
    for (const bool wholeSamples : {false, true}) {
        TapeWear wear;
        wear.wholeSamples = wholeSamples;
        for (double rate : kRates) {
            const auto got = DataOf(Decode(runOn, rate, wear));
            EXPECT_FALSE(got.empty() || got.back() != next.bytes) << rate << " " << wholeSamples;
            for (const std::vector<uint8_t>& bytes : got) {
                EXPECT_TRUE(bytes == nine.bytes || bytes == next.bytes)
                    << rate << " " << wholeSamples;
            }
        }
    }
}

// Pure data whose last byte uses 1 to 7 bits keeps exactly those bits, whether a silence or a
// tone follows it.
TEST(ArchiveParsing, PureDataKeepsAPartLastByte) {
    std::vector<BlockBody> tape;
    std::vector<PureData> data;
    for (uint8_t used = 1; used < 8; ++used) {
        PureData block = Paused(Timed::Data(0x40, 60 + used, 50U + used, 700), 300);
        block.usedBitsInLastByte = used;
        block.bytes.back() &= static_cast<uint8_t>(0xFF00U >> used);
        data.push_back(block);
        tape.push_back(used % 2 == 0 ? Paused(block, 0) : block);
        if (used % 2 == 0) {
            tape.push_back(Timed::Tone(2000, 200));
            tape.push_back(Timed::Pause(300));
        }
    }
    for (double rate : kRates) {
        const std::vector<BlockBody> all = Decode(tape, rate);
        const auto got = OfKind<PureData>(all);
        ASSERT_EQ(got.size(), data.size()) << rate;
        for (size_t i = 0; i < data.size(); ++i) {
            EXPECT_EQ(got[i]->usedBitsInLastByte, data[i].usedBitsInLastByte);
            EXPECT_EQ(got[i]->bytes, data[i].bytes) << rate << " used " << i + 1;
        }
    }

    // Whole bytes with their checksum, then the line drifting back across the midline once
    // after the last edge, as a played copy's band leaves it before a silence: that swing
    // starts no byte of its own.
    const std::vector<uint8_t> whole = Timed::Data(0x41, 90, 77U, 560).bytes;
    std::vector<float> pulses(600, 1800.0F);
    pulses.insert(pulses.end(), {1000.0F, 1000.0F});
    for (uint8_t byte : whole) {
        for (int bit = 7; bit >= 0; --bit) {
            pulses.insert(pulses.end(), 2, (byte >> bit) & 1 ? 1120.0F : 560.0F);
        }
    }
    pulses.push_back(1200.0F);
    const std::vector<ParsedPiece> pieces = CStretchParser::Parse(pulses, 79.4, true);
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(DataOf({pieces.back().block}), std::vector<std::vector<uint8_t>>{whole});
}

// A stretch of plain square-wave signal between two silences (a sampled sound, a picture
// loader's noise) is kept as a recording of its length, and a short run of pulses on its own
// as pulses; neither is counted as silence.
TEST(ArchiveParsing, PlainSignalIsKeptAsARecording) {
    std::vector<uint16_t> noise;
    uint32_t seed = 7;
    uint32_t total = 0;
    while (noise.size() < 2000) {
        seed = seed * 1103515245U + 12345U;
        noise.push_back(static_cast<uint16_t>(300 + (seed >> 16) % 3000));
        total += noise.back();
    }
    const TurboBlock data = Paused(Timed::Turbo(0xFF, 100, 61, 2000, 700), 400);
    const std::vector<BlockBody> tape = {
        data,
        Timed::Pulses(noise),
        Timed::Pause(400),
        Timed::Pulses({3000, 1000, 1000, 3000, 500, 500, 2000, 2000}),
        Timed::Pause(400),
        data,
    };
    for (double rate : kRates) {
        const std::vector<BlockBody> got = Decode(tape, rate);
        EXPECT_EQ(DataOf(got).size(), 2U);
        const auto recordings = OfKind<DirectRecording>(got);
        ASSERT_EQ(recordings.size(), 1U) << rate;
        const DirectRecording& rec = *recordings[0];
        const double samples =
            static_cast<double>(rec.samples.size() - 1) * 8.0 + rec.usedBitsInLastByte;
        EXPECT_TRUE(Near(samples * rec.tStatesPerSample, total, 0.03)) << rate;
        const auto pulses = OfKind<PulseRun>(got);
        ASSERT_EQ(pulses.size(), 1U) << rate;
        EXPECT_GE(pulses[0]->pulses.size(), 7U);
    }
}

// A leader that steps down in pitch is tones, not data; a turbo block of one or two bytes is a
// block; a ROM-timed block with an unusual leader keeps the pilot count measured.
TEST(ArchiveParsing, SteppedLeadersTinyBlocksAndOddLeaders) {
    TurboBlock one = Paused(Timed::Turbo(0xFF, 0, 0, 2000, 600), 300);
    one.bytes = {0xFF};
    TurboBlock two = Timed::Turbo(0x12, 0, 0, 1600, 500);
    two.bytes = {0x12, 0x34};
    // Five 0-bits, then straight into a leader a quarter longer than them: few bits to learn
    // the 0-bit from, yet the leader is no run of them.
    TurboBlock lone = Timed::Turbo(0x25, 0, 0, 1620, 607);
    lone.bytes = {0x25};
    const TurboBlock afterLone = Paused(Timed::Turbo(0xFF, 300, 74, 760, 315), 400);
    const std::vector<BlockBody> tape = {
        Timed::BackToBack({Timed::Tone(3200, 300), Timed::Tone(2200, 300), Timed::Tone(1500, 300),
                           Timed::Turbo(0xFF, 200, 71, 1100, 480)}),
        Timed::Pause(400),
        one,
        Timed::BackToBack({two, Timed::Turbo(0xFF, 100, 72, 1700, 550)}),
        Timed::Pause(400),
        Timed::BackToBack({lone, afterLone}),
    };
    const std::vector<std::vector<uint8_t>> want = {
        Timed::Turbo(0xFF, 200, 71, 1100, 480).bytes, one.bytes,  two.bytes,
        Timed::Turbo(0xFF, 100, 72, 1700, 550).bytes, lone.bytes, afterLone.bytes};
    for (double rate : kRates) {
        const std::vector<BlockBody> got = Decode(tape, rate);
        EXPECT_EQ(DataOf(got), want) << rate;
        EXPECT_EQ(OfKind<PureTone>(got).size(), 3U) << rate;
        EXPECT_EQ(OfKind<PulseRun>(got).size(), 0U) << rate;
    }

    std::vector<float> pulses(1500, 2168.0F);
    pulses.insert(pulses.end(), {667.0F, 735.0F});
    for (uint8_t byte : Timed::Turbo(0xFF, 40, 73, 2168, 855).bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            pulses.insert(pulses.end(), 2, (byte >> bit) & 1 ? 1710.0F : 855.0F);
        }
    }
    const std::vector<ParsedPiece> pieces = CStretchParser::Parse(pulses, 79.4, true);
    ASSERT_EQ(pieces.size(), 1U);
    EXPECT_TRUE(pieces[0].romTimed);
    EXPECT_EQ(std::get<TurboBlock>(pieces[0].block).pilotCount, 1500U);

    // A tone longer than one TZX block holds is kept whole; the image splits it when written.
    const std::vector<ParsedPiece> tone =
        CStretchParser::Parse(std::vector<float>(70000, 2168.0F), 79.4, true);
    ASSERT_EQ(tone.size(), 1U);
    EXPECT_EQ(std::get<PureTone>(tone[0].block).count, 70000U);
}

// A cassette copy of a 2x turbo tape: 2 % fast, wow and flutter, a 300 Hz - 4 kHz band, hiss.
// Every block loads and nothing is added.
TEST(ArchiveParsing, PlayedCopyOfAFastTapeLoadsWhole) {
    const std::vector<BlockBody> parts = {
        Timed::Turbo(0xFF, 500, 81, 1084, 427), Timed::Tone(1000, 300),
        Timed::Turbo(0x44, 700, 82, 1200, 450), Timed::Pulses({1500, 700, 300}),
        Timed::Data(0x02, 400, 83, 400)};
    const std::vector<BlockBody> tape = {Timed::BackToBack(parts), Timed::Pause(500)};
    TapeWear wear;
    wear.speed = 1.02;
    wear.wowDepth = 0.005;
    wear.wowHz = 0.7;
    wear.lowPassHz = 4000.0;
    wear.highPassHz = 300.0;
    wear.noiseRms = 0.02;
    for (double rate : {44100.0, 48000.0}) {
        EXPECT_EQ(DataOf(Decode(tape, rate, wear)), DataOf(parts)) << rate;
    }
}

}  // namespace

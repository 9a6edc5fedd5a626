#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "decoder/SampleDecoder.h"
#include "decoder/archive/ArchiveQueue.h"
#include "decoder/archive/StretchParser.h"
#include "model/BlockFacts.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"
#include "tests/support/TimedTape.h"

// Archive mode on whole tapes made here: ROM blocks, turbo blocks down to a 0-bit pulse of 450
// T-states, a loader's tone and pulses and pure data, fed in buffers with the indicator's
// calibration step after each and the end of the signal announced, as the command line runs it.
namespace {

using Timed = CTimedTape;

constexpr double kRate = 44100.0;
constexpr int32_t kBuffer = 22000;

std::vector<BlockBody> LoaderTape() {
    CTestTape rom;
    rom.AddCodeFile("loader", 40, 7);
    return {Timed::Rom(rom.Blocks()[0]),
            Timed::Rom(rom.Blocks()[1]),
            Timed::Turbo(0xFF, 400, 11, 2168, 800),
            Timed::Turbo(0x7E, 600, 12, 1950, 650),
            Timed::Turbo(0x00, 500, 13, 1850, 450),
            Timed::Tone(2300, 500),
            Timed::Pulses({400, 400, 2500, 600}),
            Timed::Data(0x03, 300, 14, 580)};
}

// A sampled sound: square-wave pulses of 2 to 60 samples at 44.1 kHz, which no structure names.
std::vector<uint16_t> SampledSound() {
    std::vector<uint16_t> pulses;
    uint32_t seed = 7;
    while (pulses.size() < 1000) {
        seed = seed * 1103515245U + 12345U;
        pulses.push_back(static_cast<uint16_t>(160 + (seed >> 16) % 4600));
    }
    return pulses;
}

void Feed(CSampleDecoder& decoder, const std::vector<uint8_t>& signal, bool end) {
    for (size_t at = 0; at < signal.size(); at += kBuffer) {
        const auto count = static_cast<int32_t>(std::min<size_t>(kBuffer, signal.size() - at));
        decoder.ProcessBuffer(signal.data() + at, count);
        decoder.Calibrate();
    }
    if (end) {
        decoder.EndSignal();
    }
}

// With `end` false, the recording is still going on.
CRecordingOwner DecodeArchive(const std::vector<uint8_t>& signal, int32_t rate, bool end = true) {
    CRecordingOwner owner;
    DecoderSettings settings;
    settings.mode = DecoderMode::Archive;
    const auto decoder = CSampleDecoder::Create(&owner, settings, rate);
    Feed(*decoder, signal, end);
    return owner;
}

bool Near(double got, double want, double share) {
    return std::fabs(got - want) <= share * want;
}

// The data blocks the owner got, in order, from AddBlock and AddTimedBlock alike.
std::vector<CTestTape::Block> DataInOrder(const CRecordingOwner& owner) {
    std::vector<CTestTape::Block> data;
    size_t rom = 0;
    size_t timed = 0;
    for (const std::string& event : owner.events) {
        if (event.rfind("block: ", 0) == 0) {
            data.push_back(owner.blocks[rom++]);
        } else if (event.rfind("timed: ", 0) == 0) {
            const std::vector<uint8_t>* bytes = DataBytes(owner.timedBlocks[timed++].body);
            if (bytes != nullptr && !bytes->empty()) {
                data.push_back(*bytes);
            }
        }
    }
    return data;
}

// How the tape was played: as made, from a worn cassette, or as a cassette copy (1.5 % slow, wow,
// a 300 Hz - 4.5 kHz band, hiss) that holds a turbo block at 3x the ROM's speed too: the band
// leaves its 0-bits only a small swing, off the midline, between the large ones of the 1-bits.
enum class Playing { Clean, Worn, Copied };

class ArchiveTape : public ::testing::TestWithParam<Playing> {};

// Every data block byte-exact and in order, ROM blocks as robust mode reports them, turbo and
// pure data with their bit timing, the loader's tone and marker kept, a sampled sound kept as a
// recording of its length (a copy's band lets its long pulses droop back to the midline, as far
// from it as hiss is); nothing else that holds data.
TEST_P(ArchiveTape, KeepsEveryBlockWithItsTiming) {
    TapeWear wear;
    std::vector<BlockBody> tape = LoaderTape();
    const std::vector<uint16_t> sound = SampledSound();
    tape.push_back(Timed::Pulses(sound));
    tape.push_back(Timed::Pause(500));
    if (GetParam() == Playing::Worn) {
        wear.lowPassHz = 7000.0;
        wear.highPassHz = 120.0;
        wear.noiseRms = 0.01;
    } else if (GetParam() == Playing::Copied) {
        wear.speed = 0.985;
        wear.wowDepth = 0.005;
        wear.lowPassHz = 4500.0;
        wear.highPassHz = 300.0;
        wear.noiseRms = 0.02;
        tape.push_back(Timed::Turbo(0xFF, 300, 15, 723, 285));
    }
    const CRecordingOwner owner =
        DecodeArchive(CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(tape, kRate, wear)), 44100);

    std::vector<CTestTape::Block> want;
    for (const BlockBody& block : tape) {
        if (const std::vector<uint8_t>* bytes = DataBytes(block)) {
            want.push_back(*bytes);
        }
    }
    EXPECT_EQ(DataInOrder(owner), want);
    // The ROM-timed ones as the ROM decoders loaded them, with their pause.
    EXPECT_TRUE(owner.blocks.empty());
    EXPECT_EQ(
        std::count_if(owner.timedBlocks.begin(), owner.timedBlocks.end(),
                      [](const TapeItem& b) { return std::holds_alternative<RomBlock>(b.body); }),
        2);

    int32_t turbo = 0;
    int32_t tonePulses = 0;
    bool markerKept = false;
    int32_t recordings = 0;
    double soundT = 0.0;
    for (const uint16_t pulse : sound) {
        soundT += pulse;
    }
    // Bit pulses of the block in the tape made with the same bytes.
    const auto bitsOf = [&](const std::vector<uint8_t>& bytes) -> std::pair<uint16_t, uint16_t> {
        for (const BlockBody& block : tape) {
            if (const auto* t = std::get_if<TurboBlock>(&block);
                t != nullptr && t->bytes == bytes) {
                return {t->zeroPulse, t->onePulse};
            }
            if (const auto* d = std::get_if<PureData>(&block); d != nullptr && d->bytes == bytes) {
                return {d->zeroPulse, d->onePulse};
            }
        }
        ADD_FAILURE() << "no such block on the tape";
        return {1, 1};
    };
    // The bit lengths, at the tape's own speed; on a copy too, whose edges between a 0-bit and a
    // 1-bit lean towards the 0-bit.
    const auto timed = [&](double gotZero, double gotOne, double zero, double one) {
        return Near(gotZero * wear.speed, zero, 0.05) && Near(gotOne * wear.speed, one, 0.05);
    };
    for (const TapeItem& got : owner.timedBlocks) {
        if (const auto* t = std::get_if<TurboBlock>(&got.body)) {
            const auto [zero, one] = bitsOf(t->bytes);
            EXPECT_TRUE(timed(t->zeroPulse, t->onePulse, zero, one))
                << t->zeroPulse << " " << t->onePulse;
            ++turbo;
            if (t->pilotPulse < 2000) {
                EXPECT_TRUE(Near(t->pilotCount, 1600, 0.10));
            }
        }
        if (const auto* d = std::get_if<PureData>(&got.body)) {
            const auto [zero, one] = bitsOf(d->bytes);
            EXPECT_TRUE(timed(d->zeroPulse, d->onePulse, zero, one));
        }
        if (const auto* tone = std::get_if<PureTone>(&got.body)) {
            tonePulses += static_cast<int32_t>(tone->count);
        }
        const auto* run = std::get_if<PulseRun>(&got.body);
        markerKept = markerKept || (run != nullptr && run->pulses.size() == 4);
        if (const auto* recording = std::get_if<DirectRecording>(&got.body)) {
            const double samples = static_cast<double>(recording->samples.size() - 1) * 8.0 +
                                   recording->usedBitsInLastByte;
            EXPECT_TRUE(Near(samples * recording->tStatesPerSample * wear.speed, soundT, 0.03))
                << samples;
            ++recordings;
        }
    }
    EXPECT_EQ(recordings, 1);
    EXPECT_EQ(turbo, GetParam() == Playing::Copied ? 4 : 3);
    EXPECT_TRUE(Near(tonePulses, 500, 0.10));
    EXPECT_TRUE(markerKept);
}

INSTANTIATE_TEST_SUITE_P(CleanWornAndCopied, ArchiveTape,
                         ::testing::Values(Playing::Clean, Playing::Worn, Playing::Copied));

// Turbo data near the ROM's timing, which the ROM decoders read too, stays turbo data with its
// timing also when a long tone right after it holds this mode's reading back until the ROM
// decoders have long reported the block.
TEST(ArchiveDecoding, TurboDataTheRomDecodersReadAsWellKeepsItsTiming) {
    const TurboBlock turbo = Timed::Turbo(0xFF, 400, 11, 2168, 800);
    const CRecordingOwner owner =
        DecodeArchive(CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(
                          {Timed::BackToBack({turbo, Timed::Tone(2500, 6000)})}, kRate, {})),
                      44100);
    const TurboBlock* kept = nullptr;
    for (const TapeItem& item : owner.timedBlocks) {
        const auto* block = std::get_if<TurboBlock>(&item.body);
        if (block != nullptr && block->bytes == turbo.bytes) {
            kept = block;
        }
    }
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(Near(kept->zeroPulse, 800, 0.05));
}

// At the desktop program's capture rate the same tape still loads whole.
TEST(ArchiveDecoding, LoadsAtTheCaptureRate) {
    const std::vector<BlockBody> tape = LoaderTape();
    const CRecordingOwner owner =
        DecodeArchive(CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(tape, 22000.0, {})), 22000);
    EXPECT_EQ(DataInOrder(owner).size(), 6U);
}

// The silence after a ROM block is its pause as measured, a quarter second or seven, and none
// when the next block follows at once (a pause of 0 stops an emulator's tape there); no Pause of
// its own is made up beside it.
TEST(ArchiveDecoding, AROMBlockKeepsTheSilenceAfterItAsItsPause) {
    CTestTape rom;
    rom.AddCodeFile("pauses", 300, 5);
    rom.AddCodeFile("more", 20, 6);
    std::vector<BlockBody> tape;
    const std::vector<uint16_t> pauses{250, 7000, 0, 1500};
    for (size_t i = 0; i < pauses.size(); ++i) {
        tape.push_back(RomBlock{rom.Blocks()[i], pauses[i]});
    }
    const CRecordingOwner owner =
        DecodeArchive(CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(tape, kRate, {})), 44100);
    std::vector<TapeItem> got = owner.timedBlocks;
    // The lead silence before the first block is a Pause of its own.
    ASSERT_FALSE(got.empty());
    EXPECT_TRUE(std::holds_alternative<Pause>(got.front().body));
    got.erase(got.begin());
    ASSERT_EQ(got.size(), pauses.size());
    for (size_t i = 0; i < pauses.size(); ++i) {
        const auto* block = std::get_if<RomBlock>(&got[i].body);
        ASSERT_NE(block, nullptr) << i;
        EXPECT_EQ(block->bytes, rom.Blocks()[i]);
        // The recording ends with 0.2 s of silence after the last block.
        const double pause = pauses[i] + (i + 1 == pauses.size() ? 200.0 : 0.0);
        EXPECT_NEAR(block->pauseMs, pause, std::max(50.0, 0.1 * pause)) << i;
    }

    // Silence longer than a block is held for is kept whole, between blocks and at the end.
    tape.resize(2);
    std::get<RomBlock>(tape[0]).pauseMs = 12000;
    std::get<RomBlock>(tape[1]).pauseMs = 0;
    TapeWear longEnd;
    longEnd.trailSilence = 10.0;
    const CRecordingOwner held = DecodeArchive(
        CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(tape, kRate, longEnd)), 44100);
    std::vector<double> silences;  // after each data block
    for (const TapeItem& item : held.timedBlocks) {
        if (const auto* block = std::get_if<RomBlock>(&item.body)) {
            silences.push_back(block->pauseMs);
        } else if (const auto* pause = std::get_if<Pause>(&item.body); !silences.empty()) {
            ASSERT_NE(pause, nullptr);
            silences.back() += pause->ms;
        }
    }
    ASSERT_EQ(silences.size(), 2u);
    EXPECT_NEAR(silences[0], 12000, 100);
    EXPECT_NEAR(silences[1], 10000, 100);

    // Nor is a block held longer: 9.5 s of silence after it, and it is listed while the
    // recording goes on.
    tape.resize(1);
    std::get<RomBlock>(tape[0]).pauseMs = 9500;
    longEnd.trailSilence = 0.0;
    const CRecordingOwner live = DecodeArchive(
        CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(tape, kRate, longEnd)), 44100, false);
    EXPECT_EQ(live.Lines("timed: ").size(), 2u);  // the lead Pause and the block
}

// The ROM decoders' block comes first: this mode's tone and misread bits in its stretch give
// way to it, and it takes over their pause. A turbo block just before it, without a pause
// between, lies where a full ROM leader would have begun, and stays: a short leader begins after
// the last block. Times in T-states, as the archive decoder hands them on.
TEST(ArchiveQueue, TheRomDecodersBlockReplacesWhatThisModeMisreadInItsStretchOnly) {
    CRecordingOwner owner;
    CArchiveQueue queue(&owner, 44100);
    TurboBlock turbo = Timed::Turbo(0xFF, 200, 3, 1950, 650);
    turbo.pauseMs = 0;  // a parsed piece's pause is measured after it
    CTestTape rom;
    rom.AddBlock(0xFF, CTestTape::RandomBytes(100, 4));
    const auto piece = [](BlockBody block) {
        ParsedPiece parsed;
        parsed.block = std::move(block);
        return parsed;
    };
    const PureData misread = Timed::Data(0x7F, 100, 5, 855);
    queue.AddPiece(piece(turbo), 0.0, 6.0e6, false);
    queue.AddPiece(piece(Timed::Tone(2168, 800)), 6.0e6, 7.7e6, false);
    queue.AddPiece(piece(misread), 7.7e6, 9.8e6, true);
    queue.AddSilence(350.0 * 3500.0);
    queue.AddRomBlock(rom.Blocks()[0], 7.7e6, 9.9e6);
    queue.Pump(0.0, true);
    ASSERT_EQ(owner.timedBlocks.size(), 2U);
    EXPECT_EQ(owner.timedBlocks[0].body, BlockBody(turbo));
    EXPECT_EQ(owner.timedBlocks[1].body, BlockBody(RomBlock{rom.Blocks()[0], 350}));
    // Spans in samples at the input's rate (79.4 T-states each): the turbo block from its first
    // edge, the ROM block from where its leader began, after the turbo block.
    EXPECT_EQ(owner.timedBlocks[0].span, (TapeSpan{0, 75600, 44100}));
    EXPECT_EQ(owner.timedBlocks[1].span, (TapeSpan{75600, 49140, 44100}));
}

// The ROM decoders misread this mode's whole data: a loader's leader read as a ROM pilot and
// the first byte of its own-timed data as a one-byte block, or a ROM-timed block read on into the
// tone after it as a run of 0xFF. Their block is dropped, and what it shadowed is kept; their news
// that it loaded goes with it, and stands only for a block whose bytes are kept.
TEST(ArchiveQueue, TheRomDecodersMisreadingOfThisModesDataIsDropped) {
    const auto piece = [](BlockBody block, bool romTimed = false) {
        ParsedPiece parsed;
        parsed.block = std::move(block);
        parsed.romTimed = romTimed;
        return parsed;
    };
    const auto loaded = [](const std::vector<uint8_t>& bytes) {
        return DecoderRecord(record::BlockLoaded{TapeItem{RomBlock{bytes, 0}, {}, {}}, true});
    };
    CRecordingOwner owner;
    CArchiveQueue queue(&owner, 44100);
    const PureData own = Timed::Data(0x00, 400, 6, 600);
    queue.AddRomBlock({0x00}, 1.45e6, 1.52e6, loaded({0x00}));
    queue.AddPiece(piece(Timed::Tone(1800, 800)), 0.0, 1.44e6, false);
    queue.AddPiece(piece(Timed::Pulses({700, 1300, 700})), 1.44e6, 1.4427e6, false);
    queue.AddPiece(piece(own), 1.4427e6, 7.2e6, true);
    queue.AddSilence(400.0 * 3500.0);

    TurboBlock romTimed = Timed::Turbo(0xFF, 150, 7, 2168, 855);
    romTimed.pilotCount = 3223;
    romTimed.pauseMs = 0;
    std::vector<uint8_t> readOn = romTimed.bytes;
    readOn.insert(readOn.end(), 32, 0xFF);
    queue.AddRomBlock(readOn, 20.0e6, 25.0e6, loaded(readOn));
    queue.AddPiece(piece(romTimed, true), 13.0e6, 22.0e6, false);
    queue.AddPiece(piece(Timed::Tone(1500, 512)), 22.0e6, 22.8e6, true);
    queue.AddSilence(500.0 * 3500.0);

    // A ROM-timed block after a leader of 600 pulses keeps that count: a standard block would
    // replay the ROM's leader. Its bytes a fill of one value that no tone read as bits gives.
    TurboBlock shortLeader = Timed::Turbo(0xFF, 100, 8, 2168, 855);
    shortLeader.bytes.assign(100, 0x82);
    shortLeader.pilotCount = 600;
    shortLeader.pauseMs = 0;
    queue.AddPiece(piece(shortLeader, true), 30.0e6, 32.0e6, true);
    queue.AddRomBlock(shortLeader.bytes, 31.3e6, 32.1e6, loaded(shortLeader.bytes));
    queue.AddSilence(300.0 * 3500.0);
    queue.Pump(0.0, true);

    std::vector<size_t> kinds;
    for (const TapeItem& item : owner.timedBlocks) {
        kinds.push_back(item.body.index());
    }
    const std::vector<size_t> want = {BlockBody(PureTone{}).index(),  BlockBody(PulseRun{}).index(),
                                      BlockBody(PureData{}).index(),  BlockBody(RomBlock{}).index(),
                                      BlockBody(PureTone{}).index(),  BlockBody(Pause{}).index(),
                                      BlockBody(TurboBlock{}).index()};
    EXPECT_EQ(kinds, want);
    ASSERT_EQ(owner.timedBlocks.size(), want.size());
    EXPECT_EQ(*DataBytes(owner.timedBlocks[2].body), own.bytes);
    EXPECT_EQ(*DataBytes(owner.timedBlocks[3].body), romTimed.bytes);
    shortLeader.pauseMs = 300;
    EXPECT_EQ(owner.timedBlocks[6].body, BlockBody(shortLeader));
    EXPECT_EQ(owner.Lines("status: "),
              std::vector<std::string>{"Load sucessful for 100 bytes block"});

    // A read error of theirs within a stretch this mode is still gathering waits for the pieces
    // there, and is not listed where they hold data.
    CRecordingOwner gathered;
    CArchiveQueue gathering(&gathered, 44100);
    gathering.AddRomError(1931, 0xFF, 2.0e6, 9.0e6);
    gathering.Pump(10.0e6, false, 0.0);
    gathering.AddPiece(piece(romTimed, true), 0.0, 9.5e6, true);
    gathering.AddSilence(300.0 * 3500.0);
    gathering.Pump(10.0e6, true);
    EXPECT_EQ(gathered.Lines("entry: "), std::vector<std::string>{});
    EXPECT_EQ(gathered.timedBlocks.size(), 1U);
}

// Hiss is no tape: however loud, it leaves pauses at most, never a block or a kept stretch.
TEST(ArchiveDecoding, HissGivesNothingButPauses) {
    for (double noise : {0.005, 0.05, 0.2}) {
        TapeWear wear;
        wear.noiseRms = noise;
        wear.leadSilence = 20.0;
        wear.lowPassHz = 4500.0;
        const CRecordingOwner owner =
            DecodeArchive(CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed({}, kRate, wear)), 44100);
        EXPECT_TRUE(owner.blocks.empty()) << noise;
        // Silence and hiss after one another are one Pause.
        ASSERT_EQ(owner.timedBlocks.size(), 1u) << noise;
        EXPECT_TRUE(std::holds_alternative<Pause>(owner.timedBlocks[0].body)) << noise;
    }
}

// A leader, a sync pair and a long run of pulses of one length is what an all-zero block read at
// the wrong speed looks like: with only one bit length in it, it is no data.
TEST(StretchParser, OneBitLengthAloneIsNoData) {
    std::vector<float> pulses(200, 2168.0F);
    pulses.push_back(667.0F);
    pulses.push_back(735.0F);
    pulses.insert(pulses.end(), 4000, 855.0F);
    const std::vector<ParsedPiece> pieces = CStretchParser::Parse(pulses, 79.0, true);
    for (const ParsedPiece& piece : pieces) {
        EXPECT_EQ(DataBytes(piece.block), nullptr);
    }
    ASSERT_FALSE(pieces.empty());
    EXPECT_TRUE(std::holds_alternative<PureTone>(pieces.front().block));
}

// A 3x turbo block as its own decoded timing renders it with whole samples at 44.1 kHz: its
// pilot alternates 9 and 10 samples and its 1-bit is not twice its 0-bit. Its leader is a
// leader, not pure data of 0xFF with the syncs as 0-bits, however the first edge after the
// silence comes.
TEST(ArchiveDecoding, AFastLeaderIsNoData) {
    TurboBlock fast{
        734, 1500, 238, 317, 317, 573, 8, 300, Timed::Turbo(0x44, 700, 9, 723, 285).bytes};
    TapeWear wear;
    wear.wholeSamples = true;
    for (const double lead : {0.2, 0.20001, 0.20002, 0.20003}) {
        wear.leadSilence = lead;
        const CRecordingOwner owner = DecodeArchive(
            CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed({fast, fast}, kRate, wear)), 44100);
        std::vector<std::vector<uint8_t>> data;
        for (const TapeItem& item : owner.timedBlocks) {
            if (const std::vector<uint8_t>* bytes = DataBytes(item.body)) {
                data.push_back(*bytes);
            }
        }
        EXPECT_EQ(data, std::vector<std::vector<uint8_t>>(2, fast.bytes)) << lead;
    }
}

}  // namespace

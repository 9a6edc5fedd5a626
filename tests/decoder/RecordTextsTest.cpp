#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/core/RecordTexts.h"
#include "decoder/core/SignalSnapshot.h"
#include "tests/support/RecordingOwner.h"

// The texts and rows written from each kind of record: every message of the decoders, once, word
// for word.
namespace {

using Lines = std::vector<std::string>;
using NoteKind = record::DumpNote::Kind;

Lines Written(const DecoderRecord& record, bool listErrors = true) {
    CRecordingOwner owner;
    owner.listErrors = listErrors;
    owner.Report(record);
    return owner.events;
}

record::BlockLoaded Loaded(int32_t length, BlockVerdict verdict = {}) {
    record::BlockLoaded loaded;
    loaded.item.body = RomBlock{std::vector<uint8_t>(static_cast<size_t>(length), 0)};
    loaded.item.verdict = verdict;
    return loaded;
}

TEST(RecordTextsTest, EveryRecordIsWrittenInItsOwnWords) {
    EXPECT_EQ(Written(record::SyncFound{}), (Lines{"status: Loading data ..."}));

    const Lines loaded = {"block: 3", "status: Load sucessful for 3 bytes block",
                          "debug: file complete, 3 bytes\n"};
    EXPECT_EQ(Written(Loaded(3)), loaded);
    record::BlockLoaded listedLater = Loaded(3);
    listedLater.rowFollows = true;
    EXPECT_EQ(Written(listedLater), Lines(loaded.begin() + 1, loaded.end()));
    constexpr auto kMended = BlockVerdict::Outcome::Mended;
    EXPECT_EQ(Written(Loaded(19, {kMended, 2, 0}))[1],
              "log: Recovered 2 leading bit(s) of a 19 bytes block");
    EXPECT_EQ(Written(Loaded(19, {kMended, 0, 3}))[1],
              "log: Dropped 3 stray bit(s) after a 19 bytes block");
    EXPECT_EQ(
        Written(Loaded(19, {kMended, 1, 3})),
        (Lines{"block: 19",
               "log: Recovered 1 leading bit(s) and dropped 3 stray bit(s) of a 19 bytes "
               "block",
               "status: Load sucessful for 19 bytes block", "debug: file complete, 19 bytes\n"}));

    // Times past 2^32 are written whole.
    record::ReadError error;
    error.at = (int64_t{1} << 32) + 5;
    error.period = 60;
    error.bytesRead = 3;
    error.bitsRead = 2;
    error.firstByte = 0;
    error.scene.snapshot = std::make_shared<SignalSnapshot>();
    error.scene.extremumTimes = {100, 121, 143};
    const Lines failed = {"snapshot",
                          "refresh",
                          "debug: interval at 100 (-4) : 21\n",
                          "debug: interval at 121 (-2) : 22\n",
                          "status: Read error at time 4294967301 : bad data bit interval 60 at "
                          "byte 3, bit 2",
                          "entry: 3 0"};
    EXPECT_EQ(Written(error), failed);
    const Lines unlisted(failed.begin(), failed.end() - 1);
    EXPECT_EQ(Written(error, false), unlisted);
    error.rowFollows = true;
    EXPECT_EQ(Written(error), unlisted);
    EXPECT_EQ(Written(record::IntervalLog{{100, 121}}),
              (Lines{"debug: interval at 100 (-2) : 21\n"}));
    EXPECT_EQ(Written(record::ErrorRow{0, -1}), (Lines{"entry: 0 -1"}));
    EXPECT_TRUE(Written(record::ErrorRow{0, -1}, false).empty());

    EXPECT_EQ(Written(record::BadSync{40, 31, {}}),
              (Lines{"snapshot", "refresh",
                     "status: Read error : bad sync bit interval 40 after 31 leader iterations"}));
    EXPECT_EQ(Written(record::Calibration{5, 13, 15, 29}),
              (Lines{"log: Datacal occured on data, new limits are 5-13 15-29"}));

    EXPECT_EQ(Written(record::DumpNote{NoteKind::Dumped, "s.000", 22000}),
              (Lines{"log: Dumped 22000 bytes in file s.000"}));
    EXPECT_EQ(Written(record::DumpNote{NoteKind::OpenFailed, "s.001", 0}),
              (Lines{"debug: Open for s.001 failed\n", "log: Could not dump to file s.001"}));
    EXPECT_EQ(
        Written(record::DumpNote{NoteKind::WriteFailed, "s.002", 0}),
        (Lines{"debug: write failed for s.002 failed\n", "log: Could not dump to file s.002"}));
    EXPECT_EQ(Written(record::DumpNote{NoteKind::NotFound, "s.003", 0}),
              (Lines{"log: No file s.003 found"}));
    EXPECT_EQ(Written(record::DumpNote{NoteKind::Replayed, "s.004", 44000}),
              (Lines{"log: Loaded 44000 bytes from file s.004"}));
}

TEST(RecordTextsTest, ArchiveModeWritesEachKeptStretchAndWhyItFailed) {
    using Outcome = BlockVerdict::Outcome;
    const TurboBlock turbo{1000, 2000, 300, 310, 400, 800, 8, 512, {0xFF, 1, 2}};
    EXPECT_EQ(Written(record::StretchKept{{turbo, {}, {Outcome::ChecksumFailed}}, false}),
              (Lines{"status: Read error : bad checksum of a 3 bytes block", "entry: 3 255",
                     "log: Archive: turbo block, 3 bytes, pilot 1000 x 2000, sync 300/310, bits "
                     "400/800, pause 512 ms",
                     "timed: 1"}));
    const PureData data{855, 1710, 8, 1000, {0xAA, 0xAA}};
    EXPECT_EQ(
        Written(record::StretchKept{{data, {}, {Outcome::Unconfirmed}}, false}, false),
        (Lines{"status: Read error : no leader and sync before 2 bytes of data",
               "log: Archive: pure data, 2 bytes, bits 855/1710, pause 1000 ms", "timed: 4"}));

    const std::vector<std::pair<BlockBody, std::string>> lines = {
        {RomBlock{{0, 1, 1}}, "ROM-speed block, 3 bytes, pause 1000 ms"},
        {PureTone{2168, 3223}, "tone, 3223 pulses of 2168"},
        {PulseRun{{667, 735}}, "pulses, 2"},
        {DirectRecording{79, 8, 0, {1, 2}}, "recording, 2 bytes at 79 T-states a sample"},
        {Pause{250}, "pause, 250 ms"},
        {KeptTzxBlock{{0x30, 1, 'x'}}, "TZX block, 3 bytes"}};
    for (const auto& [block, line] : lines) {
        EXPECT_EQ(CRecordTexts::StretchLine(block, false), "Archive: " + line);
    }
    // The ROM decoders' blocks at a measured timing are ROM-speed blocks all the same.
    EXPECT_EQ(CRecordTexts::StretchLine(turbo, true),
              "Archive: ROM-speed block, 3 bytes, pause 512 ms");
}

}  // namespace

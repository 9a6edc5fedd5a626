#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "decoder/SampleDecoder.h"
#include "decoder/core/TapeDecoder.h"
#include "decoder/robust/RobustDecoder.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

namespace {

namespace fs = std::filesystem;
using NoteKind = record::DumpNote::Kind;

class DumpReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        directory = fs::temp_directory_path() /
                    ("tapewise-dump-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(directory);
        fs::create_directories(directory);
        base = (directory / "sample1").string();
    }
    // Switches dumping and replaying as the Options dialog does, on the series `base`.
    void Switch(CTapeDecoder& target, bool dump, bool fromFile) {
        target.ConfigureDump(DumpSettings{dump, fromFile, base, 0});
    }
    void TearDown() override { fs::remove_all(directory); }

    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    // Samples that never repeat the first one, so none is dropped at start-up.
    static std::vector<uint8_t> Ramp(size_t count) {
        std::vector<uint8_t> samples(count);
        for (size_t i = 0; i < count; ++i) {
            samples[i] = static_cast<uint8_t>(60 + (i * 7) % 130);
        }
        return samples;
    }

    fs::path directory;
    std::string base;
    CRecordingOwner owner;
    CTapeDecoder decoder{&owner};
};

TEST_F(DumpReplayTest, EveryBufferGoesToTheNextNumberedFile) {
    Switch(decoder, true, false);
    const std::vector<uint8_t> buffer = Ramp(22000);
    for (int i = 0; i < 3; ++i) {
        decoder.ProcessBuffer(buffer.data(), 22000);
    }
    EXPECT_EQ(decoder.DumpNow().fileIndex, 3);
    for (const char* suffix : {".000", ".001", ".002"}) {
        EXPECT_EQ(fs::file_size(base + suffix), 22000u) << suffix;
    }
    EXPECT_EQ(owner.Records<record::DumpNote>().front(),
              (record::DumpNote{NoteKind::Dumped, base + ".000", 22000}));
    EXPECT_EQ(decoder.SampleTime(), 66000);  // dumped and decoded
}

TEST_F(DumpReplayTest, ReplayDecodesWholeChunksOnly) {
    WriteFile(base + ".000", Ramp(44000));
    WriteFile(base + ".001", Ramp(30000));
    WriteFile(base + ".002", Ramp(10000));
    Switch(decoder, true, true);  // dumping is ignored while replaying
    decoder.ProcessBuffer(nullptr, 0);
    EXPECT_EQ(decoder.SampleTime(), 44000);
    decoder.ProcessBuffer(nullptr, 0);
    EXPECT_EQ(decoder.SampleTime(), 66000);
    decoder.ProcessBuffer(nullptr, 0);
    EXPECT_EQ(decoder.SampleTime(), 66000);
    EXPECT_EQ(owner.Records<record::DumpNote>(),
              (std::vector<record::DumpNote>{{NoteKind::Replayed, base + ".000", 44000},
                                             {NoteKind::Replayed, base + ".001", 22000},
                                             {NoteKind::Replayed, base + ".002", 0}}));
    EXPECT_EQ(fs::file_size(base + ".000"), 44000u);  // nothing was dumped over it
}

TEST_F(DumpReplayTest, AMissingFileIsReportedAndSkipped) {
    WriteFile(base + ".001", Ramp(22000));
    Switch(decoder, false, true);
    const std::vector<uint8_t> ignored = Ramp(500);
    decoder.ProcessBuffer(ignored.data(), 500);
    EXPECT_EQ(decoder.SampleTime(), 0);
    decoder.ProcessBuffer(ignored.data(), 500);
    EXPECT_EQ(decoder.SampleTime(), 22000);
    EXPECT_EQ(decoder.DumpNow().fileIndex, 2);
    EXPECT_EQ(owner.Records<record::DumpNote>().front(),
              (record::DumpNote{NoteKind::NotFound, base + ".000", 0}));
}

TEST_F(DumpReplayTest, ADumpThatCannotBeWrittenIsLoggedAndTheBufferStillDecoded) {
    const std::string missing = (directory / "no-such-folder" / "sample1").string();
    decoder.ConfigureDump(DumpSettings{true, false, missing, 0});
    const std::vector<uint8_t> buffer = Ramp(1000);
    decoder.ProcessBuffer(buffer.data(), 1000);
    EXPECT_EQ(decoder.SampleTime(), 1000);
    EXPECT_EQ(decoder.DumpNow().fileIndex, 1);
    EXPECT_EQ(owner.Records<record::DumpNote>(),
              (std::vector<record::DumpNote>{{NoteKind::OpenFailed, missing + ".000"}}));
}

TEST_F(DumpReplayTest, AShortWriteIsLoggedWithTheFileName) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    // /dev/full takes the file name as a base: "/dev/full" + ".000" does not exist, so write
    // through a link in the test folder whose name ends in the number.
    fs::create_symlink("/dev/full", base + ".000");
    Switch(decoder, true, false);
    const std::vector<uint8_t> buffer = Ramp(22000);
    decoder.ProcessBuffer(buffer.data(), 22000);
    EXPECT_EQ(owner.Records<record::DumpNote>(),
              (std::vector<record::DumpNote>{{NoteKind::WriteFailed, base + ".000"}}));
    EXPECT_EQ(decoder.SampleTime(), 22000);
}

TEST_F(DumpReplayTest, ADumpedTapeReplaysToTheSameBlocks) {
    CTestTape tape;
    tape.AddCodeFile("dumped", 300, 7);
    TapeWear wear;
    wear.noiseRms = 0.015;
    wear.lowPassHz = 3000.0;
    wear.pause = 2.5;
    wear.trailSilence = 2.5;
    const std::vector<uint8_t> signal = CTapeSynth::RenderForDecoder(tape.Blocks(), wear);
    Switch(decoder, true, false);
    for (size_t at = 0; at < signal.size(); at += 22000) {
        const auto count = static_cast<int32_t>(std::min<size_t>(22000, signal.size() - at));
        decoder.ProcessBuffer(signal.data() + at, count);
    }
    ASSERT_EQ(owner.blocks.size(), 2u);

    CRecordingOwner replayOwner;
    CTapeDecoder replayer(&replayOwner);
    Switch(replayer, false, true);
    while (replayer.DumpNow().fileIndex < decoder.DumpNow().fileIndex) {
        replayer.ProcessBuffer(nullptr, 0);
    }
    // The short last buffer is not replayed; the blocks end well before it.
    EXPECT_EQ(replayOwner.blocks, owner.blocks);
}

TEST_F(DumpReplayTest, ARunningSeriesGoesOnCountingWhateverTheUserApplies) {
    const std::vector<uint8_t> buffer = Ramp(100);
    std::unique_ptr<CSampleDecoder> sample = CSampleDecoder::Create(&owner, DecoderSettings{});
    sample->ConfigureDump(DumpSettings{true, false, base, 4});
    sample->ProcessBuffer(buffer.data(), 100);
    // OK in the Options dialog hands back the series as it stood when the dialog opened.
    CSampleDecoder::Apply(sample, &owner, DecoderSettings{},
                          DumpSettings{true, false, base + "-other", 4});
    EXPECT_EQ(sample->DumpNow(), (DumpSettings{true, false, base, 5}));

    // Another mode brings another decoder, which goes on with the same series.
    DecoderSettings robust;
    robust.mode = DecoderMode::Robust;
    CSampleDecoder::Apply(sample, &owner, robust, DumpSettings{true, false, base, 4});
    ASSERT_NE(dynamic_cast<CRobustDecoder*>(sample.get()), nullptr);
    sample->ProcessBuffer(buffer.data(), 100);
    EXPECT_TRUE(fs::exists(base + ".005"));
    EXPECT_FALSE(fs::exists(base + ".006"));

    // Switched on anew, a mode takes the series given.
    sample->ConfigureDump(DumpSettings{false, false, base, 6});
    sample->ConfigureDump(DumpSettings{false, true, base, 2});
    EXPECT_EQ(sample->DumpNow().fileIndex, 2);
}

}  // namespace

#include "recording/RecordingDecode.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tape/TapeImageReader.h"
#include "tests/support/CliRun.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/SignalFile.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"
#include "tests/support/TimedTape.h"

namespace {
std::string DataPath(const std::string& name) {
    return CCliRun::DataDir() + "/recording_" + name;
}

// The recording decoded as the window decodes it: in short slices between its events.
void DecodeInSlices(CRecordingDecode& recording) {
    while (recording.DecodeFor(std::chrono::microseconds(200))) {
    }
}

// What the window lists, as an image keeps it: the blocks without their spans.
std::vector<BlockBody> Listed(const CRecordingOwner& owner) {
    std::vector<BlockBody> listed;
    for (const TapeItem& item : owner.timedBlocks) {
        listed.push_back(item.body);
    }
    for (const std::vector<uint8_t>& bytes : owner.blocks) {
        listed.push_back(RomBlock{bytes});
    }
    return listed;
}
}  // namespace

// The desktop program and `tapewise-cli decode` keep the same tape from one recording: the same
// rate policy, the same buffers, the same decoder. In archive mode that means the recording's own
// rate (at 22000 per second a 0-bit of 350 T-states is two samples, and every timing would come
// out other than recorded); in plain mode 22000 per second.
TEST(RecordingDecodeTest, TheWindowKeepsWhatTheCommandLineSaves) {
    const std::vector<BlockBody> turbo = {CTimedTape::Turbo(0xFF, 300, 21, 1200, 350),
                                          CTimedTape::Tone(1800, 400),
                                          CTimedTape::Turbo(0x55, 200, 22, 1500, 500)};
    CTestTape rom;
    rom.AddCodeFile("session", 900, 18);
    struct Case {
        const char* name;
        std::vector<float> signal;
        bool archive;
        size_t blocks;  // the turbo tape: a leading pause, two turbo blocks and a tone
    };
    const Case cases[] = {
        {"turbo44.tzx", CTapeSynth::RenderTimed(turbo, 44100.0, {}), true, 4},
        {"rom44.tap", CTapeSynth::Render(rom.Blocks(), 44100.0, TapeWear{}), false, 2},
    };
    for (const Case& tape : cases) {
        SCOPED_TRACE(tape.name);
        const std::string wav = DataPath(std::string(tape.name) + ".wav");
        ASSERT_TRUE(
            CSignalFile::WriteAudio(wav, tape.signal, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
        CRecordingOwner owner;
        DecoderSettings settings;
        settings.mode = tape.archive ? DecoderMode::Archive : DecoderMode::Plain;
        CRecordingDecode recording(&owner, settings);
        ASSERT_FALSE(recording.Open(wav).has_value());
        EXPECT_EQ(recording.DecoderRate(), tape.archive ? 44100 : 22000);
        DecodeInSlices(recording);

        const std::string saved = DataPath(tape.name);
        std::remove(saved.c_str());
        std::vector<std::string> arguments = {"decode", wav, "-o", saved};
        if (tape.archive) {
            arguments.push_back("--archive");
        }
        ASSERT_EQ(CCliRun::Run(arguments).exitCode, 0);
        std::vector<BlockBody> written;
        for (const TapeItem& item : ReadTapeImage(saved).blocks) {
            written.push_back(item.body);
        }
        EXPECT_EQ(written.size(), tape.blocks);
        EXPECT_TRUE(Listed(owner) == written);
    }
}

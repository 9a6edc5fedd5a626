#include "recording/RecordingDecode.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tape/TapeImageReader.h"
#include "tests/support/CliRun.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/SignalFile.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TimedTape.h"

// The desktop program and `tapewise-cli decode` must keep the same tape from one recording. In
// archive mode that means decoding at the recording's own rate in both: at 22000 per second a
// fast turbo block (a 0-bit of 350 T-states is two samples there) cannot be held, and every
// timing would come out other than the command-line tool writes it.
TEST(RecordingDecodeTest, ArchiveModeKeepsWhatTheCommandLineKeeps) {
    const std::vector<BlockBody> tape = {CTimedTape::Turbo(0xFF, 300, 21, 1200, 350),
                                         CTimedTape::Tone(1800, 400),
                                         CTimedTape::Turbo(0x55, 200, 22, 1500, 500)};
    const std::string wav = CCliRun::DataDir() + "/recording_turbo44.wav";
    ASSERT_TRUE(CSignalFile::WriteAudio(wav, CTapeSynth::RenderTimed(tape, 44100.0, {}), 44100, 1,
                                        SF_FORMAT_WAV | SF_FORMAT_PCM_16));

    CRecordingOwner owner;
    DecoderSettings settings;
    settings.mode = DecoderMode::Archive;
    CRecordingDecode recording(&owner, settings);
    ASSERT_FALSE(recording.Open(wav).has_value());
    recording.DecodeToEnd();

    const std::string tzx = CCliRun::DataDir() + "/recording_turbo44.tzx";
    std::remove(tzx.c_str());
    ASSERT_EQ(CCliRun::Run({"decode", "--archive", wav, "-o", tzx}).exitCode, 0);
    // The same blocks with the same timing (an image keeps no spans).
    const std::vector<TapeItem> written = ReadTapeImage(tzx).blocks;
    ASSERT_EQ(written.size(), owner.timedBlocks.size());
    int turboBlocks = 0;
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(written[i].body, owner.timedBlocks[i].body) << i;
        turboBlocks += std::holds_alternative<TurboBlock>(written[i].body) ? 1 : 0;
    }
    EXPECT_EQ(turboBlocks, 2);
}

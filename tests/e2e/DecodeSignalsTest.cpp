// tapewise-cli decode on tape signals degraded the way cassettes degrade, in the audio formats
// people record them in. Each case renders a tape at test time, decodes it with the real program
// and compares the written image with the source byte for byte.
#include <sndfile.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/CliRun.h"
#include "tests/support/SignalFile.h"
#include "tests/support/TapeSynth.h"

namespace {
std::string DataPath(const std::string& name) {
    return CCliRun::DataDir() + "/e2e_" + name;
}

// Headers, data, a headerless block with every byte value, and blocks of 1, 2 and 3 bytes.
CTestTape MixedTape() {
    CTestTape tape;
    tape.AddCodeFile("game", 700, 31);
    std::vector<uint8_t> everyByte;
    for (int value = 0; value < 256; ++value) {
        everyByte.push_back(static_cast<uint8_t>(value));
    }
    tape.AddBlock(0xAA, everyByte);
    tape.AddBlock(0xFF, {});
    tape.AddBlock(0xFF, {0x00});
    tape.AddCodeFile("zeros", 40, 32);
    return tape;
}

struct SignalCase {
    const char* name;
    TapeWear wear;
    int rate = 22000;
    int channels = 1;
    int format = 0;  // 0: raw unsigned 8-bit at 22000/s
    std::vector<std::string> options;
};

SignalCase Case(const char* name, const TapeWear& wear, int rate = 22000, int channels = 1,
                int format = 0, std::vector<std::string> options = {}) {
    return SignalCase{name, wear, rate, channels, format, std::move(options)};
}

TapeWear Worn(void (*change)(TapeWear&)) {
    TapeWear wear;
    wear.lowPassHz = 8000.0;
    change(wear);
    return wear;
}

std::string WriteSignal(const SignalCase& signal, const CTestTape& tape) {
    const std::vector<float> samples =
        CTapeSynth::Render(tape.Blocks(), static_cast<double>(signal.rate), signal.wear);
    if (signal.format == 0) {
        const std::string path = DataPath(std::string(signal.name) + ".raw");
        CSignalFile::WriteRaw(path, CTapeSynth::ToUnsigned8(samples));
        return path;
    }
    const bool flac = (signal.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC;
    const std::string path = DataPath(std::string(signal.name) + (flac ? ".flac" : ".wav"));
    EXPECT_TRUE(
        CSignalFile::WriteAudio(path, samples, signal.rate, signal.channels, signal.format));
    return path;
}

class DecodeSignalsTest : public ::testing::TestWithParam<SignalCase> {};
}  // namespace

TEST_P(DecodeSignalsTest, LoadsEveryBlockByteForByte) {
    const SignalCase& signal = GetParam();
    const CTestTape tape = MixedTape();
    const std::string input = WriteSignal(signal, tape);
    const std::string output = DataPath(std::string(signal.name) + ".tap");
    std::vector<std::string> arguments = {"decode", input, "-o", output};
    arguments.insert(arguments.end(), signal.options.begin(), signal.options.end());

    const CliResult result = CCliRun::Run(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(CTestTape::ReadTap(output), tape.Blocks()) << result.err;
    EXPECT_EQ(result.OutLines().size(), tape.Blocks().size()) << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cassettes, DecodeSignalsTest,
    ::testing::Values(Case("clean", Worn([](TapeWear&) {})),
                      Case("wav44k_stereo16", Worn([](TapeWear& w) { w.noiseRms = 0.01; }), 44100,
                           2, SF_FORMAT_WAV | SF_FORMAT_PCM_16),
                      Case("flac48k", Worn([](TapeWear& w) { w.lowPassHz = 6000.0; }), 48000, 1,
                           SF_FORMAT_FLAC | SF_FORMAT_PCM_16),
                      Case("float22k", Worn([](TapeWear&) {}), 22000, 1,
                           SF_FORMAT_WAV | SF_FORMAT_FLOAT),
                      Case("float96k", Worn([](TapeWear& w) { w.speed = 0.98; }), 96000, 1,
                           SF_FORMAT_WAV | SF_FORMAT_FLOAT),
                      Case("band_3k5_to_300", Worn([](TapeWear& w) {
                               w.lowPassHz = 3500.0;
                               w.highPassHz = 300.0;
                           })),
                      Case("hiss_snr30", Worn([](TapeWear& w) { w.noiseRms = 0.019; })),
                      Case("slow_5pc", Worn([](TapeWear& w) { w.speed = 0.95; })),
                      Case("fast_5pc", Worn([](TapeWear& w) { w.speed = 1.05; })),
                      Case("wow", Worn([](TapeWear& w) {
                               w.wowDepth = 0.015;
                               w.wowHz = 0.7;
                           })),
                      Case("inverted_max_first", Worn([](TapeWear& w) { w.inverted = true; }),
                           22000, 1, 0, {"--max-first"}),
                      Case("low_level", Worn([](TapeWear& w) { w.amplitude = 0.04; })),
                      Case("worn_cassette", Worn([](TapeWear& w) {
                               w.speed = 0.97;
                               w.wowDepth = 0.008;
                               w.lowPassHz = 4500.0;
                               w.highPassHz = 150.0;
                               w.amplitude = 0.3;
                               w.noiseRms = 0.015;
                               w.inverted = true;
                           }),
                           44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {"--max-first"})),
    [](const ::testing::TestParamInfo<SignalCase>& param) {
        return std::string(param.param.name);
    });

// A signal rendered by an independent tool of the field: fuse-emulator-utils' tape2wav at
// 350000/s (exact ROM timing there), brought to 44100/s 16-bit by sox.
TEST(PeerRenderedSignalTest, Tape2wavThroughSox) {
    if (std::system("command -v tape2wav >/dev/null && command -v sox >/dev/null") != 0) {
        GTEST_SKIP() << "tape2wav or sox is not installed (scripts/install-deps.sh installs them)";
    }
    const CTestTape tape = MixedTape();
    const std::string tap = DataPath("peer_source.tap");
    CTestTape::WriteFile(tap, tape.TapBytes());
    const std::string master = DataPath("peer_master.wav");
    const std::string wav = DataPath("peer_44k.wav");
    const std::string render = "tape2wav -r 350000 '" + tap + "' '" + master + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(render.c_str()), 0);
    const std::string resample =
        "sox -D '" + master + "' -r 44100 -b 16 '" + wav + "' gain -6 lowpass 8000 >/dev/null 2>&1";
    ASSERT_EQ(std::system(resample.c_str()), 0);

    const std::string output = DataPath("peer_decoded.tap");
    const CliResult result = CCliRun::Run({"decode", wav, "-o", output});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(CTestTape::ReadTap(output), tape.Blocks()) << result.err;
}

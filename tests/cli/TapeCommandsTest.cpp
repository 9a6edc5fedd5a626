// tapewise-cli list, convert and screen, run as a user runs them.
#include <gtest/gtest.h>
#include <png.h>
#include <sndfile.h>

#include "tape/ScreenPicture.h"
#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"
#include "tests/support/CliRun.h"
#include "tests/support/SignalFile.h"
#include "tests/tape/TapeTestData.h"

using namespace tapetest;
namespace fs = std::filesystem;

namespace {
std::vector<uint8_t> Tzx(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> file = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
    for (const auto& part : parts) {
        file.insert(file.end(), part.begin(), part.end());
    }
    return file;
}

std::vector<uint8_t> TzxTurbo(const std::vector<uint8_t>& data) {
    // The ROM's timing, spelt out.
    std::vector<uint8_t> block = {0x11, 0x78, 0x08, 0x9B, 0x02, 0xDF, 0x02, 0x57,
                                  0x03, 0xAE, 0x06, 0x97, 0x0C, 8,    0xE8, 0x03};
    for (int i = 0; i < 3; ++i) {
        block.push_back(static_cast<uint8_t>(data.size() >> (8 * i)));
    }
    block.insert(block.end(), data.begin(), data.end());
    return block;
}

// A screen whose pixels and attributes differ everywhere, so that any misplaced byte shows.
std::vector<uint8_t> PatternedScreen(uint8_t seed) {
    std::vector<uint8_t> block = DataBytes(0xFF, 6914, seed);
    for (size_t i = 1; i < 6913; ++i) {
        block[i] = static_cast<uint8_t>((i * 131 + seed) ^ (i >> 5));
    }
    return block;
}

// The RGB pixels of a PNG file, empty when it is no 256 x 192 RGB picture.
std::vector<Rgb> ReadPng(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
    const bool ok = image.width == 256 && image.height == 192 &&
                    png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr);
    png_image_free(&image);
    std::vector<Rgb> pixels;
    for (size_t i = 0; ok && i + 2 < buffer.size(); i += 3) {
        pixels.push_back({buffer[i], buffer[i + 1], buffer[i + 2]});
    }
    return pixels;
}
}  // namespace

TEST(ListCommand, PrintsOneTabSeparatedLinePerEntryOfEveryFile) {
    const fs::path dir = TestDirectory();
    ASSERT_EQ(SaveTapeImage((dir / "a.tap").string(),
                            {BlockOf(HeaderBytes(3, "screen", 6912)), BlockOf({0xFF, 0x55})}),
              std::nullopt);
    CTestTape::WriteFile(dir / "b.tzx", Tzx({{0x30, 2, 'h', 'i'}, TzxTurbo({0x0A, 1, 2})}));
    const CliResult result =
        CCliRun::Run({"list", (dir / "a.tap").string(), (dir / "b.tzx").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "code\t00\t17\tscreen    \t6912\n"
              "\tFF\t0\t\t\n"
              "tzx\t\t\t0x30 text description, 3 bytes\t\n"
              "turbo\t0A\t1\tpilot 3223 x 2168, sync 667/735, bits 855/1710\t\n");
}

TEST(ListCommand, UnreadableAndCutFilesFailButListWhatWasRead) {
    const fs::path dir = TestDirectory();
    CTestTape::WriteFile(dir / "cut.tap", {2, 0, 0xFF, 0xFF, 5, 0, 0xFF});
    const std::string missing = (dir / "missing.tap").string();
    const CliResult result = CCliRun::Run({"list", missing, (dir / "cut.tap").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "\tFF\t0\t\t\n");
    EXPECT_NE(result.err.find("Cannot open " + missing + ": No such file or directory"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("ends inside record 2"), std::string::npos) << result.err;
}

TEST(ConvertCommand, JoinsInputsInOrderInTheLayoutOfTheOutputName) {
    const fs::path dir = TestDirectory();
    const std::vector<TapeItem> first = {BlockOf(HeaderBytes(0, "run", 4)),
                                         BlockOf(DataBytes(0xFF, 6))};
    const std::vector<uint8_t> turboData = DataBytes(0xFF, 300, 4);
    ASSERT_EQ(SaveTapeImage((dir / "one.tap").string(), first), std::nullopt);
    // A loop around the turbo block: a TZX keeps it, a TAP cannot.
    const std::vector<uint8_t> loopStart = {0x24, 2, 0};
    CTestTape::WriteFile(dir / "two.tzx",
                         Tzx({loopStart, TzxTurbo(turboData), {0x25}, {0x20, 0, 0}}));
    std::vector<TapeItem> joined = first;
    for (BlockBody body :
         std::vector<BlockBody>{KeptTzxBlock{loopStart}, TurboBlock{.bytes = turboData},
                                KeptTzxBlock{{0x25}}, Pause{0}}) {
        joined.push_back({std::move(body), {}, {}});
    }

    for (const char* name : {"out.TZX", "out.tap", "out.Tzx"}) {
        const CliResult result = CCliRun::Run({"convert", (dir / "one.tap").string(),
                                               (dir / "two.tzx").string(), (dir / name).string()});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(CTestTape::ReadFile(dir / name), EncodeTapeImage(LayoutForPath(name), joined))
            << name;
        EXPECT_EQ(result.err.find("2 other TZX blocks") != std::string::npos,
                  LayoutForPath(name) == TapeLayout::Tap)
            << result.err;
    }
}

TEST(ConvertCommand, NothingIsWrittenWhenAnInputIsDamagedOrABlockTooLong) {
    const fs::path dir = TestDirectory();
    const std::vector<uint8_t> old = {2, 0, 0xFF, 0xFF};
    CTestTape::WriteFile(dir / "out.tap", old);
    CTestTape::WriteFile(dir / "cut.tap", {2, 0, 0xFF, 0xFF, 5, 0, 0xFF});
    const CliResult cut =
        CCliRun::Run({"convert", (dir / "cut.tap").string(), (dir / "out.tap").string()});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_NE(cut.err.find("out.tap not written"), std::string::npos) << cut.err;

    CTestTape::WriteFile(dir / "long.tzx", Tzx({TzxTurbo(DataBytes(0xFF, 70000))}));
    const CliResult tooLong =
        CCliRun::Run({"convert", (dir / "long.tzx").string(), (dir / "out.tap").string()});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_NE(tooLong.err.find("block 1 of 1 is 70000 bytes long"), std::string::npos)
        << tooLong.err;
    EXPECT_EQ(CTestTape::ReadFile(dir / "out.tap"), old);

    const CliResult unwritable =
        CCliRun::Run({"convert", (dir / "out.tap").string(), (dir / "none" / "x.tzx").string()});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("No such file or directory"), std::string::npos);
}

// Standard output ("-", /dev/stdout) gets the image and nothing else; any other path is a file
// replaced whole, /proc/self/cwd/... and a name of 250 characters included.
TEST(ConvertCommand, OutputIsTheImageAloneAndEveryOtherPathAFile) {
    const fs::path dir = TestDirectory();
    const std::vector<TapeItem> blocks = {BlockOf(HeaderBytes(0, "run", 4)),
                                          BlockOf(DataBytes(0xFF, 6))};
    ASSERT_EQ(SaveTapeImage((dir / "in.tap").string(), blocks), std::nullopt);
    const std::vector<uint8_t> tap = EncodeTapeImage(TapeLayout::Tap, blocks);
    for (const char* output : {"-", "/dev/stdout"}) {
        const CliResult result = CCliRun::Run({"convert", (dir / "in.tap").string(), output});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, std::string(tap.begin(), tap.end())) << output;
        EXPECT_NE(result.err.find("2 block(s), TAP layout"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(dir / "-"));

    CTestTape::WriteFile(dir / "old.tap", DataBytes(0xFF, 40));
    const std::string longName(246, 'n');
    for (const std::string& output : {std::string("/proc/self/cwd/old.tap"), longName + ".tap"}) {
        const CliResult result = CCliRun::Run({"convert", "in.tap", output}, "", dir.string());
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(CTestTape::ReadFile(dir / fs::path(output).filename()), tap) << output;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3);
}

TEST(ScreenCommand, DrawsTheNthScreenBlockAsAPng) {
    const fs::path dir = TestDirectory();
    const std::vector<uint8_t> second = PatternedScreen(7);
    std::vector<uint8_t> notAScreen = PatternedScreen(3);
    notAScreen[0] = 0x00;
    ASSERT_EQ(SaveTapeImage((dir / "s.tzx").string(),
                            {BlockOf(PatternedScreen(1)), BlockOf(notAScreen),
                             BlockOf(HeaderBytes(3, "pic", 6912)), BlockOf(second)}),
              std::nullopt);
    const CliResult result =
        CCliRun::Run({"screen", (dir / "s.tzx").string(), "1", (dir / "p.png").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadPng(dir / "p.png"), ScreenPicture(second.data()));

    const CliResult beyond =
        CCliRun::Run({"screen", (dir / "s.tzx").string(), "2", (dir / "q.png").string()});
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_NE(beyond.err.find("holds 2 screen block(s); there is no screen 2"), std::string::npos)
        << beyond.err;
    EXPECT_FALSE(fs::exists(dir / "q.png"));
}

TEST(ScreenCommand, UsageErrorsAndUnreadableInput) {
    const fs::path dir = TestDirectory();
    for (const char* number : {"-1", "x", "1x", ""}) {
        EXPECT_EQ(CCliRun::Run({"screen", "a.tap", number, "p.png"}).exitCode, 2) << number;
    }
    EXPECT_EQ(CCliRun::Run({"screen", "a.tap", "0"}).exitCode, 2);
    const CliResult missing =
        CCliRun::Run({"screen", (dir / "none.tap").string(), "0", (dir / "p.png").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.tap: No such file or directory"), std::string::npos);
}

TEST(TapeCommands, HelpAndUsage) {
    const fs::path dir = TestDirectory();
    for (const char* command : {"list", "convert", "screen"}) {
        const CliResult help = CCliRun::Run({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("Usage: tapewise-cli ") + command, 0), 0u) << command;
        const CliResult bare = CCliRun::Run({command});
        EXPECT_EQ(bare.exitCode, 2) << command;
        EXPECT_NE(bare.err.find("Usage:"), std::string::npos) << command;
    }
    EXPECT_EQ(CCliRun::Run({"convert", "only-one.tap"}).exitCode, 2);
}

// convert and screen never write over one of their inputs, however it is named, nor over a
// recording; output lost on a full standard output fails the command.
TEST(TapeCommands, OutputsThatWouldLoseDataAreRefusedAndAFullStandardOutputFails) {
    const fs::path dir = TestDirectory();
    const std::string tape = (dir / "s.tap").string();
    ASSERT_EQ(
        SaveTapeImage(tape, {BlockOf(HeaderBytes(3, "pic", 6912)), BlockOf(PatternedScreen(2))}),
        std::nullopt);
    const auto tapeBytes = CTestTape::ReadFile(tape);
    fs::create_symlink(tape, dir / "alias.tap");
    const std::string alias = (dir / "alias.tap").string();
    const std::string recording = (dir / "take.wav").string();
    ASSERT_TRUE(CSignalFile::WriteAudio(recording, std::vector<float>(2000, 0.25f), 22000, 1,
                                        SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const auto recordingBytes = CTestTape::ReadFile(recording);
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"convert", tape, (dir / "other.tap").string(), tape},
             {"convert", tape, alias},
             {"screen", tape, "0", alias},
             {"convert", tape, recording},
             {"screen", tape, "0", recording}}) {
        const CliResult result = CCliRun::Run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments.back();
        EXPECT_NE(result.err.find("Cannot write " + arguments.back() + ": it "), std::string::npos)
            << result.err;
    }
    EXPECT_EQ(CTestTape::ReadFile(tape), tapeBytes);
    EXPECT_TRUE(fs::is_symlink(alias));
    EXPECT_EQ(CTestTape::ReadFile(recording), recordingBytes);

    const CliResult full = CCliRun::Run({"list", tape}, "sh -c 'exec \"$0\" \"$@\" >/dev/full'");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("cannot write standard output"), std::string::npos) << full.err;
}

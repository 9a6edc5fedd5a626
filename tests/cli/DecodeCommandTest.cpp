#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/CliRun.h"
#include "tests/support/SignalFile.h"
#include "tests/support/TapeSynth.h"

namespace {
std::string DataPath(const std::string& name) {
    return CCliRun::DataDir() + "/cmd_" + name;
}

CTestTape TwoFiles() {
    CTestTape tape;
    tape.AddCodeFile("alpha", 200, 21);
    tape.AddCodeFile("beta", 90, 22);
    return tape;
}

std::vector<uint8_t> CleanSignal(const CTestTape& tape) {
    TapeWear wear;
    wear.lowPassHz = 7000.0;
    return CTapeSynth::RenderForDecoder(tape.Blocks(), wear);
}

// The tape as raw samples, written once per test process. Tests run as parallel processes, so
// the file is written under a name of its own and renamed into place whole.
const std::string& RawTape() {
    static const std::string path = [] {
        const std::string name = DataPath("two_files.raw");
        const std::string part = name + "." + std::to_string(::getpid()) + ".part";
        CSignalFile::WriteRaw(part, CleanSignal(TwoFiles()));
        std::filesystem::rename(part, name);
        return name;
    }();
    return path;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

constexpr uint8_t kDataChunk[] = {'d', 'a', 't', 'a'};

const std::vector<std::string> kTwoFilesLines = {"code\t00\t17\talpha     \t200", "\tFF\t200\t\t",
                                                 "code\t00\t17\tbeta      \t90", "\tFF\t90\t\t"};

// Runs tapewise-cli with its standard input read from the file.
CliResult RunWithInput(const std::vector<std::string>& arguments, const std::string& input) {
    return CCliRun::Run(arguments, "sh -c 'exec \"$0\" \"$@\" <" + input + "'");
}

// Writes the bytes into the FIFO once a reader has opened it (giving up after 20 s), then keeps
// it open until `release` is set, so that the reader sees no end of input.
std::thread FeedFifo(const std::string& fifo, std::vector<uint8_t> bytes,
                     const std::atomic<bool>& release) {
    return std::thread([fifo, bytes = std::move(bytes), &release] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int fd = -1;
        while ((fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (fd < 0) {
            return;
        }
        fcntl(fd, F_SETFL, 0);
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t count = write(fd, bytes.data() + at, bytes.size() - at);
            if (count <= 0) {
                break;
            }
            at += static_cast<size_t>(count);
        }
        while (!release && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        close(fd);
    });
}

std::string NewFifo(const std::string& name) {
    const std::string path = DataPath(name);
    std::filesystem::remove(path);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}
}  // namespace

TEST(DecodeCommandTest, EntriesOnStdoutMessagesOnStderrImageByTheBook) {
    const std::string tap = DataPath("out.tap");
    const CliResult result = CCliRun::Run({"decode", RawTape(), "-o", tap});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.OutLines(),
              (std::vector<std::string>{"code\t00\t17\talpha     \t200", "\tFF\t200\t\t",
                                        "code\t00\t17\tbeta      \t90", "\tFF\t90\t\t"}));
    EXPECT_EQ(result.ErrLines(),
              (std::vector<std::string>{"Loading data ...", "Load sucessful for 19 bytes block",
                                        "Loading data ...", "Load sucessful for 202 bytes block",
                                        "Loading data ...", "Load sucessful for 19 bytes block",
                                        "Loading data ...", "Load sucessful for 92 bytes block"}));
    EXPECT_EQ(CTestTape::ReadFile(tap), TwoFiles().TapBytes());

    // With the image on standard output, the entries join the messages on standard error.
    const auto image = TwoFiles().TapBytes();
    for (const char* output : {"-", "/dev/stdout"}) {
        const CliResult piped = CCliRun::Run({"decode", RawTape(), "-o", output});
        EXPECT_EQ(piped.exitCode, 0) << piped.err;
        EXPECT_EQ(piped.out, std::string(image.begin(), image.end())) << output;
        EXPECT_TRUE(Contains(piped.err, "Loading data ...\ncode\t00\t17\talpha     \t200\n"))
            << piped.err;
    }
    EXPECT_FALSE(std::filesystem::exists(CCliRun::DataDir() + "/-"));
}

TEST(DecodeCommandTest, TzxByExtensionAndNothingWrittenWithoutOutput) {
    const std::string tzx = DataPath("out.tzx");
    ASSERT_EQ(CCliRun::Run({"decode", "-o", tzx, RawTape()}).exitCode, 0);
    const auto bytes = CTestTape::ReadFile(tzx);
    ASSERT_GE(bytes.size(), 10u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 7), "ZXTape!");
    EXPECT_EQ(bytes.size(), 10u + TwoFiles().TapBytes().size() + 4u * 3u);

    // Run in a directory of its own: afterwards it holds the input and nothing else.
    const std::string alone = DataPath("nothing_written");
    std::filesystem::remove_all(alone);
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(RawTape(), alone + "/tape.raw");
    ASSERT_EQ(CCliRun::Run({"decode", "tape.raw"}, "", alone).exitCode, 0);
    const auto files = std::filesystem::directory_iterator(alone);
    EXPECT_EQ(std::distance(files, {}), 1);
}

// A dump series (NAME.NNN, one second per file) and the same samples split at odd places decode
// as one continuous signal, exactly like the single file.
TEST(DecodeCommandTest, SeveralInputsAreOneSignal) {
    const auto samples = CleanSignal(TwoFiles());
    const CliResult single = CCliRun::Run({"decode", RawTape()});
    std::vector<std::string> dump = {"decode"};
    for (const std::string& name : CSignalFile::WriteDumpSeries(DataPath("take"), samples, 22000)) {
        dump.push_back(name);
    }
    const CliResult series = CCliRun::Run(dump);
    ASSERT_EQ(series.exitCode, 0) << series.err;
    EXPECT_EQ(series.out, single.out);
    EXPECT_EQ(series.err, single.err);

    std::vector<std::string> odd = {"decode", "--raw"};
    for (const std::string& name : CSignalFile::WriteDumpSeries(DataPath("odd"), samples, 12345)) {
        std::filesystem::rename(name, name + ".bin");
        odd.push_back(name + ".bin");
    }
    const CliResult pieces = CCliRun::Run(odd);
    ASSERT_EQ(pieces.exitCode, 0) << pieces.err;
    EXPECT_EQ(pieces.out, single.out);
}

TEST(DecodeCommandTest, ChannelOption) {
    const auto tape = CTapeSynth::Render(TwoFiles().Blocks(), 22000.0, TapeWear{});
    const std::vector<float> hum(tape.size(), 0.0f);
    const std::string stereo = DataPath("left_only.wav");
    ASSERT_TRUE(
        CSignalFile::WriteStereo(stereo, tape, hum, 22000, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    EXPECT_EQ(CCliRun::Run({"decode", "--channel", "left", stereo}).OutLines().size(), 4u);
    EXPECT_EQ(CCliRun::Run({"decode", "--channel=right", stereo}).OutLines().size(), 0u);
    EXPECT_EQ(CCliRun::Run({"decode", stereo}).OutLines().size(), 4u) << "mixed at half level";
}

TEST(DecodeCommandTest, NothingLoadedIsStillSuccess) {
    const std::string quiet = DataPath("quiet.raw");
    CSignalFile::WriteRaw(quiet, std::vector<uint8_t>(66000, 128));
    const CliResult result = CCliRun::Run({"decode", quiet});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");

    // An empty raw file is read without trouble, but the user is told it held nothing.
    const std::string empty = DataPath("empty.raw");
    CSignalFile::WriteRaw(empty, {});
    const CliResult nothing = CCliRun::Run({"decode", empty});
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_TRUE(Contains(nothing.err, empty + ": no samples in it")) << nothing.err;

    // With nothing loaded, an older output is left as it was, and no new one is made.
    const std::string older = DataPath("older.tap");
    CTestTape::WriteFile(older, TwoFiles().TapBytes());
    const CliResult kept = CCliRun::Run({"decode", quiet, "-o", older});
    EXPECT_EQ(kept.exitCode, 0);
    EXPECT_TRUE(Contains(kept.err, "no block loaded; " + older + " left as it was")) << kept.err;
    EXPECT_EQ(CTestTape::ReadFile(older), TwoFiles().TapBytes());
    const std::string fresh = DataPath("fresh.tap");
    std::filesystem::remove(fresh);
    EXPECT_TRUE(Contains(CCliRun::Run({"decode", quiet, "-o", fresh}).err, fresh + " not written"));
    EXPECT_FALSE(std::filesystem::exists(fresh));
}

TEST(DecodeCommandTest, InputsThatCannotBeRead) {
    const std::string empty = DataPath("empty.wav");
    CSignalFile::WriteRaw(empty, {});
    const std::string random = DataPath("random.wav");
    CSignalFile::WriteRaw(random, CTestTape::RandomBytes(100000, 5));
    const std::string headerOnly = DataPath("header_only.wav");
    ASSERT_TRUE(CSignalFile::WriteAudio(DataPath("full.wav"), std::vector<float>(40000, 0.1f),
                                        44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    auto full = CTestTape::ReadFile(DataPath("full.wav"));
    CSignalFile::WriteRaw(headerOnly, std::vector<uint8_t>(full.begin(), full.begin() + 30));
    // An Ogg cut inside its headers: the library refuses it (and must not take the run down).
    const std::string cutOgg = DataPath("cut.ogg");
    ASSERT_TRUE(CSignalFile::WriteAudio(cutOgg, std::vector<float>(100000, 0.1f), 44100, 2,
                                        SF_FORMAT_OGG | SF_FORMAT_VORBIS));
    auto ogg = CTestTape::ReadFile(cutOgg);
    ASSERT_GT(ogg.size(), 1000u);
    ogg.resize(1000);
    CTestTape::WriteFile(cutOgg, ogg);
    const std::string directory = CCliRun::DataDir();

    for (const std::string& path : {DataPath("missing.wav"), DataPath("missing.raw"), empty, random,
                                    headerOnly, cutOgg, directory}) {
        const std::string tap = DataPath("never.tap");
        const CliResult result = CCliRun::Run({"decode", path, "-o", tap});
        EXPECT_EQ(result.exitCode, 1) << path;
        EXPECT_TRUE(Contains(result.err, path + ": ")) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(std::filesystem::exists(tap)) << "nothing is written when an input is bad";
        // Under the sanitizers a leak also ends with status 1: only the report tells.
        EXPECT_FALSE(Contains(result.err, "Sanitizer")) << result.err;
    }
    EXPECT_TRUE(Contains(CCliRun::Run({"decode", directory}).err, directory + ": Is a directory"));
    // Every bad input is named, not just the first.
    const CliResult both = CCliRun::Run({"decode", empty, RawTape(), random});
    EXPECT_EQ(both.exitCode, 1);
    EXPECT_TRUE(Contains(both.err, empty) && Contains(both.err, random)) << both.err;
}

// A recording whose data stops short of what its header announces decodes what it holds, saves
// it, says where it ends and fails: a WAV or AIFF cut inside the last block, a FLAC cut after
// its header.
TEST(DecodeCommandTest, CutRecordingsDecodeWhatIsThereAndFail) {
    const auto signal = CTapeSynth::Render(TwoFiles().Blocks(), 22000.0, TapeWear{});
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_PCM_16}) {
        const std::string whole = DataPath("whole.audio");
        ASSERT_TRUE(CSignalFile::WriteAudio(whole, signal, 22000, 1, format));
        const auto bytes = CTestTape::ReadFile(whole);
        const std::string cut = DataPath("cut.audio");
        const std::string tap = DataPath("cut.tap");
        CSignalFile::WriteRaw(cut,
                              std::vector<uint8_t>(bytes.begin(), bytes.end() - 2 * 11000 - 1));
        const CliResult result = CCliRun::Run({"decode", cut, "-o", tap});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, cut + ": cut short: it ends at ")) << result.err;
        const auto lines = result.OutLines();
        ASSERT_EQ(lines.size(), 4u) << result.out;
        EXPECT_EQ(lines[3].rfind("error\tFF\t", 0), 0u) << lines[3];
        EXPECT_EQ(CTestTape::ReadFile(tap).size(), 19u + 2 + 202 + 2 + 19 + 2) << "blocks saved";
        const CliResult full = CCliRun::Run({"decode", whole});
        EXPECT_EQ(full.exitCode, 0);
        EXPECT_FALSE(Contains(full.err, "cut short")) << full.err;
    }
    // A recorder writing to a pipe cannot know the length: its largest size claims nothing.
    const std::string whole = DataPath("streamed.wav");
    ASSERT_TRUE(CSignalFile::WriteAudio(whole, signal, 22000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    auto streamed = CTestTape::ReadFile(whole);
    const auto data = std::search(streamed.begin(), streamed.end(), kDataChunk, kDataChunk + 4);
    ASSERT_NE(data, streamed.end());
    std::fill(data + 4, data + 8, 0xFF);
    CTestTape::WriteFile(whole, streamed);
    for (const CliResult& result :
         {CCliRun::Run({"decode", whole}), RunWithInput({"decode", "-"}, whole)}) {
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.OutLines(), kTwoFilesLines);
    }

    const std::string flac = DataPath("header_only.flac");
    ASSERT_TRUE(CSignalFile::WriteAudio(flac, signal, 22000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    auto bytes = CTestTape::ReadFile(flac);
    // "fLaC", then metadata blocks: a last-block flag and type byte, a 24-bit length, the body.
    size_t at = 4;
    for (bool last = false; !last && at + 4 <= bytes.size();) {
        last = (bytes[at] & 0x80) != 0;
        at += 4 + (size_t{bytes[at + 1]} << 16 | size_t{bytes[at + 2]} << 8 | bytes[at + 3]);
    }
    bytes.resize(at);
    CTestTape::WriteFile(flac, bytes);
    const CliResult headerOnly = CCliRun::Run({"decode", flac});
    EXPECT_EQ(headerOnly.exitCode, 1);
    EXPECT_TRUE(Contains(headerOnly.err, flac + ": cut short: it ends at 0.00 s"))
        << headerOnly.err;
}

// decode and live -o find out before they decode anything that the output would destroy an
// input or a recording, or cannot be written; nothing is touched.
TEST(DecodeCommandTest, OutputsThatWouldLoseDataAreRefusedBeforeDecoding) {
    const std::string wav = DataPath("keep.wav");
    ASSERT_TRUE(CSignalFile::WriteAudio(wav, CTapeSynth::Render(TwoFiles().Blocks(), 22000.0, {}),
                                        22000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const auto wavBytes = CTestTape::ReadFile(wav);
    const std::string link = DataPath("keep_link.tap");
    std::filesystem::remove(link);
    std::filesystem::create_symlink(wav, link);
    const std::string other = DataPath("other_take.raw");
    CSignalFile::WriteRaw(other, {128, 128, 129});
    const std::string noDir = DataPath("no/such/dir/out.tap");

    for (const auto& [output, reason] : std::vector<std::pair<std::string, std::string>>{
             {wav, "it is the input " + wav + " itself"},
             {link, "it is the input " + wav + " itself"},
             {other, "it holds raw sound samples"},
             {noDir, "No such file or directory"}}) {
        const CliResult result = CCliRun::Run({"decode", wav, "-o", output});
        EXPECT_EQ(result.exitCode, 1) << output;
        EXPECT_TRUE(Contains(result.err, "Cannot write " + output + ": " + reason)) << result.err;
        EXPECT_EQ(result.out, "") << "nothing is decoded";
    }
    // Another recording is no input, but tape data over it would lose it all the same.
    const CliResult overRecording = CCliRun::Run({"decode", RawTape(), "-o", wav});
    EXPECT_EQ(overRecording.exitCode, 1);
    EXPECT_TRUE(Contains(overRecording.err, "holds a sound recording")) << overRecording.err;
    const CliResult live = CCliRun::Run({"live", "-o", wav});
    EXPECT_EQ(live.exitCode, 1);
    EXPECT_TRUE(Contains(live.err, "holds a sound recording")) << live.err;
    EXPECT_TRUE(Contains(CCliRun::Run({"live", "-o", noDir}).err, noDir + ": No such file"));
    EXPECT_EQ(CTestTape::ReadFile(wav), wavBytes);
    EXPECT_EQ(CTestTape::ReadFile(other), (std::vector<uint8_t>{128, 128, 129}));
}

TEST(DecodeCommandTest, UsageErrors) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"decode"},
                                               {"decode", "-o", "x.tap"},
                                               {"decode", "--bit0", "14:5", "x.raw"},
                                               {"decode", "--leader", "36:36", "x.raw"},
                                               {"decode", "--filter", "101", "x.raw"},
                                               {"decode", "--decay", "200", "x.raw"},
                                               {"decode", "--delay", "x.raw"},
                                               {"decode", "--channel", "middle", "x.raw"},
                                               {"decode", "--frobnicate", "x.raw"},
                                               {"decode", "x.raw", "-o"}}) {
        const CliResult result = CCliRun::Run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.back();
        EXPECT_TRUE(Contains(result.err, "tapewise-cli decode --help")) << result.err;
    }
    const CliResult help = CCliRun::Run({"decode", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "--max-first") && Contains(help.out, "--bit1 MIN:MAX"));
    const CliResult version = CCliRun::Run({"decode", "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(Contains(version.out, "tapewise-cli"));
}

TEST(DecodeCommandTest, DebugLinesOnlyWithTapewiseDebug) {
    EXPECT_FALSE(Contains(CCliRun::Run({"decode", RawTape()}).err, "file complete"));
    const CliResult debug = CCliRun::Run({"decode", RawTape()}, "TAPEWISE_DEBUG=1");
    EXPECT_TRUE(Contains(debug.err, "file complete, 19 bytes\n")) << debug.err;
}

TEST(DecodeCommandTest, RobustModeLoadsAHissyRecordingOfTheOtherPolarity) {
    TapeWear wear;
    wear.lowPassHz = 4000.0;
    wear.inverted = true;
    wear.noiseRms = 0.12;
    wear.seed = 5;
    const std::string raw = DataPath("robust_" + std::to_string(::getpid()) + ".raw");
    CSignalFile::WriteRaw(raw, CTapeSynth::RenderForDecoder(TwoFiles().Blocks(), wear));
    const std::string plainTap = DataPath("robust_plain.tap");
    const std::string robustTap = DataPath("robust_robust.tap");

    const CliResult plain = CCliRun::Run({"decode", raw, "-o", plainTap});
    const CliResult robust = CCliRun::Run({"decode", "--robust", raw, "-o", robustTap});
    std::filesystem::remove(raw);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    ASSERT_EQ(robust.exitCode, 0) << robust.err;
    EXPECT_NE(CTestTape::ReadFile(plainTap), TwoFiles().TapBytes());
    EXPECT_EQ(CTestTape::ReadFile(robustTap), TwoFiles().TapBytes());
    EXPECT_EQ(robust.OutLines().size(), 4u) << robust.out;  // four block rows, no error row
    EXPECT_TRUE(Contains(CCliRun::Run({"decode", "--help"}).out, "--robust"));
}

// A pipe can be read only once: standard input, /dev/stdin and a FIFO each decode in full, and
// Ctrl-C on a pipe that stalls saves what has loaded and ends by the signal.
TEST(DecodeCommandTest, PipesAreReadOnceAndASignalSavesWhatLoaded) {
    std::signal(SIGPIPE, SIG_IGN);
    const std::string wav = DataPath("piped.wav");
    ASSERT_TRUE(CSignalFile::WriteAudio(wav, CTapeSynth::Render(TwoFiles().Blocks(), 22000.0, {}),
                                        22000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    for (const std::string input : {"-", "/dev/stdin"}) {
        const CliResult result = RunWithInput({"decode", input}, wav);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.OutLines(), kTwoFilesLines) << input;
    }
    const std::string fifo = NewFifo("pipe.wav");
    const std::string tap = DataPath("from_fifo.tap");
    std::atomic<bool> released{true};
    std::thread feeder = FeedFifo(fifo, CTestTape::ReadFile(wav), released);
    const CliResult fromFifo = CCliRun::Run({"decode", fifo, "-o", tap}, "timeout 20");
    feeder.join();
    EXPECT_EQ(fromFifo.exitCode, 0) << fromFifo.err;
    EXPECT_EQ(CTestTape::ReadFile(tap), TwoFiles().TapBytes());

    // Ctrl-C, and a hang-up (a dropped ssh session), save what loaded.
    CTestTape first;
    first.AddCodeFile("alpha", 200, 21);
    for (const auto& [signal, name] :
         {std::pair(SIGINT, "Interrupt"), std::pair(SIGHUP, "Hangup")}) {
        const std::string stalled = NewFifo("stalled.raw");
        const std::string saved = DataPath("interrupted.tap");
        std::filesystem::remove(saved);
        std::atomic<bool> stop{false};
        feeder = FeedFifo(stalled, CleanSignal(first), stop);
        const CliResult interrupted =
            CCliRun::Run({"decode", stalled, "-o", saved},
                         "timeout --preserve-status -s " + std::to_string(signal) + " 2");
        stop = true;
        feeder.join();
        EXPECT_EQ(interrupted.exitCode, 128 + signal) << interrupted.err;
        EXPECT_TRUE(Contains(interrupted.err, std::string("stopped (") + name + ")"))
            << interrupted.err;
        EXPECT_EQ(CTestTape::ReadFile(saved), first.TapBytes()) << name;
    }
}

// A damaged FLAC decodes on past its damage; stray float samples are clamped, not fatal.
TEST(DecodeCommandTest, DamagedAndOutOfRangeAudioDecodesWhatCanBeRead) {
    std::vector<float> signal = CTapeSynth::Render(TwoFiles().Blocks(), 22000.0, {});
    const std::string flac = DataPath("damaged.flac");
    ASSERT_TRUE(CSignalFile::WriteAudio(flac, signal, 22000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    auto bytes = CTestTape::ReadFile(flac);
    const auto noise = CTestTape::RandomBytes(2000, 3);
    std::copy(noise.begin(), noise.end(), bytes.begin() + static_cast<long>(bytes.size() / 3));
    CTestTape::WriteFile(flac, bytes);
    const CliResult damaged = CCliRun::Run({"decode", flac});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(Contains(damaged.err, flac + ": damaged from ")) << damaged.err;
    const auto lines = damaged.OutLines();
    ASSERT_GE(lines.size(), 2u) << damaged.out;
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              std::vector<std::string>(kTwoFilesLines.end() - 2, kTwoFilesLines.end()))
        << "the blocks after the damage load";

    for (const int rate : {22000, 44100}) {
        std::vector<float> wild = CTapeSynth::Render(TwoFiles().Blocks(), rate, {});
        const float inf = std::numeric_limits<float>::infinity();
        const float strays[] = {inf, -inf, std::numeric_limits<float>::quiet_NaN(), 1e30f, 64.0f};
        std::copy(std::begin(strays), std::end(strays), wild.begin());
        const std::string wav = DataPath("wild.wav");
        ASSERT_TRUE(CSignalFile::WriteAudio(wav, wild, rate, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
        const CliResult result = CCliRun::Run({"decode", wav});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.OutLines(), kTwoFilesLines) << rate;
        EXPECT_TRUE(Contains(result.err, wav + ": 5 sample(s) beyond full scale")) << result.err;
    }
}

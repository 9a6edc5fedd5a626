// A recording decoded as `tapewise-cli decode` and the window decode it (CRecordingDecode: read,
// brought to the decoder's rate, decoded in one-second buffers), as a multiple of real time in
// CPU time of this thread, side by side in one run:
//
//     tapewise-bench-session [RECORDING]
//
// Without a recording, a synthetic tape of 20 blocks with hiss is written as 16-bit WAV at
// 44100/s and at 48000/s. Each row is the best of three rounds. "sinc 44100 -> 22000" is the
// path that 44.1 kHz took before it was halved: the same reading and decoding, with the
// tabulated sinc alone from the full rate in place of the halvings and the sinc.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "decoder/SampleDecoder.h"
#include "recording/BufferFeeder.h"
#include "recording/RecordingDecode.h"
#include "recording/SincResampler.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/SignalFile.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

namespace {
constexpr int kRounds = 3;
constexpr int32_t kChunk = 4096;

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool WriteMono(const std::string& path, const std::vector<float>& samples, int rate) {
    return CSignalFile::WriteAudio(path, samples, rate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

std::vector<float> SyntheticTape(int rate) {
    CTestTape tape;
    for (uint32_t i = 0; i < 20; ++i) {
        tape.AddCodeFile("bench", 6912, i + 1);
    }
    TapeWear wear;
    wear.lowPassHz = 6000.0;
    wear.noiseRms = 0.02;
    return CTapeSynth::Render(tape.Blocks(), static_cast<double>(rate), wear);
}

struct Run {
    double seconds = 0.0;
    size_t blocks = 0;
};

Run Session(const std::string& path, bool archive) {
    CRecordingOwner owner;
    owner.recordDebug = false;
    DecoderSettings settings;
    settings.mode = archive ? DecoderMode::Archive : DecoderMode::Plain;
    const double start = ThreadSeconds();
    CRecordingDecode session(&owner, settings);
    if (session.Open(path)) {
        return {};
    }
    session.DecodeToEnd();
    return {ThreadSeconds() - start, owner.blocks.size() + owner.timedBlocks.size()};
}

uint8_t ToUnsigned8(float x) {
    const long value = std::lrintf(x * 128.0f) + 128;
    return static_cast<uint8_t>(std::clamp<long>(value, 0, 255));
}

// The path before halving: mono floats through the tabulated sinc to 22000/s.
Run SincPath(const std::string& path) {
    CRecordingOwner owner;
    owner.recordDebug = false;
    const double start = ThreadSeconds();
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr || info.channels != 1) {
        return {};
    }
    const auto decoder = CSampleDecoder::Create(&owner, DecoderSettings{}, 22000);
    CBufferFeeder feeder(*decoder);
    CSincResampler sinc(info.samplerate, 22000);
    std::vector<float> in(kChunk);
    std::vector<float> out;
    std::vector<uint8_t> bytes;
    for (sf_count_t got; (got = sf_readf_float(file, in.data(), kChunk)) > 0;) {
        // The clamping that every sample read as float goes through.
        for (float& sample : in) {
            sample = std::isnan(sample) ? 0.0f : std::clamp(sample, -1.0f, 1.0f);
        }
        out.clear();
        sinc.Feed(in.data(), static_cast<int32_t>(got), out);
        bytes.resize(out.size());
        std::transform(out.begin(), out.end(), bytes.begin(), ToUnsigned8);
        feeder.Append(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    out.clear();
    sinc.Finish(out);
    bytes.resize(out.size());
    std::transform(out.begin(), out.end(), bytes.begin(), ToUnsigned8);
    feeder.Append(bytes.data(), static_cast<int32_t>(bytes.size()));
    feeder.Finish();
    sf_close(file);
    return {ThreadSeconds() - start, owner.blocks.size()};
}

double SecondsOf(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return 0.0;
    }
    sf_close(file);
    return static_cast<double>(info.frames) / info.samplerate;
}

void Row(const char* name, const std::string& path, const std::function<Run()>& run) {
    Run best;
    for (int round = 0; round < kRounds; ++round) {
        const Run one = run();
        if (round == 0 || one.seconds < best.seconds) {
            best = one;
        }
    }
    const double sound = SecondsOf(path);
    std::printf("%-28s %8.1f s of sound in %6.3f s CPU: %6.0fx real time, %zu blocks\n", name,
                sound, best.seconds, best.seconds > 0.0 ? sound / best.seconds : 0.0, best.blocks);
}
}  // namespace

int main(int argc, char** argv) {
    std::string at44 = argc > 1 ? argv[1] : "/tmp/tapewise-bench-session-44100.wav";
    std::string at48 = "/tmp/tapewise-bench-session-48000.wav";
    if (argc <= 1 && (!WriteMono(at44, SyntheticTape(44100), 44100) ||
                      !WriteMono(at48, SyntheticTape(48000), 48000))) {
        std::fprintf(stderr, "cannot write the synthetic recordings in /tmp\n");
        return 1;
    }
    Row("plain, halved (now)", at44, [&] { return Session(at44, false); });
    Row("plain, sinc 44100 -> 22000", at44, [&] { return SincPath(at44); });
    Row("archive, own rate", at44, [&] { return Session(at44, true); });
    if (argc <= 1) {
        Row("plain 48000, halved + sinc", at48, [&] { return Session(at48, false); });
        std::remove(at44.c_str());
        std::remove(at48.c_str());
    }
    return 0;
}

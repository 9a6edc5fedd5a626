// Throughput of the plain and the robust decoding mode, as a multiple of real time on one core:
//
//     tapewise-bench-robust [RAW_FILE...]
//
// Each file (unsigned 8-bit mono at 22000/s) is read whole, then decoded in one-second buffers
// with the indicator's calibration step after each, as the program runs; only the decoding is
// timed, in CPU time of this thread. Without files, a synthetic tape of 40 blocks with hiss.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "decoder/core/PlainDecoder.h"
#include "decoder/robust/RobustDecoder.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

namespace {

constexpr int32_t kBuffer = 22000;
constexpr double kSampleRate = 22000.0;

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> SyntheticTape() {
    CTestTape tape;
    for (uint32_t i = 0; i < 20; ++i) {
        tape.AddCodeFile("bench", 6912, i + 1);
    }
    TapeWear wear;
    wear.lowPassHz = 3000.0;
    wear.noiseRms = 0.03;
    return CTapeSynth::RenderForDecoder(tape.Blocks(), wear);
}

struct Result {
    double seconds = 0.0;
    size_t blocks = 0;
};

Result Decode(CSampleDecoder& decoder, const CRecordingOwner& owner,
              const std::vector<uint8_t>& signal) {
    const double start = ThreadSeconds();
    for (size_t at = 0; at < signal.size(); at += kBuffer) {
        const auto count = static_cast<int32_t>(std::min<size_t>(kBuffer, signal.size() - at));
        decoder.ProcessBuffer(signal.data() + at, count);
        decoder.Calibrate();
    }
    return Result{ThreadSeconds() - start, owner.blocks.size()};
}

void Report(const char* mode, const Result& result, double signalSeconds) {
    std::printf("  %-7s %8.3f s CPU  %8.0fx real time  %4zu blocks\n", mode, result.seconds,
                signalSeconds / std::max(result.seconds, 1e-9), result.blocks);
}

void Bench(const std::string& name, const std::vector<uint8_t>& signal) {
    const double signalSeconds = static_cast<double>(signal.size()) / kSampleRate;
    std::printf("%s: %.1f s of signal\n", name.c_str(), signalSeconds);
    CRecordingOwner plainOwner;
    plainOwner.recordDebug = false;
    CPlainDecoder plain(&plainOwner);
    Report("plain", Decode(plain, plainOwner, signal), signalSeconds);
    CRecordingOwner robustOwner;
    robustOwner.recordDebug = false;
    CRobustDecoder robust(&robustOwner);
    Report("robust", Decode(robust, robustOwner, signal), signalSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Bench("synthetic tape, 40 blocks with hiss", SyntheticTape());
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        const std::vector<uint8_t> signal = ReadFile(argv[i]);
        if (signal.empty()) {
            std::fprintf(stderr, "%s: no samples\n", argv[i]);
            return 1;
        }
        Bench(argv[i], signal);
    }
    return 0;
}

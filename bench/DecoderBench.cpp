// Decoder throughput on a ROM-timed tape signal made by the test support library, band-limited
// and with a little hiss. Reports samples per second and the multiple of real time (22000 samples
// per second).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "decoder/core/DecoderOwner.h"
#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TapeDecoder.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

namespace {

constexpr int32_t kBufferSamples = 22000;

// An owner that only counts what loads: the benchmark measures the decoder, not the reporting.
class CountingOwner : public CDecoderOwner {
public:
    void SetStatusText(const char*) override {}
    void AppendLog(const char*) override {}
    void AddBlock(int32_t, const uint8_t*) override { ++blocks; }
    bool ListErrors() const override { return true; }
    void AddErrorEntry(int32_t, int32_t) override { ++errors; }
    void AddErrorSnapshot(const SignalSnapshot&) override {}
    void RefreshSignal() override {}
    void DebugOutput(const char*) override {}

    int64_t blocks = 0;
    int64_t errors = 0;
};

// Two programs of a header and a data block each: about 100 seconds of tape.
const std::vector<uint8_t>& TapeSignal() {
    static const std::vector<uint8_t> signal = [] {
        CTestTape tape;
        tape.AddCodeFile("screen", 6912, 1);
        tape.AddCodeFile("code", 12000, 2);
        TapeWear wear;
        wear.lowPassHz = 3000.0;
        wear.highPassHz = 70.0;
        wear.noiseRms = 0.01;
        return CTapeSynth::RenderForDecoder(tape.Blocks(), wear);
    }();
    return signal;
}

void Report(benchmark::State& state, const CountingOwner& owner, int64_t samples) {
    state.SetItemsProcessed(samples);
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(samples) / 22000.0, benchmark::Counter::kIsRate);
    state.counters["blocks"] = static_cast<double>(owner.blocks);
    state.counters["errors"] = static_cast<double>(owner.errors);
}

// ProcessBuffer in one-second buffers; with readouts, also what the program does after each
// buffer: the indicator's calibration and the snapshot capture.
void BM_ProcessBuffer(benchmark::State& state, bool readouts) {
    const std::vector<uint8_t>& signal = TapeSignal();
    CountingOwner owner;
    SignalSnapshot current;
    int64_t samples = 0;
    for (auto _ : state) {
        owner = CountingOwner();
        CTapeDecoder decoder(&owner);
        for (size_t at = 0; at < signal.size(); at += kBufferSamples) {
            const auto count =
                static_cast<int32_t>(std::min<size_t>(kBufferSamples, signal.size() - at));
            decoder.ProcessBuffer(signal.data() + at, count);
            if (readouts) {
                benchmark::DoNotOptimize(decoder.Calibrate());
                decoder.CaptureSnapshot(current);
            }
        }
        samples += static_cast<int64_t>(signal.size());
    }
    Report(state, owner, samples);
}
BENCHMARK_CAPTURE(BM_ProcessBuffer, alone, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProcessBuffer, with_readouts, true)->Unit(benchmark::kMillisecond);

// Every sample through every step of the tracker, without the look-ahead of ProcessBuffer.
void BM_AddSample(benchmark::State& state) {
    const std::vector<uint8_t>& signal = TapeSignal();
    CountingOwner owner;
    int64_t samples = 0;
    for (auto _ : state) {
        owner = CountingOwner();
        CTapeDecoder decoder(&owner);
        for (uint8_t s : signal) {
            decoder.AddSample(s);
        }
        samples += static_cast<int64_t>(signal.size());
    }
    Report(state, owner, samples);
}
BENCHMARK(BM_AddSample)->Unit(benchmark::kMillisecond);

// A noisy input without a tape: many small wiggles for the filter to judge.
void BM_ProcessBufferNoise(benchmark::State& state) {
    static const std::vector<uint8_t> noise = [] {
        std::vector<uint8_t> bytes = CTestTape::RandomBytes(22000 * 20, 9);
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(128 + (byte - 128) / 8);
        }
        return bytes;
    }();
    CountingOwner owner;
    int64_t samples = 0;
    for (auto _ : state) {
        CTapeDecoder decoder(&owner);
        for (size_t at = 0; at < noise.size(); at += kBufferSamples) {
            decoder.ProcessBuffer(noise.data() + at, kBufferSamples);
        }
        samples += static_cast<int64_t>(noise.size());
    }
    Report(state, owner, samples);
}
BENCHMARK(BM_ProcessBufferNoise)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

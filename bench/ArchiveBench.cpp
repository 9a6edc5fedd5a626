// Archive mode on a 44.1 kHz recording beside plain mode on the same tape at 22000/s, in one run,
// as a multiple of real time on one core (CPU time of this thread). The tape: a ROM header and
// data block, three turbo blocks down to a 0-bit pulse of 450 T-states, a loader's tone, pulses
// and pure data, band-limited with hiss. "Long" feeds the same recording repeatedly as one input
// of 1 and of 8 times its length and reports the resident memory at its end: flat memory means
// the same figure for both.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "decoder/SampleDecoder.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"
#include "tests/support/TimedTape.h"

namespace {

constexpr int32_t kBuffer = 22000;

std::vector<BlockBody> Tape() {
    CTestTape rom;
    rom.AddCodeFile("bench", 6912, 3);
    std::vector<BlockBody> blocks = {CTimedTape::Rom(rom.Blocks()[0]),
                                     CTimedTape::Rom(rom.Blocks()[1])};
    blocks.push_back(CTimedTape::Turbo(0xFF, 8000, 4, 2168, 800));
    blocks.push_back(CTimedTape::Turbo(0x7E, 8000, 5, 1950, 650));
    blocks.push_back(CTimedTape::Turbo(0x00, 8000, 6, 1850, 450));
    blocks.push_back(CTimedTape::Tone(2300, 1000));
    blocks.push_back(CTimedTape::Data(0x03, 4000, 7, 580));
    return blocks;
}

TapeWear Played() {
    TapeWear wear;
    wear.lowPassHz = 7000.0;
    wear.highPassHz = 120.0;
    wear.noiseRms = 0.01;
    return wear;
}

const std::vector<uint8_t>& Signal(double rate) {
    static const std::vector<uint8_t> at44 =
        CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(Tape(), 44100.0, Played()));
    static const std::vector<uint8_t> at22 =
        CTapeSynth::ToUnsigned8(CTapeSynth::RenderTimed(Tape(), 22000.0, Played()));
    return rate > 30000.0 ? at44 : at22;
}

// Resident memory of the process now, in MB (the rendered signals are part of it).
double ResidentMegabytes() {
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

void Run(benchmark::State& state, bool archive, int32_t rate, int64_t repeats) {
    const std::vector<uint8_t>& signal = Signal(rate);
    CRecordingOwner owner;
    owner.recordDebug = false;
    int64_t samples = 0;
    double resident = 0.0;
    for (auto _ : state) {
        owner = CRecordingOwner();
        owner.recordDebug = false;
        DecoderSettings settings;
        settings.mode = archive ? DecoderMode::Archive : DecoderMode::Plain;
        const auto decoder = CSampleDecoder::Create(&owner, settings, rate);
        for (int64_t r = 0; r < repeats; ++r) {
            for (size_t at = 0; at < signal.size(); at += kBuffer) {
                const auto count =
                    static_cast<int32_t>(std::min<size_t>(kBuffer, signal.size() - at));
                decoder->ProcessBuffer(signal.data() + at, count);
                benchmark::DoNotOptimize(decoder->Calibrate());
            }
        }
        resident = ResidentMegabytes();
        decoder->EndSignal();
        samples += static_cast<int64_t>(signal.size()) * repeats;
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(samples) / rate, benchmark::Counter::kIsRate);
    state.counters["blocks"] = static_cast<double>(owner.blocks.size());
    state.counters["timed"] = static_cast<double>(owner.timedBlocks.size());
    state.counters["resident_MB"] = resident;
}

void BM_Plain22000(benchmark::State& state) {
    Run(state, false, 22000, 1);
}
void BM_Archive44100(benchmark::State& state) {
    Run(state, true, 44100, 1);
}
void BM_Archive44100Long(benchmark::State& state) {
    Run(state, true, 44100, state.range(0));
}

BENCHMARK(BM_Plain22000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Archive44100)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Archive44100Long)
    ->Arg(1)
    ->Arg(8)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();

// The desktop program loading an audio recording through "Load ...", with the Signal window shown,
// beside the same recording decoded alone (as `tapewise-cli decode` does, in one go), alternately
// three times each: the best wall time and the best CPU time of the main thread of each, as
// multiples of real time, and their ratio. On a busy machine the CPU time is the steadier figure.
// Usage: tapewise-bench-recording RECORDING (any format the program loads; run under Xvfb or with
// QT_QPA_PLATFORM=offscreen)
#include <sndfile.h>

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/LoaderDlg.h"
#include "decoder/SampleDecoder.h"
#include "decoder/core/DecoderOwner.h"
#include "recording/RecordingDecode.h"
#include "tape/BlockListCtrl.h"

namespace {

// A sound input that never delivers: live capture stays quiet while the recording loads.
class CQuietSoundLayer : public CSoundLayer {
public:
    int32_t CountInputDevices() override { return 1; }
    int Open() override { return 0; }
    int PrepareHeader(WaveHeader& header) override {
        header.flags |= kWaveHeaderPrepared;
        return 0;
    }
    int AddBuffer(WaveHeader&) override { return 0; }
    int Start() override { return 0; }
    int Reset() override { return 0; }
    int Stop() override { return 0; }
    int Close() override { return 0; }
    std::string ErrorText(int code) override { return "error " + std::to_string(code); }
};

// CPU time of the calling thread.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Counts the blocks of a decoder that runs without a window.
class CCountingOwner : public CDecoderOwner {
public:
    int32_t blocks = 0;
    void SetStatusText(const char*) override {}
    void AppendLog(const char*) override {}
    void AddBlock(int32_t, const uint8_t*) override { ++blocks; }
    bool ListErrors() const override { return true; }
    void AddErrorEntry(int32_t, int32_t) override {}
    void AddErrorSnapshot(const SignalSnapshot&) override {}
    void RefreshSignal() override {}
    void DebugOutput(const char*) override {}
};

// The best wall and CPU seconds of several runs.
struct Times {
    double wall = 1e9;
    double cpu = 1e9;
    void Keep(const QElapsedTimer& clock, double cpuStart) {
        wall = std::min(wall, static_cast<double>(clock.nsecsElapsed()) / 1e9);
        cpu = std::min(cpu, ThreadSeconds() - cpuStart);
    }
};

// The recording decoded alone, with the settings the window decodes it with; the blocks loaded.
int32_t DecodeAlone(const char* path, const DecoderSettings& settings, Times& times) {
    CCountingOwner owner;
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = ThreadSeconds();
    CRecordingDecode recording(&owner, settings);
    if (recording.Open(path)) {
        return -1;
    }
    recording.DecodeToEnd();
    times.Keep(clock, cpuStart);
    return owner.blocks;
}

double RecordingSeconds(const char* path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) {
        return 0.0;
    }
    sf_close(file);
    return static_cast<double>(info.frames) / info.samplerate;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tapewise-bench-recording RECORDING\n");
        return 2;
    }
    const double seconds = RecordingSeconds(argv[1]);
    CQuietSoundLayer layer;
    CLoaderDlg loader(layer, [] { return nullptr; });
    if (!loader.OnInitDialog() || seconds <= 0.0) {
        return 1;
    }
    loader.show();
    loader.OnConsole();
    Times alone;
    Times window;
    int32_t blocks = 0;
    for (int round = 0; round < 3; ++round) {
        blocks = DecodeAlone(argv[1], loader.Decoder().Settings(), alone);
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = ThreadSeconds();
        loader.LoadFiles({QString::fromLocal8Bit(argv[1])});
        while (loader.IsLoading()) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        window.Keep(clock, cpuStart);
    }
    std::printf("%s: %.1f s of sound, %d blocks alone, %d rows after three loads\n", argv[1],
                seconds, blocks, loader.BlockList().GetItemCount());
    std::printf("  decoded alone: %.3f s wall (%.0fx real time), %.3f s CPU (%.0fx)\n", alone.wall,
                seconds / alone.wall, alone.cpu, seconds / alone.cpu);
    std::printf("  in the window: %.3f s wall (%.0fx real time), %.3f s CPU (%.0fx)\n", window.wall,
                seconds / window.wall, window.cpu, seconds / window.cpu);
    std::printf("  window / alone: %.2f wall, %.2f CPU\n", window.wall / alone.wall,
                window.cpu / alone.cpu);
    return 0;
}

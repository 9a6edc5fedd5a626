// The desktop program loading an audio recording through "Load ...", with the Signal window shown:
// wall time from the load to its end, as a multiple of the recording's length.
// Usage: tapewise-bench-recording RECORDING (any format the program loads; run under Xvfb or with
// QT_QPA_PLATFORM=offscreen)
#include <sndfile.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "app/LoaderDlg.h"
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
    QElapsedTimer clock;
    clock.start();
    loader.LoadFiles({QString::fromLocal8Bit(argv[1])});
    while (loader.IsLoading()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const double taken = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    std::printf("%s: %.1f s of sound in %.3f s: %.0fx real time, %d rows\n", argv[1], seconds,
                taken, seconds / taken, loader.BlockList().GetItemCount());
    return 0;
}

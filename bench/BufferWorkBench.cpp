// The work that one sound buffer costs the desktop program: decoding, the signal indicator with
// its calibration step, the snapshot and the refresh of the shown Signal window, painting
// included. Plays a recorded tape (unsigned 8-bit mono WAV at 22000 samples per second) through
// the main window buffer by buffer and prints the median and the largest time per buffer.
//
//   tapewise-bench-buffer TAPE.wav     (QT_QPA_PLATFORM=offscreen without a display)
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/LoaderDlg.h"
#include "signal/SignalDlg.h"
#include "tape/BlockListCtrl.h"

namespace {

// A sound layer that fills its queued buffers from memory, as fast as they are asked for.
class CMemorySoundLayer : public CSoundLayer {
public:
    std::deque<WaveHeader*> queued;

    int32_t CountInputDevices() override { return 1; }
    int Open() override { return 0; }
    int PrepareHeader(WaveHeader& header) override {
        header.flags |= kWaveHeaderPrepared;
        return 0;
    }
    int AddBuffer(WaveHeader& header) override {
        queued.push_back(&header);
        return 0;
    }
    int Start() override { return 0; }
    int Reset() override {
        queued.clear();
        return 0;
    }
    int Stop() override { return 0; }
    int Close() override { return 0; }
    std::string ErrorText(int code) override { return "error " + std::to_string(code); }
};

// The samples of the WAV file's data chunk.
std::vector<uint8_t> ReadWavSamples(const char* path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    const std::string dataTag = "data";
    const auto found = std::search(bytes.begin(), bytes.end(), dataTag.begin(), dataTag.end());
    if (found == bytes.end() || bytes.end() - found < 8) {
        return {};
    }
    return std::vector<uint8_t>(found + 8, bytes.end());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TAPE.wav\n", argv[0]);
        return 2;
    }
    const std::vector<uint8_t> samples = ReadWavSamples(argv[1]);
    CMemorySoundLayer layer;
    WaveHeader* pending = nullptr;
    CLoaderDlg loader(layer, [&pending] { return std::exchange(pending, nullptr); });
    if (!loader.OnInitDialog() || samples.empty()) {
        return 1;
    }
    loader.show();
    loader.OnConsole();
    QApplication::processEvents();

    std::vector<double> milliseconds;
    std::vector<double> handling;  // without the painting
    for (size_t at = 0; at < samples.size() && !layer.queued.empty();) {
        WaveHeader* header = layer.queued.front();
        layer.queued.pop_front();
        const size_t count = std::min<size_t>(header->bufferLength, samples.size() - at);
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(at), count, header->data);
        header->bytesRecorded = static_cast<uint32_t>(count);
        header->flags |= kWaveHeaderDone;
        at += count;
        pending = header;
        QElapsedTimer timer;
        timer.start();
        loader.OnFilledBuffers();
        const qint64 handled = timer.nsecsElapsed();
        QApplication::processEvents();  // the repaints that the refresh asked for
        milliseconds.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        handling.push_back(static_cast<double>(handled) / 1e6);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::sort(handling.begin(), handling.end());
    std::printf(
        "%zu buffers, %d blocks listed; per buffer: median %.2f ms, max %.2f ms "
        "(before painting: median %.2f ms, max %.2f ms)\n",
        milliseconds.size(), loader.BlockList().GetItemCount(),
        milliseconds[milliseconds.size() / 2], milliseconds.back(), handling[handling.size() / 2],
        handling.back());
    return 0;
}

#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "capture/RecordingQueue.h"
#include "capture/SoundLayer.h"

struct pa_simple;

// The default input of the PulseAudio server (on PipeWire desktops, of its PulseAudio layer),
// recorded as unsigned 8-bit mono at 22000 samples per second by a reader thread that blocks on
// the server. Error codes are PulseAudio's (PA_ERR_*) or the kInput* codes below.
//
// Filled buffers wait in a queue for the thread that owns the capture: it takes them with
// TakeFilled or WaitFilled, and may ask to be woken by a notifier that runs on the reader thread.
// When the server goes away, every queued buffer is handed back with what it holds and every
// later AddBuffer fails with the server's error. While no buffer is queued, nothing is read: the
// server keeps the samples until one is.
class CSoundInput : public CSoundLayer {
public:
    static constexpr int kInputNotOpen = 1001;
    static constexpr int kInputAlreadyOpen = 1002;
    static constexpr int kHeaderNotPrepared = 1003;
    static constexpr int kNoReaderThread = 1004;

    CSoundInput() = default;
    CSoundInput(const CSoundInput&) = delete;
    CSoundInput& operator=(const CSoundInput&) = delete;
    ~CSoundInput() override;

    int32_t CountInputDevices() override;
    int Open() override;
    std::vector<SoundSource> InputSources() override;
    void ChooseSource(const std::string& name) override { m_source = name; }
    int PrepareHeader(WaveHeader& header) override;
    int AddBuffer(WaveHeader& header) override;
    int Start() override;
    int Reset() override;
    int Stop() override;
    int Close() override;
    std::string ErrorText(int code) override;

    // The oldest filled buffer, or null; the second waits at most `timeout` for one.
    WaveHeader* TakeFilled() { return m_queue.TakeFilled(); }
    WaveHeader* WaitFilled(std::chrono::milliseconds timeout) {
        return m_queue.WaitFilled(timeout);
    }
    // Called on the reader thread whenever buffers are ready to be taken.
    void SetFilledNotifier(std::function<void()> notifier);

private:
    // Reads only into a queued buffer, so that no sample is dropped while the owner falls behind
    // (a busy machine): the samples wait in the server. False once asked to stop.
    bool WaitForQueuedBuffer();
    void ReadUntilStopped();
    void StopReader();

    pa_simple* m_stream = nullptr;
    std::string m_source;  // empty: the server's default source
    CRecordingQueue m_queue;
    std::thread m_reader;
    std::atomic<bool> m_stopReading = false;
    std::atomic<int> m_serverError = 0;  // set when the server went away while recording
};

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/CaptureHost.h"
#include "capture/SoundLayer.h"
#include "capture/WaveHeader.h"
#include "decoder/dump/CaptureRate.h"

enum class CaptureState {
    Closed,     // never opened, closed, or the opening failed
    Recording,  // four buffers in rotation
    Lost,       // the sound input went away; RetryLostInput opens it again when a source is back
};

// The four rotating capture buffers of one second. Slot i is first queued with number i + 1 and
// every give-back adds 4, so buffer n lies in slot (n - 1) mod 4 and buffers come back numbered
// 1, 2, 3, ... The most recently delivered buffer stays with the program for one more buffer
// period; each delivery gives back the one delivered before it.
//
// Runs on the thread that owns the capture: the owner hands every filled header to OnWimData.
class CSoundCapture {
public:
    static constexpr int kBufferCount = 4;
    static constexpr uint32_t kFullBufferBytes = kCaptureRate;  // one second
    static constexpr uint32_t kReplayBufferBytes = 7333;  // a third of a second, as a replay clock

    CSoundCapture(CSoundLayer& layer, CCaptureHost& host);
    CSoundCapture(const CSoundCapture&) = delete;
    CSoundCapture& operator=(const CSoundCapture&) = delete;
    // Closes the input if it is still open, telling nobody.
    ~CSoundCapture();

    // Opens the default input, queues the four buffers and starts recording. A failure is shown
    // and leaves the input closed; the program goes on without capture.
    void OpenSoundInput();
    // Resets, stops and closes the input, showing each failure and going on, then frees the
    // buffers. Buffers that come back afterwards are ignored.
    void CloseSoundInput();
    // One filled buffer: decoded, then checked for sequence, then the previous one given back.
    // A failure to give it back closes the input and leaves the capture Lost instead of ending
    // the program; an empty buffer is counted and rotated without being decoded.
    void OnWimData(WaveHeader* header);
    // While Lost and a source exists: opens the input again without showing failures.
    // Returns true when capture runs again. The owner calls it about once a second while
    // State() is Lost (a timer in the desktop program, the wait loop of the command line).
    bool RetryLostInput();

    CaptureState State() const { return m_state; }
    bool IsOpen() const { return m_hWaveIn != nullptr; }
    uint32_t ExpectedBuffer() const { return m_expectedBuffer; }
    int32_t BuffersSetUp() const { return m_buffersSetUp; }
    // Empty deliveries while open: rotated like the others, never decoded.
    int32_t EmptyBuffers() const { return m_emptyBuffers; }
    const WaveHeader& Header(int slot) const { return m_waveHeaders[static_cast<size_t>(slot)]; }

private:
    enum class Reporting { Show, Quiet };

    bool OpenInput(Reporting reporting);
    bool QueueNewBuffer(int slot, Reporting reporting);
    void CloseInput(Reporting reporting);
    void DecodeBuffer(const WaveHeader& header);
    bool IsInSequence(const WaveHeader& header);
    void GiveBackPrevious(uint32_t number);
    void LoseInput(const std::string& message);
    void Report(Reporting reporting, const std::string& message);
    std::string ErrorText(int code);

    CSoundLayer& m_layer;
    CCaptureHost& m_host;

    int32_t m_buffersSetUp = 0;
    std::array<WaveHeader, kBufferCount> m_waveHeaders{};
    uint32_t m_expectedBuffer = 0;
    CSoundLayer* m_hWaveIn = nullptr;  // the open input; null when closed

    std::array<std::vector<uint8_t>, kBufferCount> m_dataBlocks;
    CaptureState m_state = CaptureState::Closed;
    bool m_closing = false;
    bool m_failed = false;  // a buffer came out of sequence: the program is ending
    int32_t m_emptyBuffers = 0;
};

#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureHost.h"
#include "capture/SoundLayer.h"
#include "capture/WaveHeader.h"

class CDecodeSession;
class CSoundCapture;
class QTimer;

// The sound input of the desktop program: the four capture buffers in rotation, handed to the
// decode session as they fill, the source chosen in Options, and a lost input looked for again
// until it is back. It runs from start-up to the window's destruction.
class CCaptureController : public QObject, public CCaptureHost {
public:
    // How the capture tells the user: a message box, the end of the program, a status text.
    struct Reports {
        std::function<void(const std::string& message)> showError;
        std::function<void()> fatal;
        std::function<void(const std::string& text)> notice;
    };

    // `takeFilled` hands over the sound input's next filled buffer (null when none is waiting);
    // the controller owns neither it nor the layer. Capture uses the input `source` (empty: the
    // default); it starts with OpenSoundInput.
    CCaptureController(CSoundLayer& soundLayer, std::function<WaveHeader*()> takeFilled,
                       const std::string& source, CDecodeSession& session, Reports reports,
                       QObject* parent = nullptr);
    ~CCaptureController() override;

    bool HasInputDevice() { return m_soundLayer.CountInputDevices() != 0; }
    std::vector<SoundSource> InputSources() { return m_soundLayer.InputSources(); }
    void OpenSoundInput();
    // For good: no buffer reaches the session afterwards, even while a closing error is shown.
    void CloseSoundInput();
    // Every filled buffer waiting, in order.
    void OnFilledBuffers();
    // A new source takes effect at once: capture restarts on it.
    void SwitchSource(const std::string& source);

    // CCaptureHost
    void ProcessBuffer(const uint8_t* samples, int32_t count) override;
    void UpdateSignalIndicator() override;
    void CaptureSnapshot() override;
    void RefreshSignal() override;
    bool FromFile() const override;
    void ShowCaptureError(const std::string& message) override;
    void FatalCaptureError() override;
    void CaptureNotice(const std::string& text) override;

private:
    void WatchLostInput();
    void RetryLostInput();

    CSoundLayer& m_soundLayer;
    std::function<WaveHeader*()> m_takeFilled;
    CDecodeSession& m_session;
    Reports m_reports;
    std::unique_ptr<CSoundCapture> m_pCapture;
    QTimer* m_retryTimer = nullptr;  // runs while the sound input is lost
    bool m_handlingBuffers = false;
    bool m_closed = false;
};

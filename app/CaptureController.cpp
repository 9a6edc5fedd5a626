#include "app/CaptureController.h"

#include <QTimer>

#include "app/DecodeSession.h"
#include "capture/SoundCapture.h"
#include "decoder/SampleDecoder.h"

namespace {

// How often a lost sound input is looked for again.
constexpr int kRetryLostInputMs = 1000;

}  // namespace

CCaptureController::CCaptureController(CSoundLayer& soundLayer,
                                       std::function<WaveHeader*()> takeFilled,
                                       const std::string& source, CDecodeSession& session,
                                       Reports reports, QObject* parent)
    : QObject(parent),
      m_soundLayer(soundLayer),
      m_takeFilled(std::move(takeFilled)),
      m_session(session),
      m_reports(std::move(reports)) {
    m_soundLayer.ChooseSource(source);
    m_pCapture = std::make_unique<CSoundCapture>(m_soundLayer, *this);
    m_retryTimer = new QTimer(this);
    m_retryTimer->setInterval(kRetryLostInputMs);
    connect(m_retryTimer, &QTimer::timeout, this, &CCaptureController::RetryLostInput);
}

CCaptureController::~CCaptureController() {
    CloseSoundInput();
}

void CCaptureController::OpenSoundInput() {
    m_pCapture->OpenSoundInput();
}

void CCaptureController::CloseSoundInput() {
    m_closed = true;
    m_retryTimer->stop();
    if (m_pCapture) {
        m_pCapture->CloseSoundInput();
    }
    m_pCapture.reset();
}

void CCaptureController::OnFilledBuffers() {
    // A message box opened while a buffer is handled runs the event loop again; the buffers
    // that arrive meanwhile wait for the loop below, so each is handled whole and in order.
    if (m_handlingBuffers || m_closed || !m_pCapture) {
        return;
    }
    m_handlingBuffers = true;
    while (!m_closed) {
        WaveHeader* header = m_takeFilled();
        if (header == nullptr) {
            break;
        }
        m_pCapture->OnWimData(header);
    }
    m_handlingBuffers = false;
    WatchLostInput();
}

void CCaptureController::SwitchSource(const std::string& source) {
    m_soundLayer.ChooseSource(source);
    if (m_pCapture && m_pCapture->IsOpen()) {
        m_pCapture->CloseSoundInput();
        m_pCapture->OpenSoundInput();
    }
}

// A lost input was shown once; the blocks stay, and capture comes back by itself.
void CCaptureController::WatchLostInput() {
    if (!m_closed && m_pCapture && m_pCapture->State() == CaptureState::Lost &&
        !m_retryTimer->isActive()) {
        m_retryTimer->start();
    }
}

void CCaptureController::RetryLostInput() {
    if (m_closed || !m_pCapture || m_pCapture->State() != CaptureState::Lost ||
        m_pCapture->RetryLostInput()) {
        m_retryTimer->stop();
    }
}

// CCaptureHost

void CCaptureController::ProcessBuffer(const uint8_t* samples, int32_t count) {
    m_session.ProcessBuffer(samples, count);
}

void CCaptureController::UpdateSignalIndicator() {
    m_session.UpdateSignalIndicator();
}

void CCaptureController::CaptureSnapshot() {
    m_session.CaptureSnapshot();
}

void CCaptureController::RefreshSignal() {
    m_session.RefreshSignal();
}

bool CCaptureController::FromFile() const {
    return m_session.Decoder().DumpNow().fromFile;
}

void CCaptureController::ShowCaptureError(const std::string& message) {
    m_reports.showError(message);
}

void CCaptureController::FatalCaptureError() {
    m_reports.fatal();
}

void CCaptureController::CaptureNotice(const std::string& text) {
    m_reports.notice(text);
}

#include "cli/LiveCaptureHost.h"

#include "decoder/SampleDecoder.h"

CLiveCaptureHost::CLiveCaptureHost(CSampleDecoder& decoder, std::FILE* messages)
    : m_decoder(decoder), m_messages(messages) {}

void CLiveCaptureHost::ProcessBuffer(const uint8_t* data, int32_t count) {
    m_decoder.ProcessBuffer(data, count);
}

void CLiveCaptureHost::UpdateSignalIndicator() {
    // The terminal draws no indicator, but its calibration step steers the decoder.
    m_decoder.Calibrate();
}

void CLiveCaptureHost::CaptureSnapshot() {
    m_decoder.CaptureSnapshot(m_currentSignal);
}

bool CLiveCaptureHost::FromFile() const {
    return m_decoder.DumpNow().fromFile;
}

void CLiveCaptureHost::ShowCaptureError(const std::string& message) {
    std::fputs(message.c_str(), m_messages);
    std::fflush(m_messages);
}

void CLiveCaptureHost::CaptureNotice(const std::string& text) {
    std::fprintf(m_messages, "%s\n", text.c_str());
    std::fflush(m_messages);
}

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "capture/CaptureHost.h"
#include "decoder/core/SignalSnapshot.h"

class CSampleDecoder;

// The capture's host on a terminal: every filled buffer is decoded and followed by the signal
// indicator's calibration step, as in the desktop program; capture errors and notices are
// written to the message stream as they are worded.
class CLiveCaptureHost : public CCaptureHost {
public:
    CLiveCaptureHost(CSampleDecoder& decoder, std::FILE* messages);

    void ProcessBuffer(const uint8_t* data, int32_t count) override;
    void UpdateSignalIndicator() override;
    void CaptureSnapshot() override;
    void RefreshSignal() override {}
    bool FromFile() const override;
    void ShowCaptureError(const std::string& message) override;
    void FatalCaptureError() override { m_fatal = true; }
    void CaptureNotice(const std::string& text) override;

    // A buffer came back out of sequence: the command must end with a failure status.
    bool Fatal() const { return m_fatal; }

private:
    CSampleDecoder& m_decoder;
    std::FILE* m_messages = nullptr;
    SignalSnapshot m_currentSignal;
    bool m_fatal = false;
};

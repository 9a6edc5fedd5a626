#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "capture/CaptureHost.h"

// A capture host that writes down every call, in order.
class RecordingHost : public CCaptureHost {
public:
    bool fromFile = false;
    std::vector<std::string> steps;
    std::vector<std::string> errors;
    std::vector<std::string> notices;
    std::vector<uint8_t> decoded;  // every byte handed to ProcessBuffer
    int fatalCount = 0;
    std::function<void()> whileShowingError;  // what the event loop of a message box runs

    void ProcessBuffer(const uint8_t* data, int32_t count) override {
        steps.push_back("ProcessBuffer " + std::to_string(count));
        decoded.insert(decoded.end(), data, data + count);
    }
    void UpdateSignalIndicator() override { steps.push_back("UpdateSignalIndicator"); }
    void CaptureSnapshot() override { steps.push_back("CaptureSnapshot"); }
    void RefreshSignal() override { steps.push_back("RefreshSignal"); }
    bool FromFile() const override { return fromFile; }
    void ShowCaptureError(const std::string& message) override {
        errors.push_back(message);
        if (whileShowingError) {
            whileShowingError();
        }
    }
    void FatalCaptureError() override { ++fatalCount; }
    void CaptureNotice(const std::string& text) override { notices.push_back(text); }
};

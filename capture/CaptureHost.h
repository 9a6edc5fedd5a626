#pragma once

#include <cstdint>
#include <string>

// What the capture needs of the program that owns it: the decoding steps run for every filled
// buffer, in the order the capture calls them, and the two ways of telling the user. The main
// window turns errors into message boxes; the command line writes them to standard error.
class CCaptureHost {
public:
    virtual ~CCaptureHost() = default;

    // The decoder's ProcessBuffer with the recorded samples.
    virtual void ProcessBuffer(const uint8_t* data, int32_t count) = 0;
    // The signal indicator, which also runs the decoder's calibration step.
    virtual void UpdateSignalIndicator() = 0;
    // The decoder's CaptureSnapshot into the current signal record.
    virtual void CaptureSnapshot() = 0;
    // The Signal window's refresh.
    virtual void RefreshSignal() = 0;
    // The decoder's fromFile setting: buffers given back are then a third of a second long.
    virtual bool FromFile() const = 0;

    // An error for the user; the text is a complete message ending in a newline.
    virtual void ShowCaptureError(const std::string& message) = 0;
    // Ends the program with a failure status, saving nothing; called after ShowCaptureError.
    virtual void FatalCaptureError() = 0;
    // A progress note (capture lost, capture back) for the status line.
    virtual void CaptureNotice(const std::string& text) = 0;
};

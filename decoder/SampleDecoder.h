#pragma once

#include <cstdint>

#include "decoder/DecoderSettings.h"
#include "decoder/SignalReading.h"

#include <memory>

class CDecoderOwner;
class SignalSnapshot;

// What an owner needs of a decoder, whichever mode decodes: the plain decoder or the robust one.
// The main window and the command line hold one of these and use it the same way in both modes.
class CSampleDecoder {
public:
    virtual ~CSampleDecoder() = default;

    // The decoder of the mode that settings.robust selects, holding a copy of the settings.
    static std::unique_ptr<CSampleDecoder> Create(CDecoderOwner* owner,
                                                  const DecoderSettings& settings);

    // One filled sound buffer of unsigned 8-bit samples at 22000 per second (dumped or replayed
    // as the settings say).
    virtual void ProcessBuffer(const uint8_t* samples, int32_t count) = 0;
    // The calibration reading that the signal indicator takes after each buffer.
    virtual SignalReading Calibrate() = 0;
    // A block is being read, or a result is still to be reported: a caller at the end of the
    // signal keeps feeding a closing wave while this holds.
    virtual bool IsReadingBlock() const = 0;
    // The signal of the moment, for the Signal window.
    virtual void CaptureSnapshot(SignalSnapshot& snapshot) const = 0;
    // The settings, read and written in place between buffers.
    virtual DecoderSettings& Settings() = 0;
    virtual const DecoderSettings& Settings() const = 0;
};

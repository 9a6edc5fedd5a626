#pragma once

#include <cstdint>

#include "decoder/core/DecoderSettings.h"
#include "decoder/core/SignalReading.h"

#include <memory>

class CDecoderOwner;
class SignalSnapshot;

// What an owner needs of a decoder, whichever mode decodes: the plain decoder or the robust one.
// The main window and the command line hold one of these and use it the same way in both modes.
class CSampleDecoder {
public:
    virtual ~CSampleDecoder() = default;

    // The decoder of the mode that settings.archive and settings.robust select, holding a copy of
    // the settings. sampleRate: of the samples to come; only archive mode takes other rates than
    // 22000 (the others are fed at 22000 whatever is given).
    static std::unique_ptr<CSampleDecoder> Create(CDecoderOwner* owner,
                                                  const DecoderSettings& settings,
                                                  int32_t sampleRate = 22000);

    // One filled sound buffer of unsigned 8-bit samples at 22000 per second, or at archive
    // mode's rate (dumped or replayed as the settings say).
    virtual void ProcessBuffer(const uint8_t* samples, int32_t count) = 0;
    // The calibration reading that the signal indicator takes after each buffer.
    virtual SignalReading Calibrate() = 0;
    // A block is being read, or a result is still to be reported: a caller at the end of the
    // signal keeps feeding a closing wave while this holds.
    virtual bool IsReadingBlock() const = 0;
    // The signal has ended: a decoder that holds back what it read hands it on now. Plain and
    // robust mode hold nothing back (a closing wave ends their last block).
    virtual void EndSignal() {}
    // The signal of the moment, for the Signal window.
    virtual void CaptureSnapshot(SignalSnapshot& snapshot) const = 0;
    // The settings, read and written in place between buffers.
    virtual DecoderSettings& Settings() = 0;
    virtual const DecoderSettings& Settings() const = 0;
};

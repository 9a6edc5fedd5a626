#pragma once

#include <cstdint>

#include "decoder/core/DecoderSettings.h"
#include "decoder/core/SignalReading.h"
#include "decoder/dump/DumpSettings.h"

#include <memory>

class CDecoderOwner;
class SignalSnapshot;

// What an owner needs of a decoder, whichever mode decodes: plain, robust or archive. The main
// window and the command line hold one of these and use it the same way in every mode.
//
// The settings are the user's and reach the decoder only at creation and through Reconfigure;
// what the decoder changes while it decodes (calibrated pulse limits, the dump's file number) is
// its own, and read through Limits and DumpNow.
class CSampleDecoder {
public:
    virtual ~CSampleDecoder() = default;

    // The decoder of the mode that settings.mode selects, holding a copy of the settings.
    // sampleRate: of the samples to come; only archive mode takes other rates than 22000 (the
    // others are fed at 22000 whatever is given).
    static std::unique_ptr<CSampleDecoder> Create(CDecoderOwner* owner,
                                                  const DecoderSettings& settings,
                                                  int32_t sampleRate = 22000);
    // New settings and dump settings applied by the user between buffers. The decoder goes on
    // when the mode stays; another mode brings a new decoder, which carries the dump on (a block
    // being read is then lost, as when the tape is stopped).
    static void Apply(std::unique_ptr<CSampleDecoder>& decoder, CDecoderOwner* owner,
                      const DecoderSettings& settings, const DumpSettings& dump,
                      int32_t sampleRate = 22000);

    // New settings of the same mode, between buffers: the pulse limits start again from theirs.
    virtual void Reconfigure(const DecoderSettings& settings) = 0;
    // The settings given last.
    virtual const DecoderSettings& Settings() const = 0;
    // The pulse limits in force now. The plain mode's calibration moves them while a block loads
    // and puts the defaults back after it; the other modes calibrate inside and show the limits
    // given.
    virtual PulseLimits Limits() const = 0;
    // The settings with the pulse limits in force now: what the Options dialog shows.
    DecoderSettings SettingsNow() const;
    // Dump and replay of raw buffers; DumpNow().fileIndex is the number of the next file.
    virtual void ConfigureDump(const DumpSettings& dump) = 0;
    virtual DumpSettings DumpNow() const = 0;

    // One filled sound buffer of unsigned 8-bit samples at 22000 per second, or at archive
    // mode's rate (dumped or replayed as the dump settings say).
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

protected:
    // The settings with the mode of the decoder that holds them.
    static DecoderSettings InMode(DecoderSettings settings, DecoderMode mode) {
        settings.mode = mode;
        return settings;
    }
};

#pragma once

#include <cstdint>

#include "decoder/SampleDecoder.h"
#include "decoder/core/DecoderOwner.h"
#include "decoder/core/TapeDecoder.h"

// The plain mode: one CTapeDecoder on the samples as they come. Every call goes straight through,
// so this mode reports exactly what CTapeDecoder reports.
class CPlainDecoder final : public CSampleDecoder {
public:
    explicit CPlainDecoder(CDecoderOwner* owner, const DecoderSettings& settings = {})
        : m_decoder(owner, InMode(settings, DecoderMode::Plain)) {}

    void Reconfigure(const DecoderSettings& settings) override {
        m_decoder.Reconfigure(InMode(settings, DecoderMode::Plain));
    }
    const DecoderSettings& Settings() const override { return m_decoder.Settings(); }
    PulseLimits Limits() const override { return m_decoder.Limits(); }
    void ConfigureDump(const DumpSettings& dump) override { m_decoder.ConfigureDump(dump); }
    DumpSettings DumpNow() const override { return m_decoder.DumpNow(); }

    void ProcessBuffer(const uint8_t* samples, int32_t count) override {
        m_decoder.ProcessBuffer(samples, count);
    }
    SignalReading Calibrate() override { return m_decoder.Calibrate(); }
    bool IsReadingBlock() const override { return m_decoder.IsReadingBlock(); }
    void CaptureSnapshot(SignalSnapshot& snapshot) const override {
        m_decoder.CaptureSnapshot(snapshot);
    }

    CTapeDecoder& Decoder() { return m_decoder; }

private:
    CTapeDecoder m_decoder;
};

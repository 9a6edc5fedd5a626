#pragma once

#include <cstdint>

#include "decoder/SampleDecoder.h"
#include "decoder/core/DecoderOwner.h"
#include "decoder/core/TapeDecoder.h"

// The plain mode: one CTapeDecoder on the samples as they come. Every call goes straight through,
// so this mode reports exactly what CTapeDecoder reports.
class CPlainDecoder final : public CSampleDecoder {
public:
    explicit CPlainDecoder(CDecoderOwner* owner) : m_decoder(owner) {}

    void ProcessBuffer(const uint8_t* samples, int32_t count) override {
        m_decoder.ProcessBuffer(samples, count);
    }
    SignalReading Calibrate() override { return m_decoder.Calibrate(); }
    bool IsReadingBlock() const override { return m_decoder.IsReadingBlock(); }
    void CaptureSnapshot(SignalSnapshot& snapshot) const override {
        m_decoder.CaptureSnapshot(snapshot);
    }
    DecoderSettings& Settings() override { return m_decoder.settings; }
    const DecoderSettings& Settings() const override { return m_decoder.settings; }

    CTapeDecoder& Decoder() { return m_decoder; }

private:
    CTapeDecoder m_decoder;
};

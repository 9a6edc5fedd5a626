#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "decoder/core/DecoderSettings.h"
#include "recording/AudioFileSource.h"
#include "recording/BufferFeeder.h"

class CDecoderOwner;
class CSampleDecoder;

// One audio recording decoded by a decoder of its own, a slice at a time, so that a window can
// go on between slices. The samples reach the decoder in the buffers of live capture, each
// followed by the calibration step (CBufferFeeder), so a recording loads the blocks that
// `tapewise-cli decode` loads from it. The decoder reports to the owner as a live one does.
class CRecordingDecode {
public:
    // Called after each decoded buffer with the calibration reading of that buffer.
    using BufferHook = std::function<void(SignalReading reading)>;

    // The settings are copied; the decoder neither dumps nor replays, since the recording is the
    // input. The decoder is made by Open, at the rate that `tapewise-cli decode` would use:
    // the recording's own in archive mode, 22000 per second otherwise.
    CRecordingDecode(CDecoderOwner* owner, const DecoderSettings& settings);
    ~CRecordingDecode();
    CRecordingDecode(const CRecordingDecode&) = delete;
    CRecordingDecode& operator=(const CRecordingDecode&) = delete;

    // Opens the recording (channels mixed) and makes its decoder; the reason when it cannot be
    // read.
    std::optional<std::string> Open(const std::string& path);
    void SetBufferHook(BufferHook hook);

    // Decodes one buffer after another until `budget` has passed (at least one buffer) or the
    // recording has ended; at its end the signal is closed, so a block cut off by the end of
    // the recording is still reported. Returns true while more is left.
    bool DecodeFor(std::chrono::steady_clock::duration budget);
    // Decodes what is left at once.
    void DecodeToEnd();

    bool Ended() const { return m_ended; }
    // A read failed on the way (the blocks before it stay); empty while none did.
    const std::optional<std::string>& ReadError() const { return m_readError; }
    // How far reading has come, 0 to 1000.
    int32_t Permille() const;
    int64_t SamplesDecoded() const { return m_pFeeder ? m_pFeeder->SamplesDecoded() : 0; }
    bool Truncated() const { return m_source.Truncated(); }
    // After a successful Open.
    CSampleDecoder& Decoder() { return *m_pDecoder; }

private:
    bool DecodeOneBuffer();

    CDecoderOwner* m_pOwner;
    DecoderSettings m_settings;
    std::unique_ptr<CSampleDecoder> m_pDecoder;
    CAudioFileSource m_source{ChannelChoice::Mix};
    std::unique_ptr<CBufferFeeder> m_pFeeder;
    BufferHook m_bufferHook;
    std::optional<std::string> m_readError;
    bool m_ended = false;
};

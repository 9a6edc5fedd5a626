#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "decoder/core/DecoderSettings.h"
#include "recording/AudioFileSource.h"
#include "recording/BufferFeeder.h"

class CDecoderOwner;
class CSampleDecoder;

// One input of a decode: an audio file, or raw unsigned 8-bit mono samples at 22000 per second.
struct RecordingInput {
    std::string path;
    bool raw = false;
};

// An input that cannot be decoded, and why.
struct InputFailure {
    std::string path;
    std::string reason;
};

// How one input ended, for the caller to tell the user.
struct InputEnd {
    size_t index = 0;
    std::string path;
    int64_t samples = 0;                     // read from it
    std::optional<std::string> openFailure;  // opened again in its turn, it could not be
    std::optional<std::string> readFailure;  // reading failed; the samples before it count
    std::vector<std::string> notes;          // damage, clamped samples, cut short
    bool damaged = false;                    // stretches could not be read (see the notes)
    bool truncated = false;                  // holds less than its header announces
};

// The decode of recordings, the same in the desktop program and in `tapewise-cli decode`: one or
// more inputs read in order as one continuous signal by one decoder of their own, a slice at a
// time, so that a window can go on between slices. The samples reach the decoder in the buffers
// of live capture, each followed by the calibration step (CBufferFeeder), at the rate that
// DecodesAtOwnRate chooses; the decoder reports to the owner as a live one does. So the same
// recording and options load the same blocks, and save the same file, in both programs.
class CRecordingDecode {
public:
    // Called after each decoded buffer with the calibration reading of that buffer.
    using BufferHook = std::function<void(SignalReading reading)>;
    using InputEndHook = std::function<void(const InputEnd& end)>;

    // The rate policy: archive mode decodes a recording at its own rate, which keeps every pulse
    // as recorded (at 22000/s a fast turbo 0-bit is two samples, and every timing would come out
    // other than recorded); plain and robust mode take samples at about 22000/s, the rate their
    // pulse limits are set in (CAudioFileSource brings a recording there).
    static bool DecodesAtOwnRate(const DecoderSettings& settings);

    // The settings are copied; dumping and replaying are switched off, since the recordings are
    // the input. The decoder is made once the inputs are open.
    CRecordingDecode(CDecoderOwner* owner, const DecoderSettings& settings,
                     ChannelChoice channel = ChannelChoice::Mix);
    ~CRecordingDecode();
    CRecordingDecode(const CRecordingDecode&) = delete;
    CRecordingDecode& operator=(const CRecordingDecode&) = delete;

    // Opens one audio recording and makes its decoder; the reason when it cannot be read.
    std::optional<std::string> Open(const std::string& path);
    // Opens every input before any is decoded, so that a mistyped name in a long series costs
    // nothing, and makes the decoder when all can be used. Each stays open for its turn, since a
    // pipe can be read only once; past a few hundred, regular files are closed and opened again
    // in their turn. Returns a failure for each input that cannot be used: archive mode needs
    // them all at one rate.
    std::vector<InputFailure> OpenAll(const std::vector<RecordingInput>& inputs);

    void SetBufferHook(BufferHook hook);
    void SetInputEndHook(InputEndHook hook) { m_inputEndHook = std::move(hook); }
    // Asked before each read: when it says so, the decode stops as Stop does.
    void SetStopRequest(std::function<bool()> asked) { m_stopRequest = std::move(asked); }

    // Decodes one buffer after another until `budget` has passed (at least one buffer) or the
    // inputs have ended; at their end the signal is closed, so a block cut off by the end of the
    // last input is still reported. An input that fails ends where it failed and the next one
    // follows. Returns true while more is left.
    bool DecodeFor(std::chrono::steady_clock::duration budget);
    // Decodes what is left at once.
    void DecodeToEnd();
    // Stops reading: the input being read ends here, the others are not read, and the signal is
    // closed as at its end.
    void Stop();

    bool Ended() const { return m_ended; }
    // The first input whose reading failed, why; empty while none did.
    const std::optional<std::string>& ReadError() const { return m_readError; }
    // How far reading has come over all inputs, 0 to 1.
    double Progress() const;
    // The same, 0 to 1000.
    int32_t Permille() const;
    int64_t SamplesDecoded() const { return m_pFeeder ? m_pFeeder->SamplesDecoded() : 0; }
    // An input read so far, or the one being read, holds less than its header announces.
    bool Truncated() const;
    // The rate the decoder was made for.
    int32_t DecoderRate() const { return m_decoderRate; }
    // After a successful Open or OpenAll.
    CSampleDecoder& Decoder() { return *m_pDecoder; }

private:
    struct Input {
        RecordingInput recording;
        std::unique_ptr<CSampleSource> source;  // open, or null for a file to open in its turn
    };

    std::unique_ptr<CSampleSource> OpenSource(const RecordingInput& input,
                                              std::string& reason) const;
    bool DecodeOneBuffer();
    // Reads the current input into the feeder; false when it has ended (then reported).
    bool ReadCurrent();
    void EndCurrent(std::optional<std::string> openFailure, std::optional<std::string> readFailure);
    void EndSignal();

    CDecoderOwner* m_pOwner;
    DecoderSettings m_settings;
    ChannelChoice m_channel;
    std::vector<Input> m_inputs;
    size_t m_current = 0;
    int64_t m_currentSamples = 0;
    std::unique_ptr<CSampleDecoder> m_pDecoder;
    std::unique_ptr<CBufferFeeder> m_pFeeder;
    int32_t m_decoderRate = 0;
    BufferHook m_bufferHook;
    InputEndHook m_inputEndHook;
    std::function<bool()> m_stopRequest;
    std::optional<std::string> m_readError;
    bool m_truncated = false;
    bool m_ended = false;
};
